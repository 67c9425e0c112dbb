// Kept characters: the screen draws exactly the same pixels with its glyph
// cache and the parser's conversion cache on as with both off, whatever the
// text, attributes, character size, position or cache pressure; and the
// cache itself keeps the most recently used entries within its bound.
#include <random>
#include <string>

#include "protocol/EscSeqParser.h"
#include "screen/GlyphCache.h"
#include "screen_fixture.h"

using namespace screen_test;

namespace {

const char kEsc = '\x1B';

// Attribute codes of every kind, including the alpha codes and reverse.
const char* const kCodes[] = {"0",  "1",  "4",  "5",  "7",  "8",  "16", "17", "18", "19", "20", "21",
                              "22", "23", "24", "25", "27", "29", "30", "31", "37", "39", "40", "41",
                              "42", "43", "44", "45", "46", "47", "49", "60", "61", "0;1;4;7"};

std::string csi(const std::string& body) { return std::string(1, kEsc) + "[" + body; }

// A stream of text with attribute changes, cursor jumps (also to the edges
// and beyond them), character-size changes, ASCII, half-width katakana,
// two-byte characters (a few unassigned), CR and LF.
std::string randomScreenStream(uint32_t seed, int pieces) {
  std::mt19937 rng(seed);
  std::string s;
  for (int i = 0; i < pieces; ++i) {
    switch (rng() % 10) {
      case 0:
        s += csi(std::string(kCodes[rng() % (sizeof kCodes / sizeof kCodes[0])]) + "m");
        break;
      case 1: {
        // Rows -1 .. 48, columns -2 .. 160: inside, at and past every edge.
        const int row = static_cast<int>(rng() % 50) - 1;
        const int col = static_cast<int>(rng() % 163) - 2;
        if (row < 0 || col < 0) {
          s += csi("H");
          s += csi(std::to_string(-row) + "A");
          s += csi(std::to_string(-col) + "D");
          s += csi(std::to_string(row < 0 ? 0 : row) + "B");
          s += csi(std::to_string(col < 0 ? 0 : col) + "C");
        } else {
          s += csi(std::to_string(row) + ";" + std::to_string(col) + "H");
        }
        break;
      }
      case 2:
        if (rng() % 8 == 0) s += std::string(1, kEsc) + "@" + std::to_string(4 + rng() % 3) + "Z";
        break;
      case 3:
        s += "\r\n";
        break;
      case 4:
      case 5: {
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k) s += static_cast<char>(0x20 + rng() % 95);
        break;
      }
      case 6:
        s += static_cast<char>(0xA1 + rng() % 63);
        break;
      default: {
        static const unsigned char kLeads[] = {0x81, 0x82, 0x83, 0x84, 0x85, 0x88, 0x89, 0x93, 0x9F, 0xE0, 0xEA};
        const unsigned char lead = kLeads[rng() % sizeof kLeads];
        unsigned char trail = static_cast<unsigned char>(0x40 + rng() % 0xBD);
        if (trail == 0x7F) ++trail;
        s += static_cast<char>(lead);
        s += static_cast<char>(trail);
        break;
      }
    }
  }
  return s;
}

class GlyphCacheEquivalenceTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    plain = makeScreen();
    ASSERT_TRUE(plain->initialized);
    plain->init_disp();
    plain->setGlyphCacheEnabled(false);
    ASSERT_TRUE(screen->isGlyphCacheEnabled());
    keptParser.reset(new EscSeqParser(screen.get()));
    plainParser.reset(new EscSeqParser(plain.get()));
    plainParser->setConversionCacheEnabled(false);
  }
  void TearDown() override {
    keptParser.reset();
    plainParser.reset();
    plain.reset();
    ScreenTest::TearDown();
  }

  void feedBoth(const std::string& bytes) {
    screen->stopUpdate();
    plain->stopUpdate();
    for (unsigned char c : bytes) {
      keptParser->ParseByte(c);
      plainParser->ParseByte(c);
    }
  }

  // Number of text-layer pixels that differ between the two screens.
  int differingPixels() const {
    const PixelImage a = readPixels(screen->getRenderer(), screen->getTextLayer());
    const PixelImage b = readPixels(plain->getRenderer(), plain->getTextLayer());
    if (a.w != b.w || a.h != b.h) return -1;
    int differ = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
      if (a.pixels[i] == b.pixels[i]) continue;
      if (differ++ < 3) {
        ADD_FAILURE() << "at (" << i % a.w << ", " << i / a.w << ") cached " << a.pixels[i] << ", uncached "
                      << b.pixels[i];
      }
    }
    return differ;
  }

  std::unique_ptr<edispSDL> plain;
  std::unique_ptr<EscSeqParser> keptParser;
  std::unique_ptr<EscSeqParser> plainParser;
};

