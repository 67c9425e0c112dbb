// The pen as attribute codes applied in turn leave it: ink and paper as drawn
// (0xRRGGBBAA; W white, C clear) and style bits (1 bold, 2 underline, 4 blink, 8 reverse).
#include <gtest/gtest.h>

#include "screen/Pen.h"

namespace {

uint32_t rgba(SDL_Color c) { return uint32_t{c.r} << 24 | uint32_t{c.g} << 16 | uint32_t{c.b} << 8 | c.a; }

TEST(PenTest, AttributeCodesSetInkPaperAndStyle) {
  const uint32_t W = 0xFFFFFFFF, C = 0, Red = 0xFF0000FF, Grn = 0x00FF00FF, Yel = 0xFFFF00FF;
  const struct { std::vector<int> codes; uint32_t ink, paper; int style; } cases[] = {
      {{}, W, C, 0}, {{31}, Red, C, 0}, {{17}, Red, C, 0}, {{32}, Grn, C, 0}, {{18}, Grn, C, 0}, {{33}, Yel, C, 0},
      {{19}, Yel, C, 0}, {{34}, 0x0000FFFF, C, 0}, {{20}, 0x0000FFFF, C, 0}, {{35}, 0xFF00FFFF, C, 0},
      {{21}, 0xFF00FFFF, C, 0}, {{36}, 0x00FFFFFF, C, 0}, {{22}, 0x00FFFFFF, C, 0}, {{30}, 0x000000FF, C, 0},
      {{30, 37}, W, C, 0}, {{30, 23}, W, C, 0}, {{30, 39}, W, C, 0}, {{31, 0}, W, C, 0}, {{40}, W, 0x000000FF, 0},
      {{41}, W, 0xC00000FF, 0}, {{42}, W, 0x00C000FF, 0}, {{43}, W, Yel, 0}, {{44}, W, 0x4040C0FF, 0},
      {{45}, W, 0xC000C0FF, 0}, {{46}, W, 0x00C0C0FF, 0}, {{47}, W, 0xC0C0C0FF, 0}, {{47, 49}, W, 0xC0C0C000, 0},
      {{46, 61}, W, 0x00C0C000, 0}, {{41, 8}, 0xFFFFFF00, 0xC0000000, 0}, {{16, 41, 32}, 0x00FF0000, 0xC00000FF, 0},
      {{8, 31, 0}, W, C, 0}, {{60, 47}, 0xFFFFFF00, 0xC0C0C0FF, 0}, {{7}, C, W, 8}, {{31, 44, 7}, 0x4040C0FF, Red, 8},
      {{7, 27}, W, C, 0}, {{1}, W, C, 1}, {{1, 29}, W, C, 0}, {{4}, W, C, 2}, {{4, 24}, W, C, 0}, {{5}, W, C, 4},
      {{5, 25}, W, C, 0}, {{1, 4, 5, 7, 41, 0}, W, C, 0}, {{1, 9, 62, -1, 2, 3, 6, 10, 48, 50}, W, C, 1}};
  for (const auto& c : cases) {
    Pen pen;
    for (int code : c.codes) pen.apply(code);
    const int style = pen.bold() + 2 * pen.underline() + 4 * pen.blink() + 8 * pen.reverse();
    EXPECT_TRUE(rgba(pen.ink()) == c.ink && rgba(pen.paper()) == c.paper && style == c.style) << "case " << &c - cases;
  }
}

}  // namespace
