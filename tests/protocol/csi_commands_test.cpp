// The "[" command group and the two-byte sequences: cursor moves, erasing,
// attributes and the commands that are consumed without a visible effect.
#include "parser_harness.h"

namespace parser_test {
namespace {

class CsiCommandTest : public ParserTest {};

struct CursorCase {
  std::string input;
  int row;
  int col;
};

TEST_F(CsiCommandTest, CursorMovesFromRow5Column10) {
  const CursorCase cases[] = {
      // Up, down, right, left: no value means 1, 0 means no move.
      {esc("[A"), 4, 10},
      {esc("[3A"), 2, 10},
      {esc("[0A"), 5, 10},
      {esc("[;A"), 5, 10},
      {esc("[1;4A"), 4, 10},
      {esc("[B"), 6, 10},
      {esc("[4B"), 9, 10},
      {esc("[0B"), 5, 10},
      {esc("[C"), 5, 11},
      {esc("[7C"), 5, 17},
      {esc("[;C"), 5, 10},
      {esc("[D"), 5, 9},
      {esc("[12D"), 5, -2},
      {esc("[;;D"), 5, 10},
      {esc("[2;9D"), 5, 8},
      // Absolute moves need two values; extra values are not read.
      {esc("[H"), 0, 0},
      {esc("[7;3H"), 7, 3},
      {esc("[7H"), 5, 10},
      {esc("[;3H"), 5, 10},
      {esc("[7;;3H"), 7, 3},
      {esc("[1;2;3H"), 1, 2},
      {esc("[f"), 0, 0},
      {esc("[8;30f"), 8, 30},
      {esc("[8f"), 5, 10},
      {esc("[0;0;0;0f"), 0, 0},
      {esc("[30;100H"), 30, 100},
      {esc("[2147483647;0H"), 2147483647, 0},
      // A field that holds no number, or a number past 32 bits, voids the sequence.
      {esc("[>5;3H"), 5, 10},
      {esc("[2147483648;3H"), 5, 10},
      {esc("[99999999999A"), 5, 10},
      {esc("[>2A"), 5, 10},
      {esc("[5>3;2>H"), 5, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset();
    feed(c.input);
    EXPECT_EQ(screen->getCursorRow(), c.row);
    EXPECT_EQ(screen->getCursorCol(), c.col);
    EXPECT_EQ(parser->seqState, EscSeqParser::Text);
    EXPECT_EQ(inkedPixels(textLayer(), SDL_Rect{0, 0, 640, 384}), 0) << "a cursor command drew something";
  }
}

// What an erase case expects of the 40 cells of row 5 (filled with "X"
// beforehand) and where the cursor ends.
struct EraseCase {
  std::string input;
  int erasedFrom;  // cells [erasedFrom, erasedTo) of row 5 are blank afterwards
  int erasedTo;
  bool wholeLayerClear;
  int row;
  int col;
};

TEST_F(CsiCommandTest, ErasingAndClearing) {
  const int kFilled = 40;
  const EraseCase cases[] = {
      {esc("[J"), 0, 0, false, 5, 10},
      {esc("[2J"), 0, kFilled, true, 0, 0},
      {esc("[1J"), 0, 0, false, 5, 10},
      {esc("[0J"), 0, 0, false, 5, 10},
      {esc("[2;1J"), 0, kFilled, true, 0, 0},
      {esc("[;J"), 0, 0, false, 5, 10},
      {esc("[K"), 10, kFilled, false, 5, 10},
      {esc("[0K"), 10, kFilled, false, 5, 10},
      {esc("[2K"), 0, kFilled, false, 5, 10},
      {esc("[1K"), 0, 0, false, 5, 10},
      {esc("[3K"), 0, 0, false, 5, 10},
      {esc("[;K"), 0, 0, false, 5, 10},
      {esc("[X"), 10, 11, false, 5, 10},
      {esc("[3X"), 10, 13, false, 5, 10},
      {esc("[0X"), 0, 0, false, 5, 10},
      {esc("[;X"), 0, 0, false, 5, 10},
      {esc("[5;1X"), 10, 15, false, 5, 10},
      {esc("[*"), 0, kFilled, true, 0, 0},
      {esc("[1*"), 0, 0, false, 5, 10},
  };
  const int cw = 8, ch = 16;
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset(5, 0);
    feed(std::string(kFilled, 'X') + "\r\n" + std::string(kFilled, 'X'));
    screen->move(5, 10);
    feed(c.input);
    PixelImage text = textLayer();
    EXPECT_EQ(screen->getCursorRow(), c.row);
    EXPECT_EQ(screen->getCursorCol(), c.col);
    for (int cell = 0; cell < kFilled; ++cell) {
      bool erased = cell >= c.erasedFrom && cell < c.erasedTo;
      int ink = inkedPixels(text, SDL_Rect{cell * cw, 5 * ch, cw, ch});
      if (erased) {
        EXPECT_EQ(ink, 0) << "cell " << cell << " of row 5 should be blank";
      } else {
        EXPECT_GT(ink, 0) << "cell " << cell << " of row 5 should still hold its X";
      }
    }
    int row6 = inkedPixels(text, SDL_Rect{0, 6 * ch, kFilled * cw, ch});
    if (c.wholeLayerClear) {
      EXPECT_EQ(inkedPixels(text, SDL_Rect{0, 0, 640, 384}), 0);
    } else {
      EXPECT_GT(row6, 0) << "row 6 was touched";
    }
  }
}

struct AttributeCase {
  std::string setup;
  std::string input;
  Pixel fg;
  Pixel bg;
  bool bold, underline, blink, reverse;
};

TEST_F(CsiCommandTest, Attributes) {
  const Pixel white{255, 255, 255, 255}, red{255, 0, 0, 255}, green{0, 255, 0, 255};
  const Pixel none{0, 0, 0, 0}, bgRed{192, 0, 0, 255}, bgBlue{64, 64, 192, 255};
  const std::string busy = esc("[1;4;5;7m") + esc("[32;41m");
  const AttributeCase cases[] = {
      {"", esc("[31m"), red, none, false, false, false, false},
      {"", esc("[1;31m"), red, none, true, false, false, false},
      {"", esc("[1;4;5;7m"), white, none, true, true, true, true},
      {"", esc("[32;44;4m"), green, bgBlue, false, true, false, false},
      {"", esc("[0;31m"), red, none, false, false, false, false},
      {"", esc("[31;0m"), white, none, false, false, false, false},
      {"", esc("[41;;1m"), white, bgRed, true, false, false, false},
      // Reset with no values; nothing at all for 5 or 6 values or none read.
      {busy, esc("[m"), white, none, false, false, false, false},
      {busy, esc("[0m"), white, none, false, false, false, false},
      {busy, esc("[0;0;0;0;0m"), green, bgRed, true, true, true, true},
      {busy, esc("[0;0;0;0;0;0m"), green, bgRed, true, true, true, true},
      {busy, esc("[0;0;0;0;0;0;0m"), green, bgRed, true, true, true, true},
      {busy, esc("[;m"), green, bgRed, true, true, true, true},
      {busy, esc("[>0m"), green, bgRed, true, true, true, true},
      {busy, esc("[4294967296m"), green, bgRed, true, true, true, true},
      {busy, esc("[24;25;27;29m"), green, bgRed, false, false, false, false},
      // Cursor visibility and attribute saving change nothing here.
      {busy, esc("[s") + esc("[u") + esc("7") + esc("8") + esc("[>5h") + esc("[>5l"), green, bgRed, true,
       true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.setup) + "| " + show(c.input));
    reset();
    feed(c.setup);
    feed(c.input);
    EXPECT_EQ(toPixel(screen->getFgColor()), c.fg);
    EXPECT_EQ(toPixel(screen->getBgColor()), c.bg);
    EXPECT_EQ(screen->isBold(), c.bold);
    EXPECT_EQ(screen->isUnderline(), c.underline);
    EXPECT_EQ(screen->isBlink(), c.blink);
    EXPECT_EQ(screen->isReverse(), c.reverse);
  }
}

TEST_F(CsiCommandTest, CommandsWithoutVisibleEffectAreConsumed) {
  const std::string inputs[] = {
      esc("7"),        esc("8"),        esc("[s"),      esc("[u"),      esc("[1s"),     esc("[2u"),
      esc("[>5h"),     esc("[>5l"),     esc("[>1h"),    esc("[>1l"),    esc("[>5;1h"),  esc("[>;5h"),
      esc("[5h"),      esc("[h"),       esc("[l"),      esc("[>55l"),   esc("[L"),      esc("[3L"),
      esc("[M"),       esc("[3M"),      esc("[P"),      esc("[3P"),     esc("[g"),      esc("[3g"),
      esc("[Q"),       esc("[5;5Q"),    esc("[@"),      esc("[z"),      esc("[Z"),      esc("[a"),
      esc("[99999999999L"), esc("(0A"), esc("(B"),      esc("$B"),      esc("$)"),      esc("A"),
      esc("Z"),        esc("c"),        esc("="),       esc("1"),       esc("9"),       esc("#"),
  };
  for (const auto& input : inputs) {
    SCOPED_TRACE(show(input));
    reset();
    feed("AB");
    Snapshot before = snapshot();
    feed(input);
    EXPECT_EQ(parser->seqState, EscSeqParser::Text);
    EXPECT_EQ(differences(before, snapshot()), "");
    feed("C");
    EXPECT_EQ(screen->getCursorCol(), 13) << "text after the sequence was not drawn";
  }
}

TEST_F(CsiCommandTest, ParseEscapeSequenceToleratesEmptyAndShortTexts) {
  reset();
  Snapshot before = snapshot();
  for (const char* seq : {"", "[", "@", "(", "$", "x", "[;", "@;"}) {
    SCOPED_TRACE(seq);
    parser->ParseEscapeSequence(seq);
  }
  EXPECT_EQ(differences(before, snapshot()), "");
  parser->ParseEscapeSequence("[3;4H");
  EXPECT_EQ(screen->getCursorRow(), 3);
  EXPECT_EQ(screen->getCursorCol(), 4);
}

}  // namespace
}  // namespace parser_test
