// Ellipses at their pixels: identical to SDL2_gfx wherever that library's
// arithmetic holds, the right shape for every 16-bit radius beyond it.
#include <SDL2_gfxPrimitives.h>

#include "screen_fixture.h"

using namespace screen_test;

namespace {

const Pixel kBlue{0, 0, 248, 255};  // colour 0x001F

class EllipseTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(startMediaLibraries());
    screen = makeScreen();
    ASSERT_TRUE(screen->initialized);
  }
  ScreenTestView look() { return ScreenTestView(*screen); }
  PixelImage layer(int n) { return readPixels(look().renderer(), look().layer(n)); }
  std::unique_ptr<edispSDL> screen;
};

TEST_F(EllipseTest, SameAsTheLibraryWhereItsArithmeticHolds) {
  const int centres[][2] = {{320, 192}, {0, 0}, {-50, 100}, {700, -20}, {639, 383}};
  const int radii[] = {0, 1, 2, 5, 31, 100, 150, 300, 700};
  for (const auto& c : centres)
    for (int rx : radii)
      for (int ry : radii)
        for (int filled = 0; filled < 2; ++filled) {
          screen->clear_bgbuff(0);
          screen->clear_bgbuff(1);
          screen->draw_ellipse(0, filled, c[0], c[1], rx, ry, 0x001F);
          SDL_SetRenderTarget(look().renderer(), look().layer(1));
          (filled ? filledEllipseRGBA : ellipseRGBA)(look().renderer(), c[0], c[1], rx, ry, 0, 0, 248, 255);
          ASSERT_TRUE(layer(0).pixels == layer(1).pixels) << c[0] << "," << c[1] << " " << rx << "x" << ry << " " << filled;
        }
}

TEST_F(EllipseTest, LargeRadiiKeepTheirShape) {
  // 100 by 4000 about the screen's centre: every row x 220..420.
  screen->draw_ellipse(0, 1, 320, 192, 100, 4000, 0x001F);
  PixelImage tall = layer(0);
  for (int y = 0; y < 384; ++y) {
    ASSERT_EQ(tall.count(kBlue, SDL_Rect{220, y, 201, 1}), 201) << y;
    ASSERT_EQ(tall.count(kBlue, SDL_Rect{0, y, 640, 1}), 201) << y;
  }
  // The largest circle covers the whole layer.
  screen->draw_ellipse(1, 1, 320, 192, 32767, 32767, 0x001F);
  EXPECT_EQ(layer(1).count(kBlue), 640 * 384);
  // The top of a circle of radius 30000 is a line across rows 192..194.
  screen->draw_ellipse(2, 0, 320, 30192, 30000, 30000, 0x001F);
  PixelImage arc = layer(2);
  EXPECT_EQ(arc.count(kBlue, SDL_Rect{0, 0, 640, 192}) + arc.count(kBlue, SDL_Rect{0, 195, 640, 189}), 0);
  for (int x = 0; x < 640; ++x) ASSERT_GE(arc.count(kBlue, SDL_Rect{x, 192, 1, 3}), 1) << x;
  // A centre near the end of the 16-bit range: the left end at x 200.
  screen->draw_ellipse(3, 1, 32000, 192, 31800, 100, 0x001F);
  PixelImage wide = layer(3);
  EXPECT_EQ(wide.count(kBlue, SDL_Rect{0, 192, 199, 1}), 0);
  EXPECT_EQ(wide.count(kBlue, SDL_Rect{201, 192, 439, 1}), 439);
}

}  // namespace
