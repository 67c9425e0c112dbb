// The pen as attribute codes applied in turn leave it: ink and paper as drawn
// (0xRRGGBBAA) and the style bits (b bold, u underline, k blink, r reverse).
#include <gtest/gtest.h>

#include "screen/Pen.h"

namespace {

uint32_t rgba(SDL_Color c) { return uint32_t{c.r} << 24 | uint32_t{c.g} << 16 | uint32_t{c.b} << 8 | c.a; }

TEST(PenTest, AttributeCodesSetInkPaperAndStyle) {
  const uint32_t W = 0xFFFFFFFF, C = 0, Red = 0xFF0000FF, Grn = 0x00FF00FF, Yel = 0xFFFF00FF, Blu = 0x0000FFFF,
                 Mag = 0xFF00FFFF, Cya = 0x00FFFFFF;  // the pen at start: white ink, transparent paper
  const struct { std::vector<int> codes; uint32_t ink, paper; std::string style; } cases[] = {
      {{}, W, C, ""}, {{31}, Red, C, ""}, {{17}, Red, C, ""}, {{32}, Grn, C, ""}, {{18}, Grn, C, ""},
      {{33}, Yel, C, ""}, {{19}, Yel, C, ""}, {{34}, Blu, C, ""}, {{20}, Blu, C, ""}, {{35}, Mag, C, ""},
      {{21}, Mag, C, ""}, {{36}, Cya, C, ""}, {{22}, Cya, C, ""}, {{30}, 0x000000FF, C, ""}, {{30, 37}, W, C, ""},
      {{30, 23}, W, C, ""}, {{30, 39}, W, C, ""}, {{31, 0}, W, C, ""}, {{40}, W, 0x000000FF, ""},
      {{41}, W, 0xC00000FF, ""}, {{42}, W, 0x00C000FF, ""}, {{43}, W, Yel, ""}, {{44}, W, 0x4040C0FF, ""},
      {{45}, W, 0xC000C0FF, ""}, {{46}, W, 0x00C0C0FF, ""}, {{47}, W, 0xC0C0C0FF, ""}, {{47, 49}, W, 0xC0C0C000, ""},
      {{46, 61}, W, 0x00C0C000, ""}, {{41, 8}, 0xFFFFFF00, 0xC0000000, ""}, {{16, 41, 32}, 0x00FF0000, 0xC00000FF, ""},
      {{8, 31, 0}, W, C, ""}, {{60, 47}, 0xFFFFFF00, 0xC0C0C0FF, ""}, {{7}, C, W, "r"},
      {{31, 44, 7}, 0x4040C0FF, Red, "r"}, {{7, 27}, W, C, ""}, {{1}, W, C, "b"}, {{1, 29}, W, C, ""}, {{4}, W, C, "u"},
      {{4, 24}, W, C, ""}, {{5}, W, C, "k"}, {{5, 25}, W, C, ""}, {{1, 4, 5, 7, 41, 0}, W, C, ""},
      {{1, 9, 62, -1, 2, 3, 6, 10, 48, 50}, W, C, "b"}};
  for (const auto& c : cases) {
    Pen pen;
    for (int code : c.codes) pen.apply(code);
    const std::string style = std::string(pen.bold() ? "b" : "") + (pen.underline() ? "u" : "") +
                              (pen.blink() ? "k" : "") + (pen.reverse() ? "r" : "");
    EXPECT_TRUE(rgba(pen.ink()) == c.ink && rgba(pen.paper()) == c.paper && style == c.style) << "case " << &c - cases;
  }
}

}  // namespace
