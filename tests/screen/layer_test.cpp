// Background layers: colours, shapes, pictures, layer choice, and screen
// construction.
#include <SDL_image.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "screen_fixture.h"

using namespace screen_test;

namespace {

const Pixel kBlack{0, 0, 0, 255};
const Pixel kRed{248, 0, 0, 255};
const Pixel kBlue{0, 0, 248, 255};

bool sameRect(const SDL_Rect& a, const SDL_Rect& b) {
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}
std::string str(const SDL_Rect& r) {
  return "{" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
         std::to_string(r.h) + "}";
}

TEST_F(ScreenTest, DrawingColoursScaleFiveBitComponentsByEight) {
  const struct {
    int colour;
    Pixel expected;
  } cases[] = {
      {0x7FFF, {248, 248, 248, 255}}, {0xFFFF, {248, 248, 248, 255}}, {0x7C00, {248, 0, 0, 255}},
      {0x03E0, {0, 248, 0, 255}},     {0x001F, {0, 0, 248, 255}},     {0x4210, {128, 128, 128, 255}},
      {-1, {248, 248, 248, 255}},     {0x10000, {0, 0, 0, 255}},      {0x0421, {8, 8, 8, 255}},
  };
  for (const auto& c : cases) {
    screen->draw_fillrect(3, 1, 1, 7, 9, c.colour);
    EXPECT_EQ(readPixel(screen->getRenderer(), screen->getLayer(3), 7, 9), c.expected) << std::hex << c.colour;
  }
}

TEST_F(ScreenTest, FilledRectangleCoversExactlyItsArea) {
  const unsigned long before = screen->getPresentCount();
  screen->draw_fillrect(1, 100, 50, 10, 20, 0x7C00);
  EXPECT_EQ(screen->getPresentCount(), before);
  PixelImage img = layer(1);
  EXPECT_TRUE(sameRect(img.boundsOfOthers(kBlack), SDL_Rect{10, 20, 100, 50})) << str(img.boundsOfOthers(kBlack));
  EXPECT_TRUE(img.all(kRed, SDL_Rect{10, 20, 100, 50}));
  EXPECT_EQ(layer(0).count(kBlack), 640 * 384);

  // The window shows it once layer 1 is chosen.
  EXPECT_EQ(windowPixels().count(kRed), 0);
  screen->set_bgbuff(1);
  EXPECT_EQ(screen->getPresentCount(), before + 1);
  EXPECT_EQ(windowPixels().count(kRed), 100 * 50);

  // Empty and partly or far off-layer rectangles.
  screen->draw_fillrect(2, 0, 10, 0, 0, 0x7C00);
  screen->draw_fillrect(2, 10, -3, 0, 0, 0x7C00);
  EXPECT_EQ(layer(2).count(kBlack), 640 * 384);
  screen->draw_fillrect(2, 20, 20, 630, 374, 0x7C00);
  EXPECT_EQ(layer(2).count(kRed), 100);
  screen->draw_fillrect(2, INT_MAX, INT_MAX, -100000, -100000, 0x001F);
  EXPECT_EQ(layer(2).count(kBlue), 640 * 384);
  screen->draw_fillrect(2, INT_MAX, 5, INT_MAX, 0, 0x7C00);
  EXPECT_EQ(layer(2).count(kBlue), 640 * 384);
}

TEST_F(ScreenTest, OutlinedRectangleChangesOnlyItsBorder) {
  screen->draw_rectangle(1, 100, 50, 10, 20, 0x7C00);
  PixelImage img = layer(1);
  EXPECT_TRUE(sameRect(img.boundsOfOthers(kBlack), SDL_Rect{10, 20, 100, 50}));
  EXPECT_EQ(img.count(kRed), 2 * 100 + 2 * 50 - 4);
  EXPECT_TRUE(img.all(kRed, SDL_Rect{10, 20, 100, 1}));
  EXPECT_TRUE(img.all(kRed, SDL_Rect{10, 69, 100, 1}));
  EXPECT_TRUE(img.all(kRed, SDL_Rect{10, 20, 1, 50}));
  EXPECT_TRUE(img.all(kRed, SDL_Rect{109, 20, 1, 50}));

  // A rectangle reaching far off the layer keeps only its visible edges.
  screen->draw_rectangle(2, INT_MAX, 100, 600, -50, 0x001F);
  PixelImage far = layer(2);
  EXPECT_EQ(far.count(kBlue), 40 + 50 - 1);
  EXPECT_TRUE(far.all(kBlue, SDL_Rect{600, 0, 1, 50}));
  EXPECT_TRUE(far.all(kBlue, SDL_Rect{600, 49, 40, 1}));
}

TEST_F(ScreenTest, LinesIncludeBothEndPoints) {
  screen->draw_line(1, 5, 5, 50, 30, 0x7C00);
  PixelImage img = layer(1);
  EXPECT_TRUE(sameRect(img.boundsOfOthers(kBlack), SDL_Rect{5, 5, 46, 26})) << str(img.boundsOfOthers(kBlack));
  EXPECT_EQ(img.at(5, 5), kRed);
  EXPECT_EQ(img.at(50, 30), kRed);
  EXPECT_EQ(img.count(kRed), 46);  // one pixel per column of an x-major line

  // A far end point keeps the visible part of the line.
  screen->draw_line(2, 10, 100, 1000000, 100, 0x001F);
  EXPECT_TRUE(layer(2).all(kBlue, SDL_Rect{10, 100, 630, 1}));
  EXPECT_EQ(layer(2).count(kBlue), 630);
  screen->draw_line(3, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x001F);
  screen->draw_line(3, INT_MIN, 5, INT_MIN, 6, 0x001F);
  EXPECT_EQ(layer(3).at(100, 100), kBlue);
}

TEST_F(ScreenTest, EllipsesFilledAndOutlined) {
  screen->draw_ellipse(0, 1, 320, 192, 100, 50, 0x001F);
  PixelImage filled = layer(0);
  EXPECT_TRUE(sameRect(filled.boundsOfOthers(kBlack), SDL_Rect{220, 142, 201, 101}))
      << str(filled.boundsOfOthers(kBlack));
  EXPECT_TRUE(filled.all(kBlue, SDL_Rect{250, 180, 141, 25}));
  EXPECT_EQ(filled.at(225, 147), kBlack);  // corners of the box stay outside

  screen->draw_ellipse(1, 0, 320, 192, 100, 50, 0x001F);
  PixelImage outline = layer(1);
  EXPECT_TRUE(sameRect(outline.boundsOfOthers(kBlack), SDL_Rect{220, 142, 201, 101}));
  EXPECT_EQ(outline.at(320, 192), kBlack);
  EXPECT_EQ(outline.at(220, 192), kBlue);
  EXPECT_EQ(outline.at(320, 142), kBlue);
  EXPECT_LT(outline.count(kBlue), filled.count(kBlue) / 10);

  // Only the low 16 bits of the geometry count: 65536 + 320 is 320.
  screen->draw_ellipse(2, 1, 65536 + 320, 192, 65536 + 100, 50, 0x001F);
  EXPECT_EQ(layer(2).count(kBlue), filled.count(kBlue));
}

TEST_F(ScreenTest, LayerNumbersOutsideTheFourAreIgnored) {
  for (int n : {4, -1, 1000, INT_MIN, INT_MAX}) {
    screen->clear_bgbuff(n);
    screen->draw_fillrect(n, 640, 384, 0, 0, 0x7FFF);
    screen->draw_rectangle(n, 640, 384, 0, 0, 0x7FFF);
    screen->draw_line(n, 0, 0, 639, 383, 0x7FFF);
    screen->draw_ellipse(n, 1, 320, 192, 300, 150, 0x7FFF);
    screen->draw_image(1, n, 0, 0);
    screen->draw_image2(5, n, 3, 0, 0);
    EXPECT_EQ(screen->getLayer(n), nullptr);
  }
  for (int n = 0; n < 4; ++n) EXPECT_EQ(layer(n).count(kBlack), 640 * 384) << "layer " << n;
}

TEST_F(ScreenTest, ChosenLayerIsShownModuloFour) {
  const int colours[4] = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
  for (int n = 0; n < 4; ++n) screen->draw_fillrect(n, 640, 384, 0, 0, colours[n]);
  const struct {
    int chosen;
    Pixel shown;
  } cases[] = {{2, kBlue}, {6, kBlue}, {-1, {248, 248, 248, 255}}, {-6, kBlue}, {INT_MIN, kRed}, {1, {0, 248, 0, 255}}};
  for (const auto& c : cases) {
    screen->set_bgbuff(c.chosen);
    EXPECT_EQ(screen->getBgBuffIndex(), c.chosen);
    EXPECT_EQ(readPixel(screen->getRenderer(), nullptr, 300, 200), c.shown) << c.chosen;
  }
  // A cleared layer turns black only at the next presentation.
  screen->set_bgbuff(3);
  screen->clear_bgbuff(3);
  EXPECT_EQ(readPixel(screen->getRenderer(), nullptr, 0, 0), (Pixel{248, 248, 248, 255}));
  screen->updateContent();
  EXPECT_EQ(readPixel(screen->getRenderer(), nullptr, 0, 0), kBlack);
}

TEST_F(ScreenTest, WindowIsStretchedOverTheLayersAndResizingLosesNoDrawing) {
  screen->draw_fillrect(0, 1, 1, 1, 1, 0x7C00);
  screen->resizeWindow(1280, 768);
  EXPECT_EQ(screen->getPresentCount(), 1u);
  screen->updateContent();
  PixelImage win = windowPixels();
  ASSERT_EQ(win.w, 1280);
  EXPECT_TRUE(sameRect(win.boundsOfOthers(kBlack), SDL_Rect{2, 2, 2, 2})) << str(win.boundsOfOthers(kBlack));
}

// A base directory in /tmp with the built fonts and two pictures.
class PictureTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(startMediaLibraries(&why)) << why;
    if (!fontsBuilt()) GTEST_SKIP() << "fonts not built";
    char pattern[] = "/tmp/tavix-pictures-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base = std::string(pattern) + "/";
    ASSERT_EQ(symlink((std::string(buildBasePath()) + "fonts").c_str(), (base + "fonts").c_str()), 0);
    ASSERT_EQ(mkdir((base + "Image").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((base + "Image/3").c_str(), 0700), 0);
    savePicture(base + "Image/1.jpg", 40, 30, 200, 60, 40);
    savePicture(base + "Image/3/5.jpg", 24, 16, 40, 80, 220);
    screen = makeScreen(640, 384, base.c_str());
    ASSERT_TRUE(screen->initialized);
    screen->init_disp();
  }
  void TearDown() override {
    screen.reset();
    if (!base.empty()) std::system(("rm -rf '" + base + "'").c_str());
  }
  static void savePicture(const std::string& path, int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(s, nullptr);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
    ASSERT_EQ(IMG_SaveJPG(s, path.c_str(), 95), 0) << IMG_GetError();
    SDL_FreeSurface(s);
  }
  // Pixels of the rectangle that are within `tolerance` of the colour.
  static int countNear(const PixelImage& img, const Pixel& p, const SDL_Rect& r, int tolerance) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x)
        if (img.at(x, y).near(p, tolerance)) ++n;
    return n;
  }
  PixelImage layer(int n) const { return readPixels(screen->getRenderer(), screen->getLayer(n)); }

  std::string base;
  std::unique_ptr<edispSDL> screen;
};

