// The screen at its pixels: kept cells against plain drawing, text cells,
// attribute colours, erasing, layers, shapes, pictures, presentation.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "picture_dir.h"
#include "protocol/EscSeqParser.h"
#include "screen_fixture.h"

using namespace screen_test;

namespace {

const Pixel kClear{0, 0, 0, 0}, kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};

class ScreenTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(startMediaLibraries());
    ASSERT_TRUE(pictures.add("Image/1.jpg", 40, 30, 200, 60, 40) && pictures.add("Image/3/5.jpg", 24, 16, 40, 80, 220));
    screen = makeScreen(640, 384, pictures.base().c_str());
    ASSERT_TRUE(screen->initialized);
    screen->init_disp();
  }
  PixelImage pixels(int layer) {  // -1: the text layer, 0..3: a background layer, 4: the window
    if (layer == 4) return windowPixels(screen->getWindow());
    return readPixels(look().renderer(), layer < 0 ? look().textLayer() : look().layer(layer));
  }
  ScreenTestView look() { return ScreenTestView(*screen); }
  PictureDir pictures;
  std::unique_ptr<edispSDL> screen;
};

std::string csi(const std::string& body) { return "\x1B[" + body; }

// Attributes, cursor jumps to and past the edges, erasing, character sizes, text of
// all kinds (a few unassigned), line breaks, drawing on and showing layers.
std::string randomStream(uint32_t seed, int pieces) {
  static const char* const kErases[] = {"K", "0K", "2K", "X", "3X", "K", "2J"};
  static const unsigned char kLeads[] = {0x81, 0x82, 0x83, 0x84, 0x85, 0x88, 0x89, 0x93, 0x9F, 0xE0, 0xEA};
  std::mt19937 rng(seed);
  const auto num = [&](int n) { return std::to_string(rng() % n); };
  std::string s;
  while (pieces-- > 0) {
    switch (rng() % 10) {
      case 0: s += csi(num(62) + (rng() % 4 ? "m" : ";1;4;7m")); break;
      case 1: s += csi("H") + csi(num(3) + "A") + csi(num(3) + "D") + csi(num(50) + "B") + csi(num(163) + "C"); break;
      case 2: s += csi(kErases[rng() % 7]); break;
      case 3: s += rng() % 8 ? "\r\n" : "\x1B@" + std::to_string(4 + rng() % 3) + "Z"; break;
      case 4:
        for (int n = rng() % 12; n >= 0; --n) s += static_cast<char>(rng() % 3 ? 0x20 + rng() % 95 : 0xA1 + rng() % 63);
        break;
      case 5: s += "\x1B@3" + num(4) + "Z"; break;
      case 6: s += "\x1B@0;" + num(4) + ";" + num(200) + ";" + num(200) + ";" + num(600) + ";" + num(360) + ";" +
                   num(32768) + "z"; break;
      default: s += {static_cast<char>(kLeads[rng() % 11]), static_cast<char>(0x40 + rng() % 0xBD)};
    }
  }
  return s;
}

// The same bytes drawn through kept cells (and a parser keeping conversions)
// and by a screen and parser that make every character anew: the same pixels.
class KeptCellsTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE((plain = makeScreen())->initialized);
    plain->init_disp();
    plain->setKeptCellsEnabled(false);
    parsers[0] = std::make_unique<EscSeqParser>(screen.get());
    parsers[1] = std::make_unique<EscSeqParser>(plain.get());
    parsers[1]->setConversionCacheEnabled(false);
  }
  // Feeds both, presentation held back; compares text layers or presented windows.
  void expectSamePixels(const std::string& bytes, bool window) {
    PixelImage img[2];
    for (int i = 0; i < 2; ++i) {
      edispSDL& s = i ? *plain : *screen;
      s.stopUpdate();
      for (unsigned char c : bytes) parsers[i]->ParseByte(c);
      if (window) s.resumeUpdate();
      img[i] = readPixels(ScreenTestView(s).renderer(), window ? nullptr : ScreenTestView(s).textLayer());
    }
    const auto d = std::mismatch(img[0].pixels.begin(), img[0].pixels.end(), img[1].pixels.begin(), img[1].pixels.end());
    EXPECT_TRUE(d.first == img[0].pixels.end()) << "first difference at pixel " << d.first - img[0].pixels.begin();
  }
  std::unique_ptr<edispSDL> plain;
  std::unique_ptr<EscSeqParser> parsers[2];
};

