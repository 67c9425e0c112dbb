// The screen's three fonts, rendered the way the screen renders them:
// SDL_ttf solid mode at the point size of each character size.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kFontDir = std::string(TAVIX_BUILD_DIR) + "fonts/";
const std::string kSamples = std::string(TAVIX_BUILD_DIR) + "font_samples.txt";
const std::string kBuilder = std::string(TAVIX_SOURCE_DIR) + "tools/build_fonts.py";

struct FontUse {
  const char *family, *file;
  int pointSize, cellWidth, cellHeight;
};

const FontUse kMPlus = {"JF-Dot-MPlus10", "JF-Dot-MPlus10.ttf", 10, 5, 12};
const FontUse kShinonome = {"JF-Dot-Shinonome16", "JF-Dot-Shinonome16.ttf", 16, 8, 16};
const FontUse kMisaki = {"misaki_gothic", "misaki_gothic.ttf", 16, 8, 16};

// A rendered string as rows of '#' (ink) and '.' (background).
struct Rendering {
  int width = 0, height = 0;
  std::vector<std::string> rows;
};

class FontTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(TTF_Init(), 0) << TTF_GetError(); }
  static void TearDownTestSuite() {
    for (auto& entry : open_) TTF_CloseFont(entry.second);
    open_.clear();
    TTF_Quit();
  }

  static TTF_Font* font(const FontUse& use) {
    auto it = open_.find(use.file);
    if (it != open_.end()) return it->second;
    return open_[use.file] = TTF_OpenFont((kFontDir + use.file).c_str(), use.pointSize);
  }

  // Renders text as the screen does; an empty Rendering when SDL_ttf
  // gives no surface.
  static Rendering render(const FontUse& use, const std::string& text) {
    Rendering r;
    TTF_Font* f = font(use);
    if (!f) return r;
    SDL_Surface* s = TTF_RenderUTF8_Solid(f, text.c_str(), SDL_Color{255, 255, 255, 255});
    if (!s) return r;
    SDL_LockSurface(s);
    r.width = s->w;
    r.height = s->h;
    const auto* pixels = static_cast<const Uint8*>(s->pixels);
    for (int y = 0; y < s->h; ++y) {
      std::string row;
      for (int x = 0; x < s->w; ++x) row += pixels[y * s->pitch + x] ? '#' : '.';
      r.rows.push_back(row);
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    return r;
  }

  static std::map<std::string, TTF_Font*> open_;
};

std::map<std::string, TTF_Font*> FontTest::open_;

// UTF-8 of a code point of the Basic Multilingual Plane.
std::string utf8(Uint32 cp) {
  auto b = [](Uint32 v) { return static_cast<char>(v); };
  if (cp < 0x80) return std::string(1, b(cp));
  if (cp < 0x800) return {b(0xC0 | cp >> 6), b(0x80 | (cp & 0x3F))};
  return {b(0xE0 | cp >> 12), b(0x80 | (cp >> 6 & 0x3F)), b(0x80 | (cp & 0x3F))};
}

TEST_F(FontTest, FontsOpenAndDotFontsCarryTheirFamilyNames) {
  ASSERT_NE(font(kMisaki), nullptr) << TTF_GetError();
  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    TTF_Font* f = font(*use);
    ASSERT_NE(f, nullptr) << use->file << ": " << TTF_GetError();
    const char* family = TTF_FontFaceFamilyName(f);
    ASSERT_NE(family, nullptr);
    EXPECT_STREQ(family, use->family);
  }
}

