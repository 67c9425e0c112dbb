// Background layers: colours, shapes, pictures, layer choice, and screen
// construction.
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "picture_dir.h"
#include "screen_fixture.h"

using namespace screen_test;

namespace {

const Pixel kBlack{0, 0, 0, 255};
const Pixel kRed{248, 0, 0, 255};
const Pixel kBlue{0, 0, 248, 255};

std::string str(const SDL_Rect& r) {
  return std::to_string(r.w) + "x" + std::to_string(r.h) + "+" + std::to_string(r.x) + "+" + std::to_string(r.y);
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

TEST_F(ScreenTest, RectanglesAndLinesCoverExactlyTheirPixelsClippedToTheLayer) {
  edispSDL& s = *screen;
  const struct {
    const char* name;
    std::function<void()> draw;  // in red on layer 1
    SDL_Rect bounds;             // of everything not black
    int count;                   // red pixels, all within the bounds
    SDL_Rect hollow;             // stays black
  } cases[] = {
      {"filled", [&] { s.draw_fillrect(1, 100, 50, 10, 20, 0x7C00); }, {10, 20, 100, 50}, 5000, {}},
      {"filled, no width or negative height", [&] { s.draw_fillrect(1, 0, 10, 0, 0, 0x7C00),
                                                    s.draw_fillrect(1, 10, -3, 0, 0, 0x7C00); }, {}, 0, {}},
      {"filled, over the corner", [&] { s.draw_fillrect(1, 20, 20, 630, 374, 0x7C00); }, {630, 374, 10, 10}, 100, {}},
      {"filled, far around the layer",
       [&] { s.draw_fillrect(1, INT_MAX, INT_MAX, -100000, -100000, 0x7C00); }, {0, 0, 640, 384}, 640 * 384, {}},
      {"filled, starting far off", [&] { s.draw_fillrect(1, INT_MAX, 5, INT_MAX, 0, 0x7C00); }, {}, 0, {}},
      {"outlined", [&] { s.draw_rectangle(1, 100, 50, 10, 20, 0x7C00); }, {10, 20, 100, 50}, 296, {11, 21, 98, 48}},
      {"outlined, far off the layer keeps its visible edges",
       [&] { s.draw_rectangle(1, INT_MAX, 100, 600, -50, 0x7C00); }, {600, 0, 40, 50}, 89, {601, 0, 39, 49}},
      // One pixel per column of an x-major line, both end points included.
      {"line", [&] { s.draw_line(1, 5, 5, 50, 30, 0x7C00); }, {5, 5, 46, 26}, 46, {}},
      {"line to a far end point", [&] { s.draw_line(1, 10, 100, 1000000, 100, 0x7C00); }, {10, 100, 630, 1}, 630, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    s.init_disp();
    const unsigned long before = s.getPresentCount();
    c.draw();
    EXPECT_EQ(s.getPresentCount(), before) << "drawing presented the screen";
    PixelImage img = layer(1);
    EXPECT_EQ(str(img.boundsOfOthers(kBlack)), str(c.bounds));
    EXPECT_EQ(img.count(kRed, c.bounds), c.count);
    EXPECT_EQ(img.count(kBlack, c.hollow), c.hollow.w * c.hollow.h);
    for (int n : {0, 2, 3}) EXPECT_EQ(layer(n).count(kBlack), 640 * 384) << "layer " << n;
  }
  // Lines with end points at the extremes of int neither crash nor hang.
  s.draw_line(3, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x001F);
  s.draw_line(3, INT_MIN, 5, INT_MIN, 6, 0x001F);
  EXPECT_EQ(layer(3).at(100, 100), kBlue);

  // The window shows a layer once it is chosen.
  s.init_disp();
  s.draw_fillrect(1, 100, 50, 10, 20, 0x7C00);
  EXPECT_EQ(windowPixels().count(kRed), 0);
  const unsigned long before = s.getPresentCount();
  s.set_bgbuff(1);
  EXPECT_EQ(s.getPresentCount(), before + 1);
  EXPECT_EQ(windowPixels().count(kRed), 100 * 50);
}

TEST_F(ScreenTest, EllipsesFilledAndOutlined) {
  screen->draw_ellipse(0, 1, 320, 192, 100, 50, 0x001F);
  PixelImage filled = layer(0);
  EXPECT_EQ(str(filled.boundsOfOthers(kBlack)), str(SDL_Rect{220, 142, 201, 101}));
  EXPECT_TRUE(filled.all(kBlue, SDL_Rect{250, 180, 141, 25}));
  EXPECT_EQ(filled.at(225, 147), kBlack);  // corners of the box stay outside

  screen->draw_ellipse(1, 0, 320, 192, 100, 50, 0x001F);
  PixelImage outline = layer(1);
  EXPECT_EQ(str(outline.boundsOfOthers(kBlack)), str(SDL_Rect{220, 142, 201, 101}));
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
  EXPECT_EQ(str(win.boundsOfOthers(kBlack)), str(SDL_Rect{2, 2, 2, 2}));
}

// A screen whose base directory holds two pictures.
class PictureTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(startMediaLibraries(&why)) << why;
    if (!fontsBuilt()) GTEST_SKIP() << "fonts not built";
    ASSERT_TRUE(pictures.add("Image/1.jpg", 40, 30, 200, 60, 40, &why)) << why;
    ASSERT_TRUE(pictures.add("Image/3/5.jpg", 24, 16, 40, 80, 220, &why)) << why;
    screen = makeScreen(640, 384, pictures.base().c_str());
    ASSERT_TRUE(screen->initialized);
    screen->init_disp();
  }
  // Pixels of the rectangle that are within 12 of the colour in each channel.
  static int countNear(const PixelImage& img, const Pixel& p, const SDL_Rect& r) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) n += img.at(x, y).near(p, 12);
    return n;
  }
  PixelImage layer(int n) const { return readPixels(screen->getRenderer(), screen->getLayer(n)); }

  PictureDir pictures;
  std::unique_ptr<edispSDL> screen;
};

