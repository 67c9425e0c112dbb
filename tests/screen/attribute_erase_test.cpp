// Attribute codes and erasing on the text layer.
#include <climits>
#include <string>
#include <vector>

#include "screen_fixture.h"

using namespace screen_test;

namespace {


struct AttributeCase {
  std::vector<int> codes;
  SDL_Color fg, bg;
  int bits;  // bold 1, underline 2, blink 4, reverse 8
};

bool sameColour(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }
std::string str(SDL_Color c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," + std::to_string(c.a);
}

TEST_F(ScreenTest, AttributeCodesChangeOnlyTheBytesTheyName) {
  const SDL_Color white{255, 255, 255, 255}, clear{0, 0, 0, 0};
  const AttributeCase cases[] = {
      {{}, white, clear, 0},
      {{0, 31}, {255, 0, 0, 255}, clear, 0},
      {{31, 0}, white, clear, 0},
      {{8, 31}, {255, 0, 0, 0}, clear, 0},
      {{16, 41, 32}, {0, 255, 0, 0}, {192, 0, 0, 255}, 0},
      {{60, 23}, {255, 255, 255, 0}, clear, 0},
      {{8, 0}, white, clear, 0},
      {{17, 18, 19}, {255, 255, 0, 255}, clear, 0},
      {{20}, {0, 0, 255, 255}, clear, 0},
      {{21}, {255, 0, 255, 255}, clear, 0},
      {{36}, {0, 255, 255, 255}, clear, 0},
      {{30, 39}, white, clear, 0},
      {{30}, {0, 0, 0, 255}, clear, 0},
      {{40}, white, {0, 0, 0, 255}, 0},
      {{42}, white, {0, 192, 0, 255}, 0},
      {{43}, white, {255, 255, 0, 255}, 0},
      {{44}, white, {64, 64, 192, 255}, 0},
      {{45}, white, {192, 0, 192, 255}, 0},
      {{46}, white, {0, 192, 192, 255}, 0},
      {{47, 49}, white, {192, 192, 192, 0}, 0},
      {{46, 61}, white, {0, 192, 192, 0}, 0},
      {{1, 4, 5, 7}, white, clear, 15},
      {{1, 4, 5, 7, 29}, white, clear, 14},
      {{1, 4, 5, 7, 24, 25}, white, clear, 9},
      {{1, 7, 27}, white, clear, 1},
      {{31, 44, 1, 62}, {255, 0, 0, 255}, {64, 64, 192, 255}, 1},
      {{31, 44, 1, -1}, {255, 0, 0, 255}, {64, 64, 192, 255}, 1},
      {{31, 44, 1, 9}, {255, 0, 0, 255}, {64, 64, 192, 255}, 1},
      {{31, 44, 1, INT_MIN}, {255, 0, 0, 255}, {64, 64, 192, 255}, 1},
  };
  for (const AttributeCase& c : cases) {
    std::string trace;
    for (int code : c.codes) trace += std::to_string(code) + " ";
    SCOPED_TRACE("codes " + trace);
    screen->set_attribute(0);
    // The two- to four-code forms apply left to right like single calls.
    size_t i = 0;
    for (; i + 4 <= c.codes.size(); i += 4) screen->set_attribute(c.codes[i], c.codes[i + 1], c.codes[i + 2], c.codes[i + 3]);
    if (c.codes.size() - i == 3) screen->set_attribute(c.codes[i], c.codes[i + 1], c.codes[i + 2]);
    if (c.codes.size() - i == 2) screen->set_attribute(c.codes[i], c.codes[i + 1]);
    if (c.codes.size() - i == 1) screen->set_attribute(c.codes[i]);
    EXPECT_TRUE(sameColour(screen->getFgColor(), c.fg)) << str(screen->getFgColor());
    EXPECT_TRUE(sameColour(screen->getBgColor(), c.bg)) << str(screen->getBgColor());
    EXPECT_EQ(screen->isBold(), (c.bits & 1) != 0);
    EXPECT_EQ(screen->isUnderline(), (c.bits & 2) != 0);
    EXPECT_EQ(screen->isBlink(), (c.bits & 4) != 0);
    EXPECT_EQ(screen->isReverse(), (c.bits & 8) != 0);
  }
}

class EraseTest : public ScreenTest {
protected:
  // Rows 1 and 2 full of text on opaque red paper, cursor at row 1, column 10.
  void SetUp() override {
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    screen->set_attribute(41);
    screen->move(1, 0);
    screen->puts_((std::string(80, '#') + "\r\n" + std::string(80, '#')).c_str(), 0);
    screen->move(1, 10);
    presents = screen->getPresentCount();
  }
  void expectRowsUntouched() {
    PixelImage img = textLayer();
    EXPECT_EQ(img.countTransparent(SDL_Rect{0, 32, 640, 16}), 0);
    EXPECT_EQ(img.countTransparent(SDL_Rect{0, 0, 640, 16}), 640 * 16);
    EXPECT_EQ(screen->getCursorRow(), 1);
    EXPECT_EQ(screen->getCursorCol(), 10);
    EXPECT_EQ(screen->getPresentCount(), presents + 1);
  }
  unsigned long presents = 0;
};

TEST_F(EraseTest, DelToEndClearsToTheLayerEdge) {
  screen->del_to_end();
  PixelImage img = textLayer();
  EXPECT_EQ(img.countTransparent(SDL_Rect{0, 16, 80, 16}), 0);
  EXPECT_EQ(img.countTransparent(SDL_Rect{80, 16, 560, 16}), 560 * 16);
  expectRowsUntouched();
}

TEST_F(EraseTest, DelRowClearsTheWholeRow) {
  screen->del_row();
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{0, 16, 640, 16}), 640 * 16);
  expectRowsUntouched();
}

TEST_F(EraseTest, DelClearsNCells) {
  screen->del(3);
  PixelImage img = textLayer();
  EXPECT_EQ(img.countTransparent(SDL_Rect{80, 16, 24, 16}), 24 * 16);
  EXPECT_EQ(img.countTransparent(SDL_Rect{0, 16, 80, 16}) + img.countTransparent(SDL_Rect{104, 16, 536, 16}), 0);
  expectRowsUntouched();
}

TEST_F(EraseTest, DelWithNoCellsOrTooManyCells) {
  screen->del(0);
  screen->del(-5);
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{0, 16, 640, 32}), 0);
  screen->del(INT_MAX);
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{80, 16, 560, 16}), 560 * 16);
  screen->move(INT_MAX, INT_MAX);
  screen->del(INT_MAX);
  screen->del_to_end();
  screen->move(INT_MIN, INT_MIN);
  screen->del_row();
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{0, 32, 640, 16}), 0);
}

TEST_F(EraseTest, NarrowWindowStillErasesToTheLayerEdge) {
  screen->resizeWindow(320, 192);
  int w = 0, h = 0;
  screen->getWindowSize(&w, &h);
  EXPECT_EQ(w, 320);
  screen->del_to_end();
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{80, 16, 560, 16}), 560 * 16);
  screen->move(2, 0);
  screen->del_row();
  EXPECT_EQ(textLayer().countTransparent(SDL_Rect{0, 32, 640, 16}), 640 * 16);
}

}  // namespace
