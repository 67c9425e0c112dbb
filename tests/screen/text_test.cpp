// Text output on the text layer: cell placement per font, cursor advance,
// line breaks, the segment cut, attributes as pixels, and presentation.
#include <climits>
#include <string>

#include "screen_fixture.h"

using namespace screen_test;

namespace {

const Pixel kClear{0, 0, 0, 0};
const Pixel kWhite{255, 255, 255, 255};
const Pixel kGreyPaper{192, 192, 192, 255};  // code 47

std::string str(const SDL_Rect& r) {
  return std::to_string(r.w) + "x" + std::to_string(r.h) + "+" + std::to_string(r.x) + "+" + std::to_string(r.y);
}

class TextTest : public ScreenTest {
protected:
  SDL_Rect drawnArea() const { return textLayer().boundsOfOthers(kClear); }
};

TEST_F(TextTest, PlacesTextInCellsOfEachCharSize) {
  const char* a = u8"A";
  const char* hiragana = u8"あ";  // full width
  const char* katakana = u8"ｱ";  // half width
  const struct {
    int charSize;
    const char* text;
    int cellW, cellH;
    int advance;  // columns
  } cases[] = {
      {0, a, 4, 8, 2},  {0, hiragana, 4, 8, 4},  {0, katakana, 4, 8, 2},
      {1, a, 5, 12, 1}, {1, hiragana, 5, 12, 2}, {1, katakana, 5, 12, 1},
      {2, a, 8, 16, 1}, {2, hiragana, 8, 16, 2}, {2, katakana, 8, 16, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("font ") + std::to_string(c.charSize) + " text " + c.text);
    screen->set_charsize(c.charSize);
    screen->set_attribute(47);  // opaque paper shows the destination rectangle
    screen->move(3, 5);
    screen->puts_(c.text, 0);
    EXPECT_EQ(screen->getCursorRow(), 3);
    EXPECT_EQ(screen->getCursorCol(), 5 + c.advance);
    const SDL_Rect expected{5 * c.cellW, 3 * c.cellH, c.advance * c.cellW, c.cellH};
    PixelImage img = textLayer();
    EXPECT_EQ(str(img.boundsOfOthers(kClear)), str(expected));
    // The glyph is drawn in white ink inside the grey paper.
    const int ink = img.count(kWhite, expected);
    EXPECT_GT(ink, 3);
    EXPECT_EQ(ink + img.count(kGreyPaper, expected), expected.w * expected.h);
    screen->set_attribute(0);
  }
}

TEST_F(TextTest, LineBreaksMoveTheCursorEmptySegmentsDrawNothingOnePresentationPerCall) {
  LogRecorder log;
  screen->set_attribute(47);
  screen->move(2, 5);
  unsigned long before = screen->getPresentCount();
  screen->puts_("AB\r\nC", 0);
  screen->puts_("\r\nD", 0);
  screen->puts_("", 0);
  screen->puts_("\n\n", 0);
  EXPECT_EQ(screen->getPresentCount(), before + 4);
  EXPECT_EQ(screen->getCursorRow(), 6);  // LF alone keeps the column
  EXPECT_EQ(screen->getCursorCol(), 1);
  PixelImage img = textLayer();
  EXPECT_EQ(img.count(kClear, SDL_Rect{40, 32, 16, 16}), 0);
  EXPECT_EQ(img.count(kClear, SDL_Rect{0, 48, 8, 16}), 0);
  EXPECT_EQ(img.count(kClear, SDL_Rect{0, 64, 8, 16}), 0);
  EXPECT_EQ(img.count(kClear), 640 * 384 - 16 * 16 - 2 * 8 * 16);
  EXPECT_TRUE(log.lines.empty()) << log.lines.front().text;
}

TEST_F(TextTest, LongSegmentIsCutAfterEightyBytes) {
  screen->set_attribute(47);
  screen->move(1, 0);
  screen->puts_(std::string(100, 'A').c_str(), 0);
  EXPECT_EQ(screen->getCursorCol(), 80);
  EXPECT_EQ(str(drawnArea()), str(SDL_Rect{0, 16, 640, 16}));

  // The cut may split a character; the rest of the segment is dropped.
  screen->move(3, 0);
  screen->puts_((std::string(79, 'B') + u8"ああ" + "\r\nC").c_str(), 0);
  EXPECT_EQ(screen->getCursorRow(), 4);
  EXPECT_EQ(screen->getCursorCol(), 1);

  // printw cuts its own output at 99 bytes, then the segment cut applies.
  screen->move(6, 0);
  screen->printw("%s%d", std::string(120, 'D').c_str(), 7);
  EXPECT_EQ(screen->getCursorCol(), 80);
  screen->move(7, 0);
  screen->printw("%d:%s", 42, "ab");
  EXPECT_EQ(screen->getCursorCol(), 5);
}

TEST_F(TextTest, TextOffTheLayerIsClippedAndTheCursorKeepsCounting) {
  screen->move(30, 100);
  screen->puts_("AB", 0);
  EXPECT_EQ(screen->getCursorCol(), 102);
  screen->move(-1, -1);
  screen->puts_("A", 0);  // the rest of the cell at column -1 is off the layer
  EXPECT_EQ(screen->getCursorCol(), 0);
  screen->move(INT_MAX, INT_MAX);
  screen->puts_("A\n", 0);
  EXPECT_EQ(screen->getCursorCol(), INT_MAX);
  EXPECT_EQ(screen->getCursorRow(), INT_MAX);
  screen->curmove(INT_MIN, INT_MIN);
  EXPECT_EQ(screen->getCursorRow(), -1);
  EXPECT_EQ(drawnArea().w, 0);
}

TEST_F(TextTest, ReverseSwapsInkAndPaper) {
  screen->set_attribute(7);
  screen->puts_("A", 0);
  PixelImage img = textLayer();
  const SDL_Rect cell{0, 0, 8, 16};
  EXPECT_EQ(str(img.boundsOfOthers(kClear)), str(cell));
  // Paper is opaque white. The ink is transparent black, but solid glyphs
  // always come out opaque, so the glyph shows as black.
  const int paper = img.count(kWhite, cell);
  const int glyph = img.count(Pixel{0, 0, 0, 255}, cell);
  EXPECT_GT(glyph, 3);
  EXPECT_EQ(paper + glyph, 8 * 16);
  // The underline is drawn in the ink colour alpha included: a clear row.
  screen->set_attribute(4);
  screen->puts_("A", 0);
  EXPECT_TRUE(textLayer().all(kClear, SDL_Rect{8, 15, 8, 1}));
}

TEST_F(TextTest, UnderlineAndBold) {
  screen->set_attribute(41);
  screen->puts_("AB", 0);
  PixelImage plain = textLayer(nullptr);
  EXPECT_FALSE(plain.all(kWhite, SDL_Rect{0, 15, 16, 1}));

  screen->clear();
  screen->set_attribute(4);
  screen->puts_("AB", 0);
  PixelImage under = textLayer();
  EXPECT_TRUE(under.all(kWhite, SDL_Rect{0, 15, 16, 1}));
  EXPECT_TRUE(under.all(kClear, SDL_Rect{16, 0, 624, 16}));

  // Bold draws the glyphs again one pixel to the right.
  screen->clear();
  screen->set_attribute(24, 1);
  screen->puts_("AB", 0);
  PixelImage bold = textLayer();
  int extra = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (plain.at(x, y) == kWhite) {
        EXPECT_EQ(bold.at(x, y), kWhite) << x << "," << y;
        EXPECT_EQ(bold.at(x + 1, y), kWhite) << x + 1 << "," << y;
      } else if (bold.at(x, y) == kWhite) {
        ++extra;
      }
    }
  EXPECT_GT(extra, 0);
}