TEST_F(PictureTest, PicturesAreDrawnAtTheirOwnSizeAndPosition) {
  LogRecorder log;
  const unsigned long before = screen->getPresentCount();
  screen->draw_image(1, 1, 100, 50);
  PixelImage img = layer(1);
  EXPECT_EQ(str(img.boundsOfOthers(kBlack)), str(SDL_Rect{100, 50, 40, 30}));
  EXPECT_EQ(countNear(img, Pixel{200, 60, 40, 255}, SDL_Rect{100, 50, 40, 30}), 40 * 30);

  screen->draw_image2(5, 2, 3, 0, 0);
  img = layer(2);
  EXPECT_EQ(str(img.boundsOfOthers(kBlack)), str(SDL_Rect{0, 0, 24, 16}));
  EXPECT_EQ(countNear(img, Pixel{40, 80, 220, 255}, SDL_Rect{0, 0, 24, 16}), 24 * 16);

  // Partly off the layer: the visible part is drawn.
  screen->draw_image(1, 3, 620, -10);
  EXPECT_EQ(countNear(layer(3), Pixel{200, 60, 40, 255}, SDL_Rect{600, 0, 40, 30}), 20 * 20);
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

class ScreenConstruction : public ::testing::Test {
protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(startMediaLibraries(&why)) << why;
  }
  std::vector<AlertRequest> alerts;
};

TEST_F(ScreenConstruction, EachMissingFontRaisesItsOwnAlert) {
  auto screen = makeScreen(640, 384, "/nonexistent-tavix-dir/", &alerts);
  EXPECT_FALSE(screen->initialized);
  ASSERT_EQ(alerts.size(), 3u);
  for (const AlertRequest& a : alerts) {
    EXPECT_EQ(a.header, "Error: TTF_OpenFont");
    EXPECT_FALSE(a.message.empty());
    EXPECT_EQ(a.buttons, std::vector<std::string>{"OK"});
  }
}

TEST_F(ScreenConstruction, NoBaseDirectoryMeansTheCurrentOne) {
  if (!fontsBuilt()) GTEST_SKIP() << "fonts not built";
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(buildBasePath()), 0);
  auto screen = makeScreen(640, 384, nullptr, &alerts);
  ASSERT_EQ(chdir(old), 0);
  EXPECT_TRUE(screen->initialized);
  EXPECT_TRUE(alerts.empty());
  LogRecorder log;
  screen->draw_image(99, 0, 0, 0);  // the build directory has a few pictures, not this one
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].text.find("IMG_Load : Couldn't open Image/99.jpg"), std::string::npos) << log.lines[0].text;
}

TEST_F(ScreenConstruction, TexturesThatCannotBeMadeRaiseAlerts) {
  auto screen = makeScreen(0, 0, buildBasePath(), &alerts);
  EXPECT_FALSE(screen->initialized);
  int textureAlerts = 0;
  for (const AlertRequest& a : alerts) textureAlerts += a.header == "Error: SDL_CreateTexture";
  EXPECT_EQ(textureAlerts, 5);
}

}  // namespace