TEST_F(FontTest, GlyphsFillOneCellOrTwoAtTheCellHeight) {
  const char* kHalf[] = {"A", "g", "_", "|", "~", " ", "\xef\xbd\xb1" /* ｱ */, "\xef\xbe\x9f" /* ﾟ */};
  const char* kFull[] = {
      "\xe3\x81\x82",  // あ
      "\xe6\xbc\xa2",  // 漢
      "\xe3\x80\x80",  // ideographic space
      "\xe3\x80\x8c",  // 「
      "\xe2\x94\x82",  // │ (box drawing reaches the cell edges)
      "\xe4\xb8\x82",  // 丂, not in the dot fonts: drawn as a two-cell box
  };
  for (const FontUse* use : {&kMPlus, &kShinonome, &kMisaki}) {
    SCOPED_TRACE(use->file);
    const bool dot = use != &kMisaki;
    for (const char* text : kHalf) {
      Rendering r = render(*use, text);
      EXPECT_EQ(r.height, use->cellHeight) << text;
      EXPECT_TRUE(!dot || r.width == use->cellWidth) << text << " is " << r.width << " wide";
    }
    for (const char* text : kFull) {
      Rendering r = render(*use, text);
      EXPECT_EQ(r.height, use->cellHeight) << text;
      EXPECT_TRUE(!dot || r.width == 2 * use->cellWidth) << text << " is " << r.width << " wide";
    }
    if (!dot) continue;
    EXPECT_EQ(render(*use, "A\xe6\xbc\xa2\xef\xbd\xb1 B").width, 6 * use->cellWidth);
    ASSERT_NE(font(*use), nullptr);
    EXPECT_FALSE(TTF_GlyphIsProvided32(font(*use), 0x4E02));
  }
  EXPECT_EQ(render(kMisaki, "A").width, 8);
  EXPECT_EQ(render(kMisaki, "\xe3\x81\x82").width, 16);
}

// Shift_JIS bytes of JIS X 0208 row and cell (1..94 each).
std::string sjisBytes(int row, int cell) {
  int j1 = row + 0x20, j2 = cell + 0x20;
  int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
  int s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
  return std::string{static_cast<char>(s1), static_cast<char>(s2)};
}

TEST_F(FontTest, EveryCharacterTheShiftJisDecoderYieldsIsProvided) {
  // The text the screen draws comes from glibc's Shift_JIS converter: each
  // double-byte character it accepts must be in both dot fonts, as must
  // ASCII and the half-width katakana.
  iconv_t cd = iconv_open("UTF-32LE", "sjis");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::vector<Uint32> decoded;
  for (int row = 1; row <= 94; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      std::string in = sjisBytes(row, cell);
      Uint32 cp = 0;
      char *inPtr = &in[0], *outPtr = reinterpret_cast<char*>(&cp);
      size_t inLeft = in.size(), outLeft = sizeof cp;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 0) {
        decoded.push_back(cp);
      }
    }
  }
  iconv_close(cd);
  EXPECT_EQ(decoded.size(), 6879u);  // the whole of JIS X 0208
  for (Uint32 cp = 0x20; cp <= 0x7E; ++cp) decoded.push_back(cp);
  for (Uint32 cp = 0xFF61; cp <= 0xFF9F; ++cp) decoded.push_back(cp);

  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    TTF_Font* f = font(*use);
    ASSERT_NE(f, nullptr);
    int missing = 0;
    for (Uint32 cp : decoded) {
      if (!TTF_GlyphIsProvided32(f, cp) && ++missing <= 5) {
        ADD_FAILURE() << use->file << " lacks U+" << std::hex << cp;
      }
    }
    EXPECT_EQ(missing, 0) << use->file;
  }
}

TEST_F(FontTest, AlternativeCodePointsShareTheirGlyph) {
  const struct {
    Uint32 primary, alias;
  } pairs[] = {
      {0x301C, 0xFF5E},  // wave dash, fullwidth tilde
      {0x2212, 0xFF0D},  // minus, fullwidth hyphen-minus
      {0x00A2, 0xFFE0},  // cent
      {0x005C, 0x00A5},  // JIS X 0201 0x5C is drawn as a yen sign
      {0x007E, 0x203E},  // JIS X 0201 0x7E is drawn as an overline
  };
  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    for (const auto& p : pairs) {
      Rendering a = render(*use, utf8(p.primary));
      Rendering b = render(*use, utf8(p.alias));
      EXPECT_GT(a.width, 0);
      EXPECT_EQ(a.rows, b.rows) << use->file << std::hex << " U+" << p.alias;
    }
  }
}

