#include "parser_harness.h"

#include <cstdio>

namespace parser_test {

std::string show(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == 0x1B) {
      out += "ESC ";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      out += ' ';
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X ", c);
      out += hex;
    }
  }
  return out;
}

static bool samePixels(const PixelImage& a, const PixelImage& b) {
  return a.w == b.w && a.h == b.h && a.pixels == b.pixels;
}

std::string differences(const Snapshot& a, const Snapshot& b) {
  std::string out;
  auto note = [&out](bool differs, const char* what) {
    if (differs) out += std::string(out.empty() ? "" : ", ") + what;
  };
  note(a.row != b.row || a.col != b.col, "cursor");
  note(a.charSize != b.charSize, "charSize");
  note(a.bgIndex != b.bgIndex, "bgBuffIndex");
  note(a.fg != b.fg || a.bg != b.bg, "colours");
  note(a.bold != b.bold || a.underline != b.underline || a.blink != b.blink || a.reverse != b.reverse,
       "attribute bits");
  note(a.fwVersion != b.fwVersion, "fwVersion");
  note(a.seqState != b.seqState, "seqState");
  note(a.sjisLead != b.sjisLead, "sjisLead");
  note(!samePixels(a.text, b.text), "text layer");
  const char* layerNames[4] = {"layer 0", "layer 1", "layer 2", "layer 3"};
  for (int i = 0; i < 4; ++i) note(!samePixels(a.layers[i], b.layers[i]), layerNames[i]);
  return out;
}

int inkedPixels(const PixelImage& image, const SDL_Rect& area) {
  const Pixel clear{0, 0, 0, 0};
  SDL_Rect r{0, 0, 0, 0};
  SDL_Rect whole{0, 0, image.w, image.h};
  if (!SDL_IntersectRect(&area, &whole, &r)) return 0;
  return r.w * r.h - image.count(clear, r);
}

void ParserTest::SetUp() {
  ScreenTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  parser = std::make_unique<EscSeqParser>(screen.get());
}

void ParserTest::feed(const std::string& bytes) {
  for (unsigned char c : bytes) parser->ParseByte(c);
}

void ParserTest::reset(int row, int col) {
  screen->set_charsize(2);
  screen->init_disp();
  screen->set_bgbuff(0);
  screen->move(row, col);
  parser = std::make_unique<EscSeqParser>(screen.get());
}

Snapshot ParserTest::snapshot() const {
  Snapshot s;
  s.row = screen->getCursorRow();
  s.col = screen->getCursorCol();
  s.charSize = screen->getCharSize();
  s.bgIndex = screen->getBgBuffIndex();
  s.fg = toPixel(screen->getFgColor());
  s.bg = toPixel(screen->getBgColor());
  s.bold = screen->isBold();
  s.underline = screen->isUnderline();
  s.blink = screen->isBlink();
  s.reverse = screen->isReverse();
  s.fwVersion = parser->fwVersion;
  s.seqState = parser->seqState;
  s.sjisLead = parser->sjisLead;
  s.text = textLayer();
  for (int i = 0; i < 4; ++i) s.layers[i] = layer(i);
  return s;
}

}  // namespace parser_test