TEST_F(KeptCellsTest, RandomTextDrawsTheSamePixels) {
  for (uint32_t round = 0; round < 18; ++round) {  // six of each character size
    SCOPED_TRACE("round " + std::to_string(round));
    screen->setKeptCellsEnabled(round < 13 || round > 14);  // off for a while, then on again
    const std::string size = round % 6 ? "" : "\x1B@" + std::to_string(4 + round / 6) + "Z";
    expectSamePixels(size + randomStream(round, 400), round % 2 != 0);
  }
}

TEST_F(KeptCellsTest, CharactersDrawnAgainAfterMoreThanAreKeptDrawTheSamePixels) {
  std::string many;
  for (const char* colours : {"31;40", "32;41", "33;42"}) {
    many += csi(std::string("0;") + colours + "m") + csi("H");
    for (int lead = 0x88; lead <= 0xE6; lead = lead == 0x9F ? 0xE0 : lead + 1)
      for (int trail = 0x40; trail <= 0xFC; ++trail) many += {static_cast<char>(lead), static_cast<char>(trail)};
  }
  expectSamePixels(many + csi("0;31;40m") + csi("5;5H") + "\x88\x9F\x88\xA0 AB" + csi("0;33;42m") + "\x88\xA1", true);
}

// The window shows what the renderer made by copying both layers stretched onto the whole window: at whole
// scales, after the whole window and after changed rows were sent. Other sizes: the largest whole scale that
// fits, centred on black.
TEST_F(ScreenTest, WindowShowsBothLayersAtAWholeScaleCentredOnBlack) {
  EscSeqParser parser(screen.get());
  const struct { int w, h; SDL_Rect at; } cases[] = {{640, 384, {0, 0, 640, 384}}, {1280, 768, {0, 0, 1280, 768}},
      {1920, 1152, {0, 0, 1920, 1152}}, {1400, 800, {60, 16, 1280, 768}}, {600, 400, {-20, 8, 640, 384}}};
  for (const auto& c : cases) {
    screen->resizeWindow(c.w, c.h);
    screen->stopUpdate();
    screen->resumeUpdate();
    screen->stopUpdate();
    for (unsigned char b : randomStream(c.w, 300)) parser.ParseByte(b);
    screen->resumeUpdate();
    SDL_Renderer* r = look().renderer();
    SDL_Texture* target = SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, c.w, c.h);
    SDL_SetRenderTarget(r, target);
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    SDL_RenderCopy(r, look().layer(screen->getBgBuffIndex() & 3), nullptr, &c.at);
    SDL_RenderCopy(r, look().textLayer(), nullptr, &c.at);
    const PixelImage expected = readPixels(r, target);
    SDL_DestroyTexture(target);
    EXPECT_TRUE(pixels(4).pixels == expected.pixels) << c.w << " x " << c.h;
  }
}

TEST_F(ScreenTest, TextTakesCellsOfItsCharacterSize) {
  const struct { int charSize; const char* text; int cellW, cellH, columns; } cases[] = {
      {0, "A", 4, 8, 2},    {0, u8"あ", 4, 8, 4}, {0, u8"ｱ", 4, 8, 2},  {1, "A", 5, 12, 1}, {1, u8"あ", 5, 12, 2},
      {1, u8"ｱ", 5, 12, 1}, {2, "A", 8, 16, 1}, {2, u8"あ", 8, 16, 2}, {2, u8"ｱ", 8, 16, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.charSize) + " " + c.text);
    screen->set_charsize(c.charSize);
    screen->set_attribute(47);  // opaque grey paper shows the cells written
    screen->move(3, 5);
    screen->puts_(c.text, 0);
    EXPECT_EQ(screen->getCursorCol(), 5 + c.columns);
    const SDL_Rect cells{5 * c.cellW, 3 * c.cellH, c.columns * c.cellW, c.cellH};
    const PixelImage img = pixels(-1);
    EXPECT_EQ(img.count(kClear), 640 * 384 - cells.w * cells.h);
    EXPECT_GT(img.count(kWhite, cells), 3);
    EXPECT_EQ(img.count(kWhite, cells) + img.count(Pixel{192, 192, 192, 255}, cells), cells.w * cells.h);
  }
}

