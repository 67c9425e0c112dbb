// The parser over long and hostile streams: the sequence length bound,
// bursts split anywhere, and a large random stream into a real screen.
#include <algorithm>
#include <random>

#include "parser_harness.h"

namespace parser_test {
namespace {

class ParserStreamTest : public ParserTest {};

constexpr std::size_t kMax = EscSeqParser::kMaxSequenceLength;

TEST_F(ParserStreamTest, SequenceAtTheLengthBoundRunsOneByteMoreIsAbandoned) {
  // Introducer, zeros, "5;7" and the final byte make exactly kMax bytes.
  reset();
  feed(esc("[" + std::string(kMax - 5, '0') + "5;7H"));
  EXPECT_EQ(screen->getCursorRow(), 5);
  EXPECT_EQ(screen->getCursorCol(), 7);
  EXPECT_EQ(parser->seqState, EscSeqParser::Text);

  // One byte too long: the final byte does not fit and is dropped.
  reset();
  feed(esc("[" + std::string(kMax - 4, '0') + "5;7H"));
  EXPECT_EQ(parser->seqState, EscSeqParser::Text);
  EXPECT_EQ(screen->getCursorCol(), 10);
  EXPECT_EQ(inkedPixels(textLayer(), SDL_Rect{0, 0, 640, 384}), 0);
  feed("A");
  EXPECT_EQ(screen->getCursorCol(), 11);
}

TEST_F(ParserStreamTest, EndlessParameterRunStaysBoundedAndTextFollows) {
  reset(0, 0);
  std::size_t capacity = parser->seqBuffer.capacity();
  ASSERT_GE(capacity, kMax);
  screen->stopUpdate();
  parser->ParseByte(0x1B);
  parser->ParseByte('[');
  std::size_t longest = 0;
  for (int i = 0; i < 100000; ++i) {
    parser->ParseByte('1');
    longest = std::max(longest, parser->seqBuffer.size());
  }
  EXPECT_LE(longest, kMax);
  EXPECT_EQ(parser->seqBuffer.capacity(), capacity);
  EXPECT_EQ(parser->seqState, EscSeqParser::Text);
  // The digits after the dropped one are text; a line later, text draws
  // where it should.
  feed("\r\nAB" + esc("[3;4H") + "C");
  screen->resumeUpdate();
  EXPECT_EQ(screen->getCursorRow(), 3);
  EXPECT_EQ(screen->getCursorCol(), 5);
  PixelImage text = textLayer();
  EXPECT_GT(inkedPixels(text, SDL_Rect{0, 16, 16, 16}), 0) << "AB on row 1 missing";
  EXPECT_GT(inkedPixels(text, SDL_Rect{32, 48, 8, 16}), 0) << "C at row 3, column 4 missing";
}

TEST_F(ParserStreamTest, BurstsSplitAnywhereGiveTheSameScreen) {
  const std::string script = "Hi" + esc("[3;4H") + "AB\x82\xA0\xB1" + esc("[1;31;44m") + "C" +
                             esc("@0;1;20;10;5;5;31744z") + esc("@3;2;1;50;50;20;10;992z") + esc("@31Z") +
                             esc("[2;0H") + "line\r\nnext" + esc("[2D") + esc("[K") + esc("@1;2;3;4V") +
                             esc("[?5h") + esc("(B") + "\x88\x9F" + esc("[m") + esc("[6;1H") + "XYZ" +
                             esc("[3D") + esc("[1X") + esc("7") + esc("8");
  auto run = [&](std::size_t split1, std::size_t split2) {
    reset(0, 0);
    unsigned long presents = screen->getPresentCount();
    std::size_t cuts[] = {0, split1, split2, script.size()};
    for (int i = 0; i < 3; ++i) {
      screen->stopUpdate();
      feed(script.substr(cuts[i], cuts[i + 1] - cuts[i]));
      screen->resumeUpdate();
    }
    EXPECT_EQ(screen->getPresentCount(), presents + 3) << "one presentation per burst";
    return snapshot();
  };
  Snapshot whole = run(script.size(), script.size());
  EXPECT_EQ(whole.bgIndex, 1);
  EXPECT_EQ(whole.fwVersion, 0x01020304u);
  EXPECT_EQ(whole.row, 6);
  EXPECT_EQ(whole.col, 1);
  for (std::size_t a = 1; a < script.size(); a += 3) {
    std::size_t b = std::min(script.size(), a + 1 + (a * 7) % 11);
    SCOPED_TRACE("bursts split at " + std::to_string(a) + " and " + std::to_string(b));
    EXPECT_EQ(differences(run(a, b), whole), "");
  }
}

// A stream for the random test: mostly whole and cut escape sequences (which
// draw nothing, so the stream's size goes to the collector and the command
// paths rather than to glyph rendering), mixed with random bytes, Shift_JIS
// pairs, katakana, printable runs and line breaks.
class StreamMaker {
public:
  explicit StreamMaker(uint32_t seed) : rng_(seed) {}