TEST_F(GlyphCacheEquivalenceTest, RandomTextDrawsIdenticalPixels) {
  for (int charSize = 0; charSize < 3; ++charSize) {
    SCOPED_TRACE("character size " + std::to_string(charSize));
    feedBoth(std::string(1, kEsc) + "@" + std::to_string(4 + charSize) + "Z");
    for (uint32_t round = 0; round < 6; ++round) {
      feedBoth(randomScreenStream(charSize * 100 + round, 400));
      ASSERT_EQ(differingPixels(), 0) << "after round " << round;
      EXPECT_EQ(screen->getCursorRow(), plain->getCursorRow());
      EXPECT_EQ(screen->getCursorCol(), plain->getCursorCol());
    }
  }
}

TEST_F(GlyphCacheEquivalenceTest, BoldReachesIntoTheNextCellAsWithoutCache) {
  // Bold glyphs drawn over other text, at the right edge and over coloured
  // paper: the column past each cell gets the same ink.
  for (const char* setup : {"0;1", "0;1;4", "0;1;41", "0;1;7", "0;1;16", "0;1;60;47"}) {
    SCOPED_TRACE(setup);
    feedBoth(csi("0;47m") + csi("3;0H") + std::string(80, '#'));
    feedBoth(csi(std::string(setup) + "m") + csi("3;0H") + "MWHm@" + "\x82\xA0\x88\x9F" + csi("3;78H") + "WW");
    ASSERT_EQ(differingPixels(), 0);
  }
}

TEST_F(GlyphCacheEquivalenceTest, EvictedCellsAreDrawnAgainCorrectly) {
  // More distinct cells than the cache holds: characters of two-byte rows
  // in many colour pairs, then the earliest ones again.
  std::string many;
  int distinct = 0;
  for (const char* style : {"0;", "0;4;"}) {
    for (int fg = 30; fg <= 37; ++fg) {
    for (int bg = 40; bg <= 47; ++bg) {
      many += csi(style + std::to_string(fg) + ";" + std::to_string(bg) + "m") + csi("H");
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        many += "\x88";
        many += static_cast<char>(trail);
        ++distinct;
        if (trail % 40 == 0) many += "\r\n";
      }
    }
    }
  }
  ASSERT_GT(distinct, 16384);
  feedBoth(many);
  ASSERT_EQ(differingPixels(), 0);
  feedBoth(csi("0;30;40m") + csi("5;5H") + "\x88\x40\x88\x41 AB" + csi("0;31;40m") + "\x88\x42");
  EXPECT_EQ(differingPixels(), 0);
}

TEST_F(GlyphCacheEquivalenceTest, ErasingAmongKeptCharactersDrawsAsWithoutCache) {
  // Erases and clears between characters on the same and on distant rows,
  // with presentation held back, then shown: nothing drawn before an erase
  // comes back after it, and nothing erased hides later characters.
  const std::string erases[] = {csi("K"), csi("0K"), csi("2K"), csi("X"), csi("3X"), csi("2J")};
  for (uint32_t seed = 0; seed < 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::string s = std::string(1, kEsc) + "@" + std::to_string(4 + seed % 3) + "Z";
    for (int i = 0; i < 60; ++i) {
      s += randomScreenStream(seed * 1000 + i, 12);
      const uint32_t pick = rng() % 12;
      s += erases[pick < 10 ? pick % 5 : 5];
    }
    feedBoth(s);
    ASSERT_EQ(differingPixels(), 0);
  }
  // Characters on rows far apart, an erase on a row between them, then
  // characters again on the erased row and shown.
  feedBoth(std::string(1, kEsc) + "@6Z" + csi("0;33;44m") + csi("0;0H") + "\x88\x9F" + csi("20;10H") + "\x82\xA0");
  feedBoth(csi("10;0H") + csi("0;41m") + csi("2K") + csi("10;4H") + "\x83\x41Z" + csi("0;10H") + "ab" + csi("1;0H"));
  EXPECT_EQ(differingPixels(), 0);
  screen->resumeUpdate();
  plain->resumeUpdate();
  const PixelImage a = readPixels(screen->getRenderer(), nullptr);
  const PixelImage b = readPixels(plain->getRenderer(), nullptr);
  EXPECT_TRUE(a.pixels == b.pixels) << "the presented windows differ";
}