// Samples written by the font builder: the exact pixels each listed string
// must show, taken from the bitmap fonts. A sample is a line
// "sample <family> <code points in hex...> <width> <height>" and its rows.
TEST_F(FontTest, GlyphsRenderPixelForPixelAsTheBitmapFonts) {
  std::map<std::string, int> halfCount, fullCount;
  std::ifstream in(kSamples);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("sample ", 0) != 0) continue;
    std::istringstream words(line.substr(7));
    std::string family, text, word;
    std::vector<std::string> fields;
    words >> family;
    while (words >> word) fields.push_back(word);
    ASSERT_GE(fields.size(), 3u) << line;
    Rendering expected;
    expected.width = std::stoi(fields[fields.size() - 2]);
    expected.height = std::stoi(fields[fields.size() - 1]);
    bool fullWidth = false;
    for (size_t i = 0; i + 2 < fields.size(); ++i) {
      Uint32 cp = static_cast<Uint32>(std::stoul(fields[i], nullptr, 16));
      text += utf8(cp);
      // Half-width: ASCII and the JIS X 0201 katakana; the rest is JIS X 0208.
      fullWidth = fullWidth || (cp > 0x7E && !(cp >= 0xFF61 && cp <= 0xFF9F));
    }
    for (int y = 0; y < expected.height && std::getline(in, line); ++y) expected.rows.push_back(line);

    const FontUse* use = family == kMPlus.family ? &kMPlus : family == kShinonome.family ? &kShinonome : nullptr;
    ASSERT_NE(use, nullptr) << family;
    Rendering got = render(*use, text);
    EXPECT_EQ(got.width, expected.width) << family << " \"" << text << "\"";
    EXPECT_EQ(got.height, expected.height) << family << " \"" << text << "\"";
    EXPECT_EQ(got.rows, expected.rows) << family << " \"" << text << "\"";
    ++(fullWidth ? fullCount : halfCount)[family];
  }
  // The comparison means something only if both kinds of glyph were there.
  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    EXPECT_GE(halfCount[use->family], 5) << use->family;
    EXPECT_GE(fullCount[use->family], 50) << use->family;
  }
}

TEST_F(FontTest, LetterAHasTheBitmapShape) {
  // Independent of the samples file: the M+ and Shinonome "A" as drawn by
  // their authors, placed in the cell.
  const std::vector<std::string> mplusA = {
      ".....", ".....", ".....", ".##..", "#..#.", "#..#.",
      "####.", "#..#.", "#..#.", "#..#.", ".....", "....."};
  const std::vector<std::string> shinonomeA = {
      "........", "...#....", "...#....", "..#.#...", "..#.#...", "..#.#...",
      ".#...#..", ".#...#..", ".#...#..", ".#####..", "#.....#.", "#.....#.",
      "#.....#.", "#.....#.", "........", "........"};
  EXPECT_EQ(render(kMPlus, "A").rows, mplusA);
  EXPECT_EQ(render(kShinonome, "A").rows, shinonomeA);
}

// The builder itself: output is byte-for-byte repeatable, and a missing
// source font fails the build without leaving a font behind.
class FontBuilderTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tavix-fonts-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = std::string(tmpl) + "/";
  }
  void TearDown() override {
    for (const char* name : {"JF-Dot-MPlus10.ttf", "JF-Dot-Shinonome16.ttf", "samples.txt"}) unlink((dir + name).c_str());
    rmdir(dir.c_str());
  }
  static int runBuilder(const std::string& args) {
    int status = std::system(("/usr/bin/python3 '" + kBuilder + "' " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }
  std::string dir;
};

TEST_F(FontBuilderTest, RebuildIsByteIdentical) {
  ASSERT_EQ(runBuilder("--out '" + dir + "' --samples '" + dir + "samples.txt'"), 0);
  for (const char* name : {"JF-Dot-MPlus10.ttf", "JF-Dot-Shinonome16.ttf"}) {
    std::string fresh = readFile(dir + name);
    EXPECT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == readFile(kFontDir + name)) << name << " differs between builds";
  }
  EXPECT_TRUE(readFile(dir + "samples.txt") == readFile(kSamples));
}

TEST_F(FontBuilderTest, MissingSourceFontFailsWithoutOutput) {
  EXPECT_EQ(runBuilder("--out '" + dir + "' --source-dir '" + dir + "nowhere'"), 1);
  EXPECT_NE(access((dir + "JF-Dot-MPlus10.ttf").c_str(), F_OK), 0);
  EXPECT_NE(access((dir + "JF-Dot-Shinonome16.ttf").c_str(), F_OK), 0);
}

}  // namespace