TEST_F(ScreenTest, AttributesColourInkAndPaper) {
  // The pen at its pixels (every code: pen_test). "A" of the 8 x 16 font has 27 ink pixels; bold adds a copy one
  // pixel to the right (50 in all), underline the cell's bottom row (8 more). Transparent ink draws opaque glyphs.
  const Pixel W = kWhite, K = kBlack, C = kClear, R{255, 0, 0, 255}, dR{192, 0, 0, 255}, Gr{192, 192, 192, 255};
  const struct { std::vector<int> codes; Pixel ink, paper; int inkPixels; } cases[] = {
      {{}, W, C, 27}, {{31}, R, C, 27}, {{30}, K, C, 27}, {{41}, W, dR, 27}, {{47, 49}, W, {192, 192, 192, 0}, 27},
      {{16, 41, 32}, {0, 255, 0, 255}, dR, 27}, {{60, 47}, W, Gr, 27}, {{7}, K, W, 27},
      {{31, 44, 7}, {64, 64, 192, 255}, R, 27}, {{1}, W, C, 50}, {{4}, W, C, 35}, {{1, 4, 41}, W, dR, 58}};
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    screen->set_attribute(0);
    for (int code : c.codes) screen->set_attribute(code);
    screen->clear();
    screen->puts_("A", 0);
    const PixelImage img = pixels(-1);
    EXPECT_EQ(img.count(c.ink, SDL_Rect{0, 0, 8, 16}), c.inkPixels);
    EXPECT_EQ(img.count(c.paper, SDL_Rect{0, 0, 8, 16}), 128 - c.inkPixels);
    EXPECT_EQ(img.count(kClear), 640 * 384 - (c.paper == kClear ? 0 : 128 - c.inkPixels) - c.inkPixels);
  }
}

TEST_F(ScreenTest, ErasingClearsToTheLayersRightEdge) {
  edispSDL& s = *screen;
  // Erased pixel columns from .. to - 1 of row 1, in windows of two widths.
  const struct { int windowW; std::function<void()> erase; int from, to; } cases[] = {
      {640, [&] { s.del_to_end(); }, 80, 640}, {640, [&] { s.del_row(); }, 0, 640},
      {640, [&] { s.del(3); }, 80, 104},       {640, [&] { s.del(INT_MAX); }, 80, 640},
      {320, [&] { s.del_to_end(); }, 80, 640}, {320, [&] { s.del_row(); }, 0, 640}};
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    s.resizeWindow(c.windowW, c.windowW * 3 / 5);
    s.init_disp();
    s.set_attribute(41);
    s.move(1, 0);
    s.puts_((std::string(80, '#') + "\r\n" + std::string(80, '#')).c_str(), 0);
    s.move(1, 10);
    c.erase();
    const PixelImage img = pixels(-1);
    const Pixel erased{192, 0, 0, 0};  // the paper's colour, alpha 0
    EXPECT_EQ(img.count(erased, SDL_Rect{c.from, 16, c.to - c.from, 16}), (c.to - c.from) * 16);
    EXPECT_EQ(img.count(erased), (c.to - c.from) * 16);
    EXPECT_EQ(img.count(kClear), 640 * 384 - 2 * 640 * 16);
    EXPECT_EQ(s.getCursorCol(), 10);
  }
}

