// The screen's three fonts, rendered the way the screen renders them:
// SDL_ttf solid mode at the point size of each character size.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <iconv.h>
#include <sys/stat.h>
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
  const char* family;
  const char* file;
  int pointSize;
  int cellWidth;
  int cellHeight;
};

const FontUse kMPlus = {"JF-Dot-MPlus10", "JF-Dot-MPlus10.ttf", 10, 5, 12};
const FontUse kShinonome = {"JF-Dot-Shinonome16", "JF-Dot-Shinonome16.ttf", 16, 8, 16};
const FontUse kMisaki = {"misaki_gothic", "misaki_gothic.ttf", 16, 8, 16};

// A rendered string as rows of '#' (ink) and '.' (background).
struct Rendering {
  int width = 0;
  int height = 0;
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
    TTF_Font* f = TTF_OpenFont((kFontDir + use.file).c_str(), use.pointSize);
    open_[use.file] = f;
    return f;
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
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
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

struct WidthCase {
  const FontUse* use;
  const char* text;
  int width;
};

TEST_F(FontTest, HalfWidthGlyphsFillOneCellAndFullWidthTwo) {
  const WidthCase cases[] = {
      {&kMPlus, "A", 5},
      {&kMPlus, "g", 5},
      {&kMPlus, " ", 5},
      {&kMPlus, "\xef\xbd\xb1", 5},           // ｱ U+FF71
      {&kMPlus, "\xef\xbe\x9f", 5},           // ﾟ U+FF9F
      {&kMPlus, "\xe3\x81\x82", 10},          // あ
      {&kMPlus, "\xe6\xbc\xa2", 10},          // 漢
      {&kMPlus, "\xe3\x80\x80", 10},          // ideographic space
      {&kMPlus, "A\xe6\xbc\xa2\xef\xbd\xb1 B", 30},
      {&kShinonome, "A", 8},
      {&kShinonome, "g", 8},
      {&kShinonome, " ", 8},
      {&kShinonome, "\xef\xbd\xb1", 8},
      {&kShinonome, "\xef\xbe\x9f", 8},
      {&kShinonome, "\xe3\x81\x82", 16},
      {&kShinonome, "\xe6\xbc\xa2", 16},
      {&kShinonome, "\xe3\x80\x80", 16},
      {&kShinonome, "A\xe6\xbc\xa2\xef\xbd\xb1 B", 48},
      {&kMisaki, "A", 8},
      {&kMisaki, "\xe3\x81\x82", 16},
  };
  for (const WidthCase& c : cases) {
    Rendering r = render(*c.use, c.text);
    EXPECT_EQ(r.width, c.width) << c.use->file << " \"" << c.text << "\"";
  }
}

TEST_F(FontTest, EverySurfaceOfAFontHasTheCellHeight) {
  const char* texts[] = {
      "A", "g", "_", "|", "~", " ", "Ag|_",
      "\xef\xbd\xb1",                  // ｱ
      "\xe3\x81\x82",                  // あ
      "\xe6\xbc\xa2",                  // 漢
      "\xe3\x80\x8c\xe3\x80\x8d",      // 「」
      "\xe2\x94\x80\xe2\x94\x82",      // ─│ (box drawing reaches the cell edges)
      "\xe4\xb8\x82",                  // 丂, not in the font
  };
  for (const FontUse* use : {&kMPlus, &kShinonome, &kMisaki}) {
    for (const char* text : texts) {
      Rendering r = render(*use, text);
      EXPECT_EQ(r.height, use->cellHeight) << use->file << " \"" << text << "\"";
    }
  }
}

TEST_F(FontTest, CharactersOutsideTheFontTakeTwoCells) {
  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    TTF_Font* f = font(*use);
    ASSERT_NE(f, nullptr);
    ASSERT_FALSE(TTF_GlyphIsProvided32(f, 0x4E02));
    Rendering r = render(*use, "\xe4\xb8\x82");
    EXPECT_EQ(r.width, 2 * use->cellWidth) << use->file;
    EXPECT_EQ(r.height, use->cellHeight) << use->file;
  }
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
      char* inPtr = &in[0];
      size_t inLeft = in.size();
      Uint32 cp = 0;
      char* outPtr = reinterpret_cast<char*>(&cp);
      size_t outLeft = sizeof cp;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
          outLeft == 0) {
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
  struct Pair {
    Uint32 primary;
    Uint32 alias;
  };
  const Pair pairs[] = {
      {0x301C, 0xFF5E},  // wave dash, fullwidth tilde
      {0x2212, 0xFF0D},  // minus, fullwidth hyphen-minus
      {0x00A2, 0xFFE0},  // cent
      {0x005C, 0x00A5},  // JIS X 0201 0x5C is drawn as a yen sign
      {0x007E, 0x203E},  // JIS X 0201 0x7E is drawn as an overline
  };
  for (const FontUse* use : {&kMPlus, &kShinonome}) {
    for (const Pair& p : pairs) {
      Rendering a = render(*use, utf8(p.primary));
      Rendering b = render(*use, utf8(p.alias));
      EXPECT_GT(a.width, 0);
      EXPECT_EQ(a.rows, b.rows) << use->file << std::hex << " U+" << p.alias;
    }
  }
}

