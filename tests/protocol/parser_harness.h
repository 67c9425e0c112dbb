// Shared pieces of the parser tests: a parser over a real screen, and a
// snapshot of everything a test can see so a case can say "this changed,
// nothing else did".
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/EscSeqParser.h"
#include "screen/edispSDL.h"
#include "screen_fixture.h"

namespace parser_test {

using screen_test::Pixel;
using screen_test::PixelImage;

inline Pixel toPixel(SDL_Color c) { return Pixel{c.r, c.g, c.b, c.a}; }
inline std::string esc(const std::string& rest) { return "\x1b" + rest; }
// Printable form of a byte string for failure messages.
std::string show(const std::string& bytes);

struct Snapshot {
  int row = 0, col = 0, charSize = 0, bgIndex = 0;
  Pixel fg{}, bg{};
  bool bold = false, underline = false, blink = false, reverse = false;
  uint32_t fwVersion = 0;
  int seqState = 0;
  unsigned sjisLead = 0;
  PixelImage text;
  std::array<PixelImage, 4> layers;
};

// Names of the parts in which two snapshots differ ("" when none).
std::string differences(const Snapshot& a, const Snapshot& b);

// Number of pixels of `area` in `image` that are not fully transparent black.
int inkedPixels(const PixelImage& image, const SDL_Rect& area);

class ParserTest : public screen_test::ScreenTest {
protected:
  void SetUp() override;
  void feed(const std::string& bytes) {
    for (unsigned char c : bytes) parser->ParseByte(c);
  }
  // Back to the start of a case: every layer black, text cleared, font 2,
  // layer 0 shown, default attributes, cursor at (row, col), a fresh parser.
  void reset(int row = 5, int col = 10);
  Snapshot snapshot() const;
  // Feeds input from a fresh start and expects it to change background
  // layer `layer` and nothing else (nothing at all when layer < 0); returns
  // the screen afterwards.
  Snapshot feedChangingOnlyLayer(const std::string& input, int layer);

  std::unique_ptr<EscSeqParser> parser;
};

}  // namespace parser_test