// Each case draws on black layers; then everything not black in layer
// `layer` (4: the window) lies in `area`, where `count` pixels have the
// colour (within 12 per channel for the JPEG pictures).
TEST_F(ScreenTest, LayersShapesAndPicturesAtTheirPixels) {
  edispSDL& s = *screen;
  const auto dot = [&](int colour) { return [&s, colour] { s.draw_fillrect(3, 1, 1, 7, 9, colour); }; };
  const auto fill = [&](int layer, int w, int h, int x, int y) { s.draw_fillrect(layer, w, h, x, y, 0x7C00); };
  const Pixel red{248, 0, 0, 255}, blue{0, 0, 248, 255}, photo1{200, 60, 40, 255}, photo5{40, 80, 220, 255};
  const SDL_Rect none{}, oval{220, 142, 201, 101}, at79{7, 9, 1, 1};
  const struct { std::function<void()> draw; int layer; SDL_Rect area; Pixel colour; int count; } cases[] = {
      {dot(0xFFFF), 3, at79, {248, 248, 248, 255}, 1}, {dot(0x4210), 3, at79, {128, 128, 128, 255}, 1},  // 15-bit RGB
      {dot(0x5A73), 3, at79, {176, 152, 152, 255}, 1}, {dot(0x10000), 3, none, kBlack, 0},
      {[&] { fill(1, 100, 50, 10, 20); }, 1, {10, 20, 100, 50}, red, 5000},
      {[&] { fill(1, 20, 20, 630, 374); }, 1, {630, 374, 10, 10}, red, 100},
      {[&] { s.draw_rectangle(1, 100, 50, 10, 20, 0x7C00); }, 1, {10, 20, 100, 50}, red, 296},
      {[&] { s.draw_line(3, 5, 5, 50, 30, 0x7C00); }, 3, {5, 5, 46, 26}, red, 46},
      {[&] { s.draw_ellipse(0, 1, 320, 192, 100, 50, 0x001F); }, 0, oval, blue, 15781},
      {[&] { s.draw_ellipse(0, 0, 320, 192, 100, 50, 0x001F); }, 0, oval, blue, 444},
      {[&] { s.draw_image(1, 1, 100, 50); }, 1, {100, 50, 40, 30}, photo1, 1200},
      {[&] { s.draw_image2(5, 2, 3, 0, 0); }, 2, {0, 0, 24, 16}, photo5, 384},
      {[&] { s.draw_image(1, 3, 620, -10); }, 3, {620, 0, 20, 20}, photo1, 400},
      {[&] { s.draw_image(9, 1, 0, 0), s.draw_image2(1, 1, 7, 0, 0); }, 1, none, red, 0},  // missing pictures
      {[&] { fill(4, 9, 9, 0, 0), s.draw_image(1, -1, 0, 0); }, 0, none, red, 0},        // no such layers
      {[&] { fill(3, 9, 9, 0, 0), s.clear_bgbuff(3); }, 3, none, red, 0},
      {[&] { fill(1, 10, 10, 0, 0); }, 4, none, red, 0},  // not shown until chosen
      {[&] { fill(1, 10, 10, 0, 0), s.set_bgbuff(1); }, 4, {0, 0, 10, 10}, red, 100},
      {[&] { fill(2, 10, 10, 0, 0), s.set_bgbuff(6); }, 4, {0, 0, 10, 10}, red, 100},
      {[&] { fill(0, 1, 1, 1, 1), s.resizeWindow(1280, 768), s.updateContent(); }, 4, {2, 2, 2, 2}, red, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    s.resizeWindow(640, 384);
    s.set_bgbuff(0);
    s.init_disp();
    c.draw();
    const PixelImage img = pixels(c.layer);
    const int tol = c.colour == photo1 || c.colour == photo5 ? 12 : 0;
    int inArea = 0;
    for (int i = 0; i < c.area.w * c.area.h; ++i) {
      const Pixel& p = img.at(c.area.x + i % c.area.w, c.area.y + i / c.area.w);
      inArea += std::max({std::abs(p.r - c.colour.r), std::abs(p.g - c.colour.g), std::abs(p.b - c.colour.b)}) <= tol;
    }
    EXPECT_EQ(inArea, c.count);
    EXPECT_EQ(img.count(kBlack) - img.count(kBlack, c.area), img.w * img.h - c.area.w * c.area.h) << "outside";
    for (int n = 0; n < 4 && c.layer < 4; ++n)
      EXPECT_TRUE(n == c.layer || pixels(n).count(kBlack) == 640 * 384) << "layer " << n;
  }
}

// A line is the renderer's own, cut to the layer where the renderer cuts it, in 64 bits for end points too far for its
// int arithmetic: the pixels are those the renderer draws from the cut end points `own` (empty: the line's own).
TEST_F(ScreenTest, LinesAreTheRenderersOwnWhereverTheirEndPointsLie) {
  const int lo = INT_MIN, hi = INT_MAX;
  const struct { int line[4], own[4]; } cases[] = {{{5, 5, 20000, 300}, {}}, {{0, 0, 17000, 383}, {}},
      {{-20000, 10, 600, 300}, {}}, {{320, -30000, 100, 400}, {}}, {{5, 5, hi, 1000000000}, {5, 5, 639, 300}},
      {{9, hi, 9, lo}, {9, 383, 9, 0}}, {{lo, lo, hi, hi}, {0, 0, 383, 383}}, {{lo, 7, hi, 7}, {0, 7, 639, 7}},
      {{320, 10, -1000000000, hi}, {320, 10, 147, 383}}, {{hi, lo, lo, lo + 1}, {-1, -1, -2, -2}},
      {{-2000000000, -599999950, 2000000000, 600000050}, {0, 50, 639, 241}},
      {{-600000000, -2000000000, 600000000, 2000000000}, {0, 0, 114, 383}}};
  for (const auto& c : cases) {
    screen->init_disp();
    screen->draw_line(0, c.line[0], c.line[1], c.line[2], c.line[3], 0x7C00);
    SDL_SetRenderTarget(look().renderer(), look().layer(1)), SDL_SetRenderDrawColor(look().renderer(), 248, 0, 0, 255);
    const int* own = c.own[2] || c.own[3] ? c.own : c.line;
    SDL_RenderDrawLine(look().renderer(), own[0], own[1], own[2], own[3]);
    EXPECT_TRUE(pixels(0).pixels == pixels(1).pixels) << "case " << &c - cases;
  }
}

// Image/1.jpg drawn twice on a black layer 1, then rewritten with another
// size and the same modification time, with the same size and a time a
// second later, or removed, and drawn twice again each time: the file as it
// is now is drawn, or nothing.
TEST_F(ScreenTest, PictureDrawnAgainShowsItsFileAsItIsNow) {
  const std::string file = pictures.base() + "Image/1.jpg";
  const auto start = std::filesystem::last_write_time(file);
  const struct { int w, h; Pixel colour; } steps[] = {
      {40, 30, {200, 60, 40, 255}}, {64, 48, {40, 80, 220, 255}}, {64, 48, {40, 200, 60, 255}}, {0, 0, kWhite}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    const auto& st = steps[i];
    if (i == 3) std::filesystem::remove(file);
    if (i == 1 || i == 2) {
      ASSERT_TRUE(pictures.add("Image/1.jpg", st.w, st.h, st.colour.r, st.colour.g, st.colour.b));
      std::filesystem::last_write_time(file, start + std::chrono::seconds(i - 1));
    }
    for (int n = 0; n < 2; ++n) {
      screen->clear_bgbuff(1);
      screen->draw_image(1, 1, 0, 0);
      const PixelImage img = pixels(1);
      int near = 0;
      for (const Pixel& p : img.pixels)
        near += std::max({std::abs(p.r - st.colour.r), std::abs(p.g - st.colour.g), std::abs(p.b - st.colour.b)}) <= 12;
      EXPECT_EQ(near, st.w * st.h);
      EXPECT_EQ(img.w * img.h - img.count(kBlack), st.w * st.h);
    }
  }
}

// Forty pictures, more than are kept, drawn in turn with picture 10 between
// each two: every draw shows its own picture's colour.
TEST_F(ScreenTest, PicturesDrawnAgainAfterMoreThanAreKeptDrawTheirOwnPixels) {
  const auto colour = [](int n) { return Pixel{Uint8(n % 8 * 32), Uint8(n / 8 % 5 * 48), 128, 255}; };
  for (int n = 10; n < 50; ++n)
    ASSERT_TRUE(pictures.add("Image/" + std::to_string(n) + ".jpg", 8, 8, colour(n).r, colour(n).g, 128));
  for (int i = 0; i < 160; ++i) {
    const int n = i % 2 ? 10 : 10 + i / 2 % 40;
    screen->draw_image(n, 1, 0, 0);
    const Pixel p = readPixel(look().renderer(), look().layer(1), 4, 4);
    EXPECT_TRUE(std::abs(p.r - colour(n).r) <= 12 && std::abs(p.g - colour(n).g) <= 12) << "draw " << i << ", n " << n;
  }
}

TEST_F(ScreenTest, HeldBackPresentationPresentsOnceWhenResumed) {
  const unsigned long start = look().presentCount();
  screen->stopUpdate();
  screen->stopUpdate();
  screen->puts_("AB\r\nC", 0), screen->clear(), screen->del_row(), screen->set_bgbuff(1), screen->set_charsize(1);
  EXPECT_EQ(look().presentCount(), start);
  screen->resumeUpdate();
  screen->resumeUpdate();
  EXPECT_EQ(look().presentCount(), start + 1);
}

}  // namespace