TEST_F(GlyphCacheEquivalenceTest, SwitchingTheCacheOffAndOnKeepsDrawingTheSame) {
  feedBoth(randomScreenStream(7, 300));
  screen->setGlyphCacheEnabled(false);
  feedBoth(randomScreenStream(8, 300));
  screen->setGlyphCacheEnabled(true);
  feedBoth(randomScreenStream(9, 300));
  EXPECT_EQ(differingPixels(), 0);
}

// ---- The cache's bound and order ----

GlyphCache::Glyph glyphOfWidth(int w) { return GlyphCache::Glyph{nullptr, w, 0, {}}; }

TEST(GlyphCacheTest, KeepsEntriesApartByFontStyleAndText) {
  GlyphCache cache(8, false);
  EXPECT_EQ(cache.insert(0, 1, "A", 1, glyphOfWidth(1)), 0);
  EXPECT_GE(cache.insert(1, 1, "A", 1, glyphOfWidth(2)), 0);
  EXPECT_GE(cache.insert(0, 2, "A", 1, glyphOfWidth(3)), 0);
  EXPECT_GE(cache.insert(0, 1, "AB", 2, glyphOfWidth(4)), 0);
  EXPECT_EQ(cache.insert(0, 1, "A", 1, glyphOfWidth(9)), -1) << "already present";
  EXPECT_EQ(cache.insert(0, 1, "123456789", 9, glyphOfWidth(9)), -1) << "too long to keep";
  ASSERT_NE(cache.find(0, 1, "A", 1, nullptr), nullptr);
  EXPECT_EQ(cache.find(0, 1, "A", 1, nullptr)->width, 1);
  EXPECT_EQ(cache.find(1, 1, "A", 1, nullptr)->width, 2);
  EXPECT_EQ(cache.find(0, 2, "A", 1, nullptr)->width, 3);
  EXPECT_EQ(cache.find(0, 1, "AB", 2, nullptr)->width, 4);
  EXPECT_EQ(cache.find(0, 1, "B", 1, nullptr), nullptr);
  EXPECT_EQ(cache.size(), 4u);
}

TEST(GlyphCacheTest, DropsTheLeastRecentlyUsedBeyondItsCapacity) {
  const int capacity = 64;
  GlyphCache cache(capacity, false);
  std::string keys[3 * capacity];
  for (int i = 0; i < 3 * capacity; ++i) keys[i] = "k" + std::to_string(i);
  for (int i = 0; i < capacity; ++i) ASSERT_EQ(cache.insert(0, 0, keys[i].data(), keys[i].size(), glyphOfWidth(i)), i);
  // Use the even ones, then add half a capacity more: the odd ones go first.
  for (int i = 0; i < capacity; i += 2) ASSERT_NE(cache.find(0, 0, keys[i].data(), keys[i].size(), nullptr), nullptr);
  for (int i = capacity; i < capacity + capacity / 2; ++i) {
    const int slot = cache.insert(0, 0, keys[i].data(), keys[i].size(), glyphOfWidth(i));
    ASSERT_GE(slot, 0);
    ASSERT_LT(slot, capacity);
  }
  EXPECT_EQ(cache.size(), static_cast<size_t>(capacity));
  for (int i = 0; i < capacity; ++i) {
    const GlyphCache::Glyph* g = cache.find(0, 0, keys[i].data(), keys[i].size(), nullptr);
    if (i % 2 == 0) {
      ASSERT_NE(g, nullptr) << keys[i];
      EXPECT_EQ(g->width, i);
    } else {
      EXPECT_EQ(g, nullptr) << keys[i];
    }
  }
  // Churn through many more keys: every survivor still answers with its own entry.
  for (int i = capacity + capacity / 2; i < 3 * capacity; ++i) {
    ASSERT_GE(cache.insert(0, 0, keys[i].data(), keys[i].size(), glyphOfWidth(i)), 0);
  }
  int found = 0;
  for (int i = 0; i < 3 * capacity; ++i) {
    const GlyphCache::Glyph* g = cache.find(0, 0, keys[i].data(), keys[i].size(), nullptr);
    if (g) {
      ++found;
      EXPECT_EQ(g->width, i);
    }
  }
  EXPECT_EQ(found, capacity);
  for (int i = 2 * capacity; i < 3 * capacity; ++i) {
    EXPECT_NE(cache.find(0, 0, keys[i].data(), keys[i].size(), nullptr), nullptr) << "newest kept: " << keys[i];
  }
}

}  // namespace
