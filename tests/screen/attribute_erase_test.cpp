// Attribute codes and erasing on the text layer.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "screen_fixture.h"

using namespace screen_test;

namespace {

Pixel px(SDL_Color c) { return Pixel{c.r, c.g, c.b, c.a}; }

TEST_F(ScreenTest, AttributeCodesChangeOnlyTheBytesTheyName) {
  const Pixel white{255, 255, 255, 255}, clear{0, 0, 0, 0}, red{255, 0, 0, 255}, blue{64, 64, 192, 255};
  const struct {
    std::vector<int> codes;
    Pixel fg, bg;
    int bits;  // bold 1, underline 2, blink 4, reverse 8
  } cases[] = {
      {{}, white, clear, 0},                          {{0, 31}, red, clear, 0},
      {{31, 0}, white, clear, 0},                     {{8, 31}, {255, 0, 0, 0}, clear, 0},
      {{16, 41, 32}, {0, 255, 0, 0}, {192, 0, 0, 255}, 0}, {{60, 23}, {255, 255, 255, 0}, clear, 0},
      {{8, 0}, white, clear, 0},                      {{17, 18, 19}, {255, 255, 0, 255}, clear, 0},
      {{20}, {0, 0, 255, 255}, clear, 0},             {{21}, {255, 0, 255, 255}, clear, 0},
      {{36}, {0, 255, 255, 255}, clear, 0},           {{30, 39}, white, clear, 0},
      {{30}, {0, 0, 0, 255}, clear, 0},               {{40}, white, {0, 0, 0, 255}, 0},
      {{42}, white, {0, 192, 0, 255}, 0},             {{43}, white, {255, 255, 0, 255}, 0},
      {{44}, white, blue, 0},                         {{45}, white, {192, 0, 192, 255}, 0},
      {{46}, white, {0, 192, 192, 255}, 0},           {{47, 49}, white, {192, 192, 192, 0}, 0},
      {{46, 61}, white, {0, 192, 192, 0}, 0},         {{1, 4, 5, 7}, white, clear, 15},
      {{1, 4, 5, 7, 29}, white, clear, 14},           {{1, 4, 5, 7, 24, 25}, white, clear, 9},
      {{1, 7, 27}, white, clear, 1},                  {{31, 44, 1, 62}, red, blue, 1},
      {{31, 44, 1, -1}, red, blue, 1},                {{31, 44, 1, 9}, red, blue, 1},
      {{31, 44, 1, INT_MIN}, red, blue, 1},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (int code : c.codes) trace += std::to_string(code) + " ";
    SCOPED_TRACE("codes " + trace);
    screen->set_attribute(0);
    // The two- to four-code forms apply left to right like single calls.
    const std::vector<int>& k = c.codes;
    size_t i = 0;
    for (; i + 4 <= k.size(); i += 4) screen->set_attribute(k[i], k[i + 1], k[i + 2], k[i + 3]);
    if (k.size() - i == 3) screen->set_attribute(k[i], k[i + 1], k[i + 2]);
    if (k.size() - i == 2) screen->set_attribute(k[i], k[i + 1]);
    if (k.size() - i == 1) screen->set_attribute(k[i]);
    EXPECT_EQ(px(screen->getFgColor()), c.fg);
    EXPECT_EQ(px(screen->getBgColor()), c.bg);
    EXPECT_EQ(screen->isBold(), (c.bits & 1) != 0);
    EXPECT_EQ(screen->isUnderline(), (c.bits & 2) != 0);
    EXPECT_EQ(screen->isBlink(), (c.bits & 4) != 0);
    EXPECT_EQ(screen->isReverse(), (c.bits & 8) != 0);
  }
}

// Rows 1 and 2 full of text on opaque red paper, the cursor at row 1,
// column 10; each case erases and says which part of row 1 became clear.
// Row 0 stays clear, row 2 stays full, the cursor stays put, and an erase
// presents the screen once.
TEST_F(ScreenTest, ErasingClearsCellsRowsAndToTheLayerEdge) {
  edispSDL& s = *screen;
  const struct {
    const char* name;
    bool narrowWindow;  // a window narrower than the layers must not leave stale text
    std::function<void()> erase;
    int clearFrom, clearTo;  // pixel columns of row 1
  } cases[] = {
      {"del_to_end", false, [&] { s.del_to_end(); }, 80, 640},
      {"del_row", false, [&] { s.del_row(); }, 0, 640},
      {"del(3)", false, [&] { s.del(3); }, 80, 104},
      {"del(0), del(-5)", false, [&] { s.del(0), s.del(-5); }, 0, 0},
      {"del(INT_MAX)", false, [&] { s.del(INT_MAX); }, 80, 640},
      {"far off the layer", false, [&] { s.move(INT_MAX, INT_MAX), s.del(INT_MAX), s.del_to_end(),
                                  s.move(INT_MIN, INT_MIN), s.del_row(), s.move(1, 10); }, 0, 0},
      {"del_to_end", true, [&] { s.del_to_end(); }, 80, 640},
      {"del_row", true, [&] { s.del_row(); }, 0, 640},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.narrowWindow ? " in a 320 x 192 window" : ""));
    s.resizeWindow(c.narrowWindow ? 320 : 640, c.narrowWindow ? 192 : 384);
    s.init_disp();
    s.set_attribute(41);
    s.move(1, 0);
    s.puts_((std::string(80, '#') + "\r\n" + std::string(80, '#')).c_str(), 0);
    s.move(1, 10);
    const unsigned long presents = s.getPresentCount();
    c.erase();
    PixelImage img = textLayer();
    EXPECT_EQ(img.countTransparent(SDL_Rect{0, 16, 640, 16}), (c.clearTo - c.clearFrom) * 16);
    EXPECT_EQ(img.countTransparent(SDL_Rect{c.clearFrom, 16, c.clearTo - c.clearFrom, 16}),
              (c.clearTo - c.clearFrom) * 16);
    EXPECT_EQ(img.countTransparent(SDL_Rect{0, 32, 640, 16}), 0);
    EXPECT_EQ(img.countTransparent(SDL_Rect{0, 0, 640, 16}), 640 * 16);
    EXPECT_EQ(s.getCursorRow(), 1);
    EXPECT_EQ(s.getCursorCol(), 10);
    if (c.clearTo > c.clearFrom) {
      EXPECT_EQ(s.getPresentCount(), presents + 1);
    }
  }
}

}  // namespace
