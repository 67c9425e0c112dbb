// The "[" command group, the two-byte sequences and the splitting of
// parameter text into numbers.
#include <climits>

#include "parser_harness.h"

namespace parser_test {
namespace {

TEST(ParamExtractionTest, SplitsFieldsSkipsEmptyOnesAndRefusesBadNumbers) {
  const struct {
    std::string params;
    int maxCount;
    int count;  // -1: refused
    std::vector<int> values;
  } cases[] = {
      {"", 4, 0, {}},
      {"1;;3", 4, 2, {1, 3}},
      {";5;", 4, 1, {5}},
      {"12>;4", 4, 2, {12, 4}},  // a field's number ends at the first non-digit
      {"1;2;3", 2, 2, {1, 2}},
      {"000000000000000000000042", 1, 1, {42}},
      {std::string(10000, '0') + "9;" + std::string(5000, '0'), 2, 2, {9, 0}},
      {"2147483647", 1, 1, {INT_MAX}},
      {"1;2;99999999999", 2, 2, {1, 2}},  // fields past the count are not looked at
      {"1;>5", 1, 1, {1}},
      {"1;2", 0, 0, {}},
      {"1;2", -3, 0, {}},
      {"2147483648", 4, -1, {}},
      {"1;4294967296", 4, -1, {}},
      {"18446744073709551617", 4, -1, {}},
      {">5", 4, -1, {}},
      {"1;>5", 4, -1, {}},
      {"3;;>", 4, -1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.params.substr(0, 40) + "\" max " + std::to_string(c.maxCount));
    std::vector<int> values(static_cast<size_t>(std::max(c.maxCount, 0)) + 1, -7);
    ASSERT_EQ(EscSeqParser::ExtractParamString(c.params, values.data(), c.maxCount), c.count);
    if (c.count < 0) continue;
    for (size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(values[i], i < c.values.size() ? c.values[i] : -7) << "slot " << i;
    }
  }
}

class CsiCommandTest : public ParserTest {};

TEST_F(CsiCommandTest, CursorMovesFromRow5Column10) {
  const struct {
    std::string input;
    int row, col;
  } cases[] = {
      // Up, down, right, left: no value means 1, 0 means no move, extra values are not read.
      {esc("[A"), 4, 10},     {esc("[3A"), 2, 10},  {esc("[0A"), 5, 10},   {esc("[1;4A"), 4, 10},
      {esc("[B"), 6, 10},     {esc("[4B"), 9, 10},  {esc("[C"), 5, 11},    {esc("[7C"), 5, 17},
      {esc("[;C"), 5, 10},    {esc("[D"), 5, 9},    {esc("[12D"), 5, -2},  {esc("[2;9D"), 5, 8},
      // Absolute moves need two values.
      {esc("[H"), 0, 0},      {esc("[7;3H"), 7, 3}, {esc("[7H"), 5, 10},   {esc("[;3H"), 5, 10},
      {esc("[7;;3H"), 7, 3},  {esc("[1;2;3H"), 1, 2}, {esc("[f"), 0, 0},  {esc("[8;30f"), 8, 30},
      {esc("[8f"), 5, 10},    {esc("[2147483647;0H"), 2147483647, 0},
      // A field that holds no number, or a number past 32 bits, voids the sequence.
      {esc("[>5;3H"), 5, 10}, {esc("[2147483648;3H"), 5, 10}, {esc("[99999999999A"), 5, 10},
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

TEST_F(CsiCommandTest, ErasingAndClearing) {
  const int kFilled = 40;
  const struct {
    std::string input;
    int erasedFrom, erasedTo;  // cells [from, to) of row 5 are blank afterwards
    bool wholeLayerClear;      // and the cursor is home
  } cases[] = {
      {esc("[2J"), 0, kFilled, true}, {esc("[2;1J"), 0, kFilled, true}, {esc("[*"), 0, kFilled, true},
      {esc("[J"), 0, 0, false},       {esc("[1J"), 0, 0, false},        {esc("[;J"), 0, 0, false},
      {esc("[1*"), 0, 0, false},      {esc("[K"), 10, kFilled, false},  {esc("[0K"), 10, kFilled, false},
      {esc("[2K"), 0, kFilled, false}, {esc("[1K"), 0, 0, false},       {esc("[;K"), 0, 0, false},
      {esc("[X"), 10, 11, false},     {esc("[3X"), 10, 13, false},      {esc("[0X"), 0, 0, false},
      {esc("[;X"), 0, 0, false},      {esc("[5;1X"), 10, 15, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset(5, 0);
    feed(std::string(kFilled, 'X') + "\r\n" + std::string(kFilled, 'X'));
    screen->move(5, 10);
    feed(c.input);
    PixelImage text = textLayer();
    EXPECT_EQ(screen->getCursorRow(), c.wholeLayerClear ? 0 : 5);
    EXPECT_EQ(screen->getCursorCol(), c.wholeLayerClear ? 0 : 10);
    for (int cell = 0; cell < kFilled; ++cell) {
      bool erased = cell >= c.erasedFrom && cell < c.erasedTo;
      EXPECT_EQ(inkedPixels(text, SDL_Rect{cell * 8, 5 * 16, 8, 16}) == 0, erased) << "cell " << cell;
    }
    EXPECT_EQ(inkedPixels(text, SDL_Rect{0, 6 * 16, kFilled * 8, 16}) == 0, c.wholeLayerClear) << "row 6";
  }
}

TEST_F(CsiCommandTest, Attributes) {
  const Pixel white{255, 255, 255, 255}, red{255, 0, 0, 255}, green{0, 255, 0, 255};
  const Pixel none{0, 0, 0, 0}, bgRed{192, 0, 0, 255}, bgBlue{64, 64, 192, 255};
  const std::string busy = esc("[1;4;5;7m") + esc("[32;41m");
  const struct {
    std::string setup, input;
    Pixel fg, bg;
    bool bold, underline, blink, reverse;
  } cases[] = {
      {"", esc("[1;31m"), red, none, true, false, false, false},
      {"", esc("[1;4;5;7m"), white, none, true, true, true, true},
      {"", esc("[32;44;4m"), green, bgBlue, false, true, false, false},
      {"", esc("[0;31m"), red, none, false, false, false, false},
      {"", esc("[31;0m"), white, none, false, false, false, false},
      {"", esc("[41;;1m"), white, bgRed, true, false, false, false},
      // Reset with no values; nothing at all for 5 or more values or none read.
      {busy, esc("[m"), white, none, false, false, false, false},
      {busy, esc("[0m"), white, none, false, false, false, false},
      {busy, esc("[0;0;0;0;0m"), green, bgRed, true, true, true, true},
      {busy, esc("[0;0;0;0;0;0;0m"), green, bgRed, true, true, true, true},
      {busy, esc("[;m"), green, bgRed, true, true, true, true},
      {busy, esc("[>0m"), green, bgRed, true, true, true, true},
      {busy, esc("[4294967296m"), green, bgRed, true, true, true, true},
      {busy, esc("[24;25;27;29m"), green, bgRed, false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.setup) + "| " + show(c.input));
    reset();
    feed(c.setup + c.input);
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
      esc("7"),    esc("8"),    esc("[s"),   esc("[u"),     esc("[2u"),  esc("[>5h"), esc("[>5l"),
      esc("[>1h"), esc("[>;5h"), esc("[5h"), esc("[l"),     esc("[L"),   esc("[3M"),  esc("[P"),
      esc("[g"),   esc("[5;5Q"), esc("[@"),  esc("[z"),     esc("[a"),   esc("[99999999999L"),
      esc("(0A"),  esc("(B"),   esc("$)"),   esc("A"),      esc("c"),    esc("="),    esc("#"),
  };
  for (const auto& input : inputs) {
    SCOPED_TRACE(show(input));
    reset();
    feed(esc("[1;4;5;7m") + "AB");
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
  for (const char* seq : {"", "[", "@", "(", "$", "x", "[;", "@;"}) parser->ParseEscapeSequence(seq);
  EXPECT_EQ(differences(before, snapshot()), "");
  parser->ParseEscapeSequence("[3;4H");
  EXPECT_EQ(screen->getCursorRow(), 3);
  EXPECT_EQ(screen->getCursorCol(), 4);
}

}  // namespace
}  // namespace parser_test
