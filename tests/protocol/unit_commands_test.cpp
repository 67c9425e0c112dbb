// The "@" command group: screen control, shapes, pictures and the firmware
// version report.
#include <SDL_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "parser_harness.h"

namespace parser_test {
namespace {

class UnitCommandTest : public ParserTest {};

const Pixel kBlack{0, 0, 0, 255};

struct ScreenControlCase {
  std::string input;
  int charSize;
  int bgIndex;
  int clearedLayer;  // -1: no layer cleared
  bool initialised;  // every layer black, text and attributes reset
  bool textCleared;
};

TEST_F(UnitCommandTest, ScreenControl) {
  const ScreenControlCase cases[] = {
      {esc("@0Z"), 2, 0, -1, true, true},
      {esc("@4Z"), 0, 0, -1, false, true},
      {esc("@5Z"), 1, 0, -1, false, true},
      {esc("@6Z"), 2, 0, -1, false, true},
      {esc("@5;6Z"), 1, 0, -1, false, true},
      {esc("@30Z"), 2, 0, -1, false, false},
      {esc("@31Z"), 2, 1, -1, false, false},
      {esc("@32Z"), 2, 2, -1, false, false},
      {esc("@33Z"), 2, 3, -1, false, false},
      {esc("@70Z"), 2, 0, 0, false, false},
      {esc("@71Z"), 2, 0, 1, false, false},
      {esc("@72Z"), 2, 0, 2, false, false},
      {esc("@73Z"), 2, 0, 3, false, false},
      // Selectors not in the command set, and no value read.
      {esc("@Z"), 2, 0, -1, false, false},
      {esc("@;Z"), 2, 0, -1, false, false},
      {esc("@1Z"), 2, 0, -1, false, false},
      {esc("@3Z"), 2, 0, -1, false, false},
      {esc("@7Z"), 2, 0, -1, false, false},
      {esc("@29Z"), 2, 0, -1, false, false},
      {esc("@34Z"), 2, 0, -1, false, false},
      {esc("@69Z"), 2, 0, -1, false, false},
      {esc("@74Z"), 2, 0, -1, false, false},
      {esc("@999Z"), 2, 0, -1, false, false},
      {esc("@2147483647Z"), 2, 0, -1, false, false},
      {esc("@4294967300Z"), 2, 0, -1, false, false},
  };
  // Each layer gets its own colour and the text layer some text, so every
  // effect can be told apart.
  const std::string paint = esc("@0;0;640;384;0;0;31744z") + esc("@0;1;640;384;0;0;992z") +
                            esc("@0;2;640;384;0;0;31z") + esc("@0;3;640;384;0;0;32767z") +
                            esc("[1;31m") + "Text";
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset();
    feed(paint);
    Snapshot before = snapshot();
    feed(c.input);
    Snapshot after = snapshot();
    EXPECT_EQ(after.charSize, c.charSize);
    EXPECT_EQ(after.bgIndex, c.bgIndex);
    for (int n = 0; n < 4; ++n) {
      bool black = c.initialised || n == c.clearedLayer;
      if (black) {
        EXPECT_TRUE(after.layers[n].all(kBlack, SDL_Rect{0, 0, 640, 384})) << "layer " << n << " not black";
      } else {
        EXPECT_TRUE(after.layers[n].pixels == before.layers[n].pixels) << "layer " << n << " changed";
      }
    }
    if (c.textCleared || c.initialised) {
      EXPECT_EQ(inkedPixels(after.text, SDL_Rect{0, 0, 640, 384}), 0);
      EXPECT_EQ(after.row, 0);
      EXPECT_EQ(after.col, 0);
    } else {
      EXPECT_TRUE(after.text.pixels == before.text.pixels) << "text layer changed";
      EXPECT_EQ(after.col, before.col);
    }
    if (c.initialised) {
      EXPECT_EQ(after.fg, (Pixel{255, 255, 255, 255}));
      EXPECT_FALSE(after.bold);
    } else {
      EXPECT_EQ(after.fg, before.fg);
      EXPECT_TRUE(after.bold);
    }
  }
}

struct ShapeCase {
  std::string input;
  int layer;                       // -1: nothing drawn anywhere
  std::vector<SDL_Point> coloured;  // pixels that take the colour
  std::vector<SDL_Point> untouched; // pixels that stay black
  Pixel colour;
};

TEST_F(UnitCommandTest, Shapes) {
  const Pixel red{248, 0, 0, 255}, green{0, 248, 0, 255}, blue{0, 0, 248, 255}, grey{248, 248, 248, 255};
  const ShapeCase cases[] = {
      // Filled rectangle: layer, width, height, x, y, colour.
      {esc("@0;1;100;50;10;20;31744z"), 1, {{10, 20}, {109, 69}, {60, 40}}, {{9, 20}, {110, 69}, {109, 70}}, red},
      {esc("@0;1;100;50;10;20;31744;5z"), 1, {{10, 20}, {109, 69}}, {{110, 70}}, red},
      {esc("@0;1;100;50;10;20;31744;5;6;7z"), 1, {{10, 20}, {109, 69}}, {{110, 70}}, red},
      {esc("@0;2;4;4;0;0;65535z"), 2, {{0, 0}, {3, 3}}, {{4, 4}}, grey},
      {esc("@0;1;100;50;10;20z"), -1, {}, {}, red},
      {esc("@0z"), -1, {}, {}, red},
      // Line: layer, x1, y1, x2, y2, colour.
      {esc("@2;0;5;5;50;5;992z"), 0, {{5, 5}, {50, 5}, {27, 5}}, {{4, 5}, {51, 5}, {27, 6}}, green},
      {esc("@2;0;5;5;50;5z"), -1, {}, {}, green},
      // Ellipse: layer, filled, cx, cy, rx, ry, colour.
      {esc("@3;3;1;320;192;100;50;31z"), 3, {{320, 192}, {300, 200}, {221, 192}}, {{320, 120}, {210, 192}}, blue},
      {esc("@3;3;0;320;192;100;50;31z"), 3, {{220, 192}, {420, 192}, {320, 142}}, {{320, 192}, {300, 200}}, blue},
      {esc("@3;3;1;320;192;100;50z"), -1, {}, {}, blue},
      // Outlined rectangle.
      {esc("@4;1;100;50;10;20;31744z"), 1, {{10, 20}, {109, 20}, {10, 69}, {109, 69}}, {{60, 40}, {11, 21}}, red},
      {esc("@4;1;100;50;10;20z"), -1, {}, {}, red},
      // Shapes not in the command set, and layers the screen does not have.
      {esc("@1;0;0;0;0;0;0z"), -1, {}, {}, red},
      {esc("@5;0;100;50;10;20;31744z"), -1, {}, {}, red},
      {esc("@99;0;100;50;10;20;31744;0z"), -1, {}, {}, red},
      {esc("@z"), -1, {}, {}, red},
      {esc("@;z"), -1, {}, {}, red},
      {esc("@0;4;100;50;10;20;31744z"), -1, {}, {}, red},
      {esc("@0;2147483647;100;50;10;20;31744z"), -1, {}, {}, red},
      {esc("@3;7;1;320;192;100;50;31z"), -1, {}, {}, red},
      {esc("@0;0;100;50;10;20;99999999999z"), -1, {}, {}, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset();
    Snapshot before = snapshot();
    feed(c.input);
    Snapshot after = snapshot();
    for (int n = 0; n < 4; ++n) {
      if (n == c.layer) continue;
      EXPECT_TRUE(after.layers[n].pixels == before.layers[n].pixels) << "layer " << n << " changed";
    }
    EXPECT_TRUE(after.text.pixels == before.text.pixels) << "text layer changed";
    if (c.layer < 0) continue;
    const PixelImage& img = after.layers[c.layer];
    for (const auto& p : c.coloured) EXPECT_EQ(img.at(p.x, p.y), c.colour) << "at " << p.x << "," << p.y;
    for (const auto& p : c.untouched) EXPECT_EQ(img.at(p.x, p.y), kBlack) << "at " << p.x << "," << p.y;
  }
}

struct VersionCase {
  std::string input;
  uint32_t expected;
};

TEST_F(UnitCommandTest, FirmwareVersionReport) {
  const uint32_t start = 0x0A0B0C0D;
  const VersionCase cases[] = {
      {esc("@1;2;3;4V"), 0x01020304},
      {esc("@1;2;3;4;5V"), 0x01020304},
      {esc("@1;;2;3;4V"), 0x01020304},
      {esc("@0;0;0;0V"), 0},
      {esc("@255;255;255;255V"), 0xFFFFFFFF},
      {esc("@0;256;0;0V"), 0x01000000},
      {esc("@256;0;0;1V"), 0x00000001},
      {esc("@0;0;0;65535V"), 0x0000FFFF},
      {esc("@2147483647;0;0;0V"), 0xFF000000},
      // Anything but four readable values keeps the last version.
      {esc("@1;2;3V"), start},
      {esc("@V"), start},
      {esc("@;;;V"), start},
      {esc("@1;2;3;>4V"), start},
      {esc("@1;2;3;4294967296V"), start},
      {esc("[1;2;3;4V"), start},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset();
    parser->fwVersion = start;
    feed(c.input);
    EXPECT_EQ(parser->fwVersion, c.expected);
  }

  reset();
  EXPECT_EQ(parser->fwVersion, 0u);
  feed(esc("@1;2;3;4V") + esc("@5;6;7V") + esc("@0Z"));
  EXPECT_EQ(parser->fwVersion, 0x01020304u);
}

// Pictures come from a base directory of the test's own, with the built fonts
// linked into it and three small solid-colour JPEGs.
class PictureCommandTest : public ParserTest {
protected:
  void SetUp() override {
    ParserTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    char dirTemplate[] = "/tmp/tavix-parser-pictures-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    base_ = std::string(dirTemplate) + "/";
    ASSERT_EQ(symlink((std::string(screen_test::buildBasePath()) + "fonts").c_str(), (base_ + "fonts").c_str()), 0);
    ASSERT_EQ(mkdir((base_ + "Image").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((base_ + "Image/3").c_str(), 0755), 0);
    writePicture("Image/1.jpg", 255, 0, 0);
    writePicture("Image/7.jpg", 0, 255, 0);
    writePicture("Image/3/7.jpg", 0, 0, 255);
    parser.reset();
    screen = screen_test::makeScreen(640, 384, base_.c_str());
    ASSERT_TRUE(screen->initialized);
    parser = std::make_unique<EscSeqParser>(screen.get());
  }

  void TearDown() override {
    ParserTest::TearDown();
    for (const char* name : {"Image/3/7.jpg", "Image/7.jpg", "Image/1.jpg", "Image/3", "Image", "fonts"}) {
      std::remove((base_ + name).c_str());
    }
    rmdir(base_.c_str());
  }

  void writePicture(const char* name, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kSize, kSize, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(s, nullptr);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
    ASSERT_EQ(IMG_SaveJPG(s, (base_ + name).c_str(), 95), 0) << IMG_GetError();
    SDL_FreeSurface(s);
  }

  static constexpr int kSize = 16;
  std::string base_;
};

struct PictureCase {
  std::string input;
  int layer;  // -1: nothing drawn
  int x, y;
  Pixel colour;
};

TEST_F(PictureCommandTest, PictureCommands) {
  const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
  const PictureCase cases[] = {
      {esc("@I"), 0, 0, 0, red},
      {esc("@7I"), -1, 0, 0, red},
      {esc("@;I"), -1, 0, 0, red},
      {esc("@7;2I"), 2, 0, 0, green},
      {esc("@7;2;3I"), 2, 0, 0, blue},
      {esc("@7;2;40;30I"), 2, 40, 30, green},
      {esc("@7;1;3;40;30I"), 1, 40, 30, blue},
      {esc("@7;1;3;40;30;9I"), 1, 40, 30, blue},
      {esc("@1;3;;;600;350I"), 3, 600, 350, red},
      {esc("@8;2I"), -1, 0, 0, red},
      {esc("@7;4I"), -1, 0, 0, red},
      {esc("@7;-1I"), -1, 0, 0, red},
      {esc("@7;2;9;0;0I"), -1, 0, 0, red},
      {esc("@7;2;>3I"), -1, 0, 0, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    reset();
    Snapshot before = snapshot();
    feed(c.input);
    Snapshot after = snapshot();
    for (int n = 0; n < 4; ++n) {
      if (n == c.layer) continue;
      EXPECT_TRUE(after.layers[n].pixels == before.layers[n].pixels) << "layer " << n << " changed";
    }
    if (c.layer < 0) continue;
    const PixelImage& img = after.layers[c.layer];
    SDL_Rect drawn = img.boundsOfOthers(kBlack);
    EXPECT_EQ(drawn.x, c.x);
    EXPECT_EQ(drawn.y, c.y);
    EXPECT_EQ(drawn.w, kSize);
    EXPECT_EQ(drawn.h, kSize);
    EXPECT_TRUE(img.at(c.x + kSize / 2, c.y + kSize / 2).near(c.colour, 12))
        << img.at(c.x + kSize / 2, c.y + kSize / 2);
  }
}

}  // namespace
}  // namespace parser_test