  void append(std::string& out) {
    const int kind = pick(20);
    if (kind < 2) {
      for (int n = 1 + pick(16); n > 0; --n) out += byte(pick(256));
    } else if (kind == 2) {
      out += pick(2) ? std::string{byte(0x81 + pick(0x1F)), byte(0x40 + pick(0xBD))} : std::string(1, byte(0xA1 + pick(0x3F)));
    } else if (kind == 3) {
      out += pick(2) ? "\r\n" : "\n";
    } else if (kind == 4) {
      for (int n = 1 + pick(4); n > 0; --n) out += byte(0x20 + pick(0x5F));
    } else {
      appendSequence(out);
    }
  }

private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  static char byte(int b) { return static_cast<char>(b); }

  std::string number() {
    const int kind = pick(20);
    if (kind == 0) return std::to_string(rng_());  // often past 32 bits' signed range
    if (kind == 1) return std::to_string(pick(100000));
    return kind == 2 ? "" : std::to_string(pick(700));
  }

  void appendSequence(std::string& out) {
    static const int kSelectors[] = {0, 1, 2, 3, 4, 5, 0, 30, 33, 70, 73, 6};  // shapes, screen control
    std::string seq = "\x1b";
    const int kind = pick(6);
    const bool unit = kind <= 2;
    if (kind == 0) {
      seq += byte(0x20 + pick(0x60));
    } else {
      seq += unit ? '@' : '[';
      seq += unit && pick(2) ? std::to_string(kSelectors[pick(12)]) : !unit && pick(8) == 0 ? ">5" : number();
      for (int n = pick(9); n > 0; --n) seq += ";" + number();
      if (pick(16) == 0) seq += byte(0x20 + pick(0x60));  // a stray byte
      seq += unit ? "IVZzIZzy"[pick(8)] : "ABCDHfJKXmsuhl*LMPgQ@"[pick(21)];
    }
    if (pick(12) == 0) seq.resize(static_cast<std::size_t>(pick(static_cast<int>(seq.size())) + 1));
    out += seq;
  }

  std::mt19937 rng_;
};

// Missing pictures are logged; keeps those lines quiet as the program does.
struct QuietLog {
  SDL_LogPriority saved = SDL_LogGetPriority(SDL_LOG_CATEGORY_APPLICATION);
  QuietLog() { SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL); }
  ~QuietLog() { SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, saved); }
};

TEST_F(ParserStreamTest, RandomStreamNeitherCrashesNorHangs) {
  const std::size_t kStreamBytes = 10u * 1024 * 1024;
  reset(0, 0);
  QuietLog quiet;
  std::size_t capacity = parser->seqBuffer.capacity();
  StreamMaker maker(0x7A51D15u);
  std::mt19937 burstRng(12345);
  std::string burst;
  std::size_t fed = 0;
  while (fed < kStreamBytes) {
    burst.clear();
    std::size_t want = 1 + burstRng() % 8192;
    while (burst.size() < want) maker.append(burst);
    screen->stopUpdate();
    feed(burst);
    screen->resumeUpdate();
    fed += burst.size();
    ASSERT_LE(parser->seqBuffer.size(), kMax);
    ASSERT_EQ(parser->seqBuffer.capacity(), capacity);
    ASSERT_TRUE(parser->sjisLead == 0 || parser->seqState == EscSeqParser::Text);
  }

  // The same parser is still a working terminal afterwards.
  screen->set_charsize(2);
  feed("\r" + esc("[2;3H") + "ok");
  EXPECT_EQ(screen->getCursorRow(), 2);
  EXPECT_EQ(screen->getCursorCol(), 5);
}

}  // namespace
}  // namespace parser_test