TEST_F(PictureTest, PicturesAreDrawnAtTheirOwnSizeAndPosition) {
  LogRecorder log;
  const unsigned long before = screen->getPresentCount();
  screen->draw_image(1, 1, 100, 50);
  PixelImage img = layer(1);
  EXPECT_TRUE(sameRect(img.boundsOfOthers(kBlack), SDL_Rect{100, 50, 40, 30})) << str(img.boundsOfOthers(kBlack));
  EXPECT_EQ(countNear(img, Pixel{200, 60, 40, 255}, SDL_Rect{100, 50, 40, 30}, 12), 40 * 30);

  screen->draw_image2(5, 2, 3, 0, 0);
  img = layer(2);
  EXPECT_TRUE(sameRect(img.boundsOfOthers(kBlack), SDL_Rect{0, 0, 24, 16})) << str(img.boundsOfOthers(kBlack));
  EXPECT_EQ(countNear(img, Pixel{40, 80, 220, 255}, SDL_Rect{0, 0, 24, 16}, 12), 24 * 16);

  // Partly off the layer: the visible part is drawn.
  screen->draw_image(1, 3, 620, -10);
  EXPECT_EQ(countNear(layer(3), Pixel{200, 60, 40, 255}, SDL_Rect{600, 0, 40, 30}, 12), 20 * 20);
  screen->draw_image(1, 0, INT_MAX, INT_MIN);
  EXPECT_EQ(layer(0).count(kBlack), 640 * 384);

  EXPECT_EQ(screen->getPresentCount(), before);
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(PictureTest, MissingPictureIsLoggedAndLeavesTheLayer) {
  screen->draw_fillrect(1, 10, 10, 0, 0, 0x7C00);
  LogRecorder log;
  screen->draw_image(9, 1, 0, 0);
  screen->draw_image2(1, 1, 7, 0, 0);
  screen->draw_image(-1, 1, 0, 0);
  EXPECT_EQ(log.countStartingWith("IMG_Load : "), 3);
  EXPECT_EQ(log.lines.size(), 3u);
  if (!log.lines.empty()) {
    EXPECT_EQ(log.lines[0].category, SDL_LOG_CATEGORY_APPLICATION);
    EXPECT_EQ(log.lines[0].priority, SDL_LOG_PRIORITY_ERROR);
  }
  PixelImage img = layer(1);
  EXPECT_EQ(img.count(kRed), 100);
  EXPECT_EQ(img.count(kBlack), 640 * 384 - 100);
}

TEST(ScreenConstruction, EachMissingFontRaisesItsOwnAlert) {
  std::string why;
  ASSERT_TRUE(startMediaLibraries(&why)) << why;
  std::vector<AlertRequest> alerts;
  auto screen = makeScreen(640, 384, "/nonexistent-tavix-dir/", &alerts);
  EXPECT_FALSE(screen->initialized);
  ASSERT_EQ(alerts.size(), 3u);
  for (const AlertRequest& a : alerts) {
    EXPECT_EQ(a.header, "Error: TTF_OpenFont");
    EXPECT_FALSE(a.message.empty());
    EXPECT_EQ(a.buttons, std::vector<std::string>{"OK"});
  }
}

TEST(ScreenConstruction, NoBaseDirectoryMeansTheCurrentOne) {
  std::string why;
  ASSERT_TRUE(startMediaLibraries(&why)) << why;
  if (!fontsBuilt()) GTEST_SKIP() << "fonts not built";
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(buildBasePath()), 0);
  std::vector<AlertRequest> alerts;
  auto screen = makeScreen(640, 384, nullptr, &alerts);
  ASSERT_EQ(chdir(old), 0);
  EXPECT_TRUE(screen->initialized);
  EXPECT_TRUE(alerts.empty());
  LogRecorder log;
  screen->draw_image(1, 0, 0, 0);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].text.find("IMG_Load : Couldn't open Image/1.jpg"), std::string::npos) << log.lines[0].text;
}

TEST(ScreenConstruction, TexturesThatCannotBeMadeRaiseAlerts) {
  std::string why;
  ASSERT_TRUE(startMediaLibraries(&why)) << why;
  std::vector<AlertRequest> alerts;
  auto screen = makeScreen(0, 0, buildBasePath(), &alerts);
  EXPECT_FALSE(screen->initialized);
  int textureAlerts = 0;
  for (const AlertRequest& a : alerts) textureAlerts += a.header == "Error: SDL_CreateTexture";
  EXPECT_EQ(textureAlerts, 5);
}

}  // namespace