// Samples written by the font builder: the exact pixels each listed string
// must show, taken from the bitmap fonts.
struct Sample {
  std::string family;
  std::string text;
  bool fullWidth = false;
  Rendering expected;
};

std::vector<Sample> readSamples() {
  std::vector<Sample> samples;
  std::ifstream in(kSamples);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("sample ", 0) != 0) continue;
    std::istringstream words(line.substr(7));
    Sample s;
    words >> s.family;
    std::vector<std::string> fields;
    std::string word;
    while (words >> word) fields.push_back(word);
    if (fields.size() < 3) break;
    s.expected.width = std::stoi(fields[fields.size() - 2]);
    s.expected.height = std::stoi(fields[fields.size() - 1]);
    for (size_t i = 0; i + 2 < fields.size(); ++i) {
      Uint32 cp = static_cast<Uint32>(std::stoul(fields[i], nullptr, 16));
      s.text += utf8(cp);
      // Half-width: ASCII and the JIS X 0201 katakana; everything else
      // comes from the JIS X 0208 font.
      if (cp > 0x7E && !(cp >= 0xFF61 && cp <= 0xFF9F)) s.fullWidth = true;
    }
    for (int y = 0; y < s.expected.height && std::getline(in, line); ++y) {
      s.expected.rows.push_back(line);
    }
    samples.push_back(s);
  }
  return samples;
}

TEST_F(FontTest, GlyphsRenderPixelForPixelAsTheBitmapFonts) {
  std::vector<Sample> samples = readSamples();
  std::map<std::string, int> halfCount, fullCount;
  for (const Sample& s : samples) {
    const FontUse* use = s.family == kMPlus.family       ? &kMPlus
                         : s.family == kShinonome.family ? &kShinonome
                                                         : nullptr;
    ASSERT_NE(use, nullptr) << s.family;
    Rendering got = render(*use, s.text);
    EXPECT_EQ(got.width, s.expected.width) << s.family << " \"" << s.text << "\"";
    EXPECT_EQ(got.height, s.expected.height) << s.family << " \"" << s.text << "\"";
    EXPECT_EQ(got.rows, s.expected.rows) << s.family << " \"" << s.text << "\"";
    ++(s.fullWidth ? fullCount : halfCount)[s.family];
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
std::string makeTempDir() {
  char tmpl[] = "/tmp/tavix-fonts-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  return dir ? std::string(dir) + "/" : std::string();
}

int runBuilder(const std::string& args) {
  std::string cmd = "/usr/bin/python3 '" + kBuilder + "' " + args + " >/dev/null 2>&1";
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void removeBuilderOutput(const std::string& dir) {
  for (const char* name : {"JF-Dot-MPlus10.ttf", "JF-Dot-Shinonome16.ttf", "samples.txt"}) {
    unlink((dir + name).c_str());
  }
  rmdir(dir.c_str());
}

TEST(FontBuilderTest, RebuildIsByteIdentical) {
  std::string dir = makeTempDir();
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(runBuilder("--out '" + dir + "' --samples '" + dir + "samples.txt'"), 0);
  for (const char* name : {"JF-Dot-MPlus10.ttf", "JF-Dot-Shinonome16.ttf"}) {
    std::string fresh = readFile(dir + name);
    EXPECT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == readFile(kFontDir + name)) << name << " differs between builds";
  }
  EXPECT_TRUE(readFile(dir + "samples.txt") == readFile(kSamples));
  removeBuilderOutput(dir);
}

TEST(FontBuilderTest, MissingSourceFontFailsWithoutOutput) {
  std::string dir = makeTempDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(runBuilder("--out '" + dir + "' --source-dir '" + dir + "nowhere'"), 1);
  EXPECT_FALSE(exists(dir + "JF-Dot-MPlus10.ttf"));
  EXPECT_FALSE(exists(dir + "JF-Dot-Shinonome16.ttf"));
  removeBuilderOutput(dir);
}

}  // namespace
