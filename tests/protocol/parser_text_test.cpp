// Text, control bytes, Shift_JIS assembly and the sequence collector's states.
// Each case starts at row 5, column 10 in font 2 (8 x 16 cells) and says where
// the cursor ends, what the text layer must look like (the same as drawing a
// reference text from the same start), and the collector's state.
#include <iconv.h>

#include "parser_harness.h"

namespace parser_test {
namespace {

struct TextCase {
  const char* name;
  std::string input;
  int row, col;
  std::string drawnAs;  // the text layer must equal what these bytes draw; "" means nothing drawn
  int seqState;
  unsigned sjisLead;
};

class ParserTextTest : public ParserTest {
protected:
  void runCases(const std::vector<TextCase>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ": " + show(c.input));
      reset();
      feed(c.drawnAs);
      PixelImage expected = textLayer();
      reset();
      feed(c.input);
      EXPECT_EQ(screen->getCursorRow(), c.row);
      EXPECT_EQ(screen->getCursorCol(), c.col);
      EXPECT_EQ(parser->seqState, c.seqState);
      EXPECT_EQ(parser->sjisLead, c.sjisLead);
      PixelImage got = textLayer();
      EXPECT_TRUE(got.pixels == expected.pixels) << "text layer differs from drawing \"" << show(c.drawnAs) << "\"";
      if (!c.drawnAs.empty()) {
        EXPECT_GT(inkedPixels(got, SDL_Rect{0, 0, got.w, got.h}), 0) << "nothing visible was drawn";
      }
    }
  }
};

constexpr int T = EscSeqParser::Text;
constexpr int E = EscSeqParser::Escape;
constexpr int C = EscSeqParser::Collect;

TEST_F(ParserTextTest, AsciiAndControlBytes) {
  std::string ignoredControls;
  for (int c = 0x00; c < 0x20; ++c) {
    if (c != 0x0A && c != 0x0D && c != 0x1B) ignoredControls += static_cast<char>(c);
  }
  runCases({
      {"one character", "A", 5, 11, "A", T, 0},
      {"A then CR LF", "A\r\n", 6, 0, "A", T, 0},
      {"LF keeps the column", "\n", 6, 10, "", T, 0},
      {"CR returns to column 0", "\r", 5, 0, "", T, 0},
      {"BS HT VT FF do nothing", "\b\t\v\f", 5, 10, "", T, 0},
      {"other control bytes and DEL do nothing", ignoredControls + "\x7f", 5, 10, "", T, 0},
      {"text after ignored controls", "\x01" "A\x7f" "B", 5, 12, "AB", T, 0},
  });
}

TEST_F(ParserTextTest, ShiftJisCharacters) {
  runCases({
      {"full-width pair", "\x82\xA0", 5, 12, "\x82\xA0", T, 0},
      {"high lead byte pair", "\xE3\x40", 5, 12, "\xE3\x40", T, 0},
      {"lead then a non-trail byte draws only that byte", "\x82" "1", 5, 11, "1", T, 0},
      {"lead then ESC starts a sequence", "\x82\x1b", 5, 10, "", E, 0},
      {"lead then DEL", "\x82\x7f" "A", 5, 11, "A", T, 0},
      {"lead then 0xFD: the first is dropped, 0xFD waits", "\x82\xFD", 5, 10, "", T, 0xFD},
      {"half-width katakana", "\xB1", 5, 11, "\xB1", T, 0},
      {"lead 0x80 waits", "\x80", 5, 10, "", T, 0x80},
      {"lead 0xFF waits", "\xFF", 5, 10, "", T, 0xFF},
      {"a katakana byte after a lead is its trail", "\x82\xB1" "A", 5, 13, "\x82\xB1" "A", T, 0},
      {"lead 0xA0 swallows a katakana byte", "\xA0\xB1" "A", 5, 11, "A", T, 0},
      {"unassigned pair, then text converts again", "\x85\x40\x82\xA0\xB1", 5, 13, "\x82\xA0\xB1", T, 0},
      {"invalid lead pairs draw nothing", "\x80\x40\xA0\x41\xFF\xFC", 5, 10, "", T, 0},
  });
}

TEST_F(ParserTextTest, SequenceCollectorStates) {
  runCases({
      {"ESC alone", esc(""), 5, 10, "", E, 0},
      {"ESC [ opens collection", esc("["), 5, 10, "", C, 0},
      {"ESC [ ? 2 5 l: '?' abandons, rest is text", esc("[?25l"), 5, 13, "25l", T, 0},
      {"ESC ( 0 A is one ignored sequence", esc("(0A"), 5, 10, "", T, 0},
      {"ESC [ 1 LF: abandoned, LF acts", esc("[1\n"), 6, 10, "", T, 0},
      {"ESC [ 1 ESC [ 2 J: second sequence runs", "X" + esc("[1") + esc("[2J"), 0, 0, "", T, 0},
      {"ESC ESC restarts", esc(esc("[2;3H")), 2, 3, "", T, 0},
      {"ESC space is a complete ignored sequence", esc(" ") + "A", 5, 11, "A", T, 0},
      {"ESC DEL is a complete ignored sequence", esc("\x7f") + "A", 5, 11, "A", T, 0},
      {"space inside a sequence abandons it", esc("[5 H"), 5, 11, "H", T, 0},
      {"minus sign abandons", esc("[-1A"), 5, 12, "1A", T, 0},
      {"byte >= 0x80 abandons and is handled as text", esc("[5\x82\xA0"), 5, 12, "\x82\xA0", T, 0},
      {"katakana abandons ESC state", esc("\xB1"), 5, 11, "\xB1", T, 0},
      {"CR abandons ESC state", esc("\r") + "A", 5, 1, "\rA", T, 0},
      {"ESC @ @ is complete", esc("@@") + "A", 5, 11, "A", T, 0},
      {"ESC [ * is complete", esc("[5*") + "A", 5, 11, "A", T, 0},
      {"pending lead is dropped by ESC, sequence runs", "\x82" + esc("[1;2H"), 1, 2, "", T, 0},
  });
}

TEST_F(ParserTextTest, NothingIsDrawnForNonAsciiWithoutAConverter) {
  reset();
  ASSERT_NE(parser->converter, reinterpret_cast<iconv_t>(-1));
  iconv_close(parser->converter);
  parser->converter = reinterpret_cast<iconv_t>(-1);
  feed("\x82\xA0\xB1" "A\x88\x9F");
  EXPECT_EQ(screen->getCursorCol(), 11);
  EXPECT_EQ(parser->sjisLead, 0u);
  Snapshot withoutConverter = snapshot();

  reset();
  feed("A");
  Snapshot plain = snapshot();
  EXPECT_EQ(differences(withoutConverter, plain), "");
}

}  // namespace
}  // namespace parser_test