TEST_F(TextTest, TransparentPaperShowsTheLayerInTheWindow) {
  screen->draw_fillrect(0, 640, 384, 0, 0, 0x001F);
  screen->puts_("A", 0);
  PixelImage win = windowPixels();
  const Pixel blue{0, 0, 248, 255};
  const SDL_Rect cell{0, 0, 8, 16};
  const int ink = win.count(kWhite, cell);
  EXPECT_GT(ink, 3);
  EXPECT_EQ(ink + win.count(blue, cell), 8 * 16);
  EXPECT_TRUE(win.all(blue, SDL_Rect{8, 0, 632, 384}));

  // Code 8 leaves the paper transparent even over an opaque background code.
  screen->set_attribute(41, 8);
  screen->puts_("A", 0);
  EXPECT_EQ(windowPixels().count(blue, SDL_Rect{8, 0, 8, 16}) + windowPixels().count(kWhite, SDL_Rect{8, 0, 8, 16}),
            8 * 16);
}

TEST_F(TextTest, PresentationIsHeldBackUntilResumed) {
  const unsigned long start = screen->getPresentCount();
  screen->stopUpdate();
  screen->stopUpdate();
  screen->puts_("AB\r\nC", 0);
  screen->clear();
  screen->del_row();
  screen->set_bgbuff(1);
  EXPECT_EQ(screen->getPresentCount(), start);
  EXPECT_FALSE(screen->isUpdateEnabled());
  screen->resumeUpdate();
  EXPECT_EQ(screen->getPresentCount(), start + 1);
  EXPECT_TRUE(screen->isUpdateEnabled());
  screen->resumeUpdate();
  EXPECT_EQ(screen->getPresentCount(), start + 1);
  screen->updateContent();
  EXPECT_EQ(screen->getPresentCount(), start + 2);
}

TEST_F(TextTest, ClearInitAndCharSize) {
  screen->set_attribute(31, 44, 4);
  screen->set_charsize(1);
  screen->move(4, 4);
  screen->puts_("xyz", 0);
  screen->clear();
  EXPECT_EQ(textLayer().count(kClear), 640 * 384);
  EXPECT_EQ(screen->getCursorRow(), 0);
  EXPECT_EQ(screen->getCursorCol(), 0);
  EXPECT_EQ(screen->getFgColor().g, 0);
  EXPECT_EQ(screen->getBgColor().b, 192);
  EXPECT_TRUE(screen->isUnderline());
  EXPECT_EQ(screen->getCharSize(), 1);

  // An unknown size keeps the font but still clears and homes the cursor.
  screen->puts_("xyz", 0);
  unsigned long before = screen->getPresentCount();
  screen->set_charsize(3);
  EXPECT_EQ(screen->getPresentCount(), before + 1);
  EXPECT_EQ(screen->getCharSize(), 1);
  EXPECT_EQ(screen->getCursorCol(), 0);
  EXPECT_EQ(textLayer().count(kClear), 640 * 384);
  screen->set_charsize(-1);
  EXPECT_EQ(screen->getCharSize(), 1);

  // init_disp blackens every layer and resets the attributes, not the font
  // or the displayed layer.
  screen->draw_fillrect(2, 10, 10, 0, 0, 0x7FFF);
  screen->set_bgbuff(2);
  screen->puts_("xyz", 0);
  before = screen->getPresentCount();
  screen->init_disp();
  EXPECT_EQ(screen->getPresentCount(), before + 1);
  EXPECT_EQ(layer(2).count(Pixel{0, 0, 0, 255}), 640 * 384);
  EXPECT_EQ(textLayer().count(kClear), 640 * 384);
  EXPECT_EQ(screen->getBgBuffIndex(), 2);
  EXPECT_EQ(screen->getCharSize(), 1);
  EXPECT_FALSE(screen->isUnderline());
  EXPECT_EQ(screen->getBgColor().a, 0);
}

}  // namespace
