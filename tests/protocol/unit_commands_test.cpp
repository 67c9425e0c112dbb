// The "@" command group: screen control, shapes, pictures and the firmware
// version report.
#include <vector>

#include "parser_harness.h"
#include "picture_dir.h"

namespace parser_test {
namespace {

class UnitCommandTest : public ParserTest {};

const Pixel kBlack{0, 0, 0, 255};

TEST_F(UnitCommandTest, ScreenControl) {
  const struct {
    std::string input;
    int charSize, bgIndex;
    int clearedLayer;  // -1: no layer cleared
    bool initialised;  // every layer black, text and attributes reset
    bool textCleared;
  } cases[] = {
      {esc("@0Z"), 2, 0, -1, true, true},     {esc("@4Z"), 0, 0, -1, false, true},
      {esc("@5Z"), 1, 0, -1, false, true},    {esc("@5;6Z"), 1, 0, -1, false, true},
      {esc("@30Z"), 2, 0, -1, false, false},  {esc("@31Z"), 2, 1, -1, false, false},
      {esc("@33Z"), 2, 3, -1, false, false},  {esc("@70Z"), 2, 0, 0, false, false},
      {esc("@71Z"), 2, 0, 1, false, false},   {esc("@73Z"), 2, 0, 3, false, false},
      // Selectors not in the command set, and no value read.
      {esc("@Z"), 2, 0, -1, false, false},    {esc("@;Z"), 2, 0, -1, false, false},
      {esc("@1Z"), 2, 0, -1, false, false},   {esc("@7Z"), 2, 0, -1, false, false},
      {esc("@34Z"), 2, 0, -1, false, false},  {esc("@74Z"), 2, 0, -1, false, false},
      {esc("@2147483647Z"), 2, 0, -1, false, false}, {esc("@4294967300Z"), 2, 0, -1, false, false},
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
      if (c.initialised || n == c.clearedLayer) {
        EXPECT_TRUE(after.layers[n].all(kBlack, SDL_Rect{0, 0, 640, 384})) << "layer " << n << " not black";
      } else {
        EXPECT_TRUE(after.layers[n].pixels == before.layers[n].pixels) << "layer " << n << " changed";
      }
    }
    const bool homed = c.textCleared || c.initialised;
    EXPECT_EQ(inkedPixels(after.text, SDL_Rect{0, 0, 640, 384}) == 0, homed);
    EXPECT_EQ(after.col, homed ? 0 : before.col);
    EXPECT_EQ(after.row, homed ? 0 : before.row);
    EXPECT_EQ(after.fg, c.initialised ? (Pixel{255, 255, 255, 255}) : before.fg);
    EXPECT_EQ(after.bold, !c.initialised);
  }
}

TEST_F(UnitCommandTest, Shapes) {
  const Pixel red{248, 0, 0, 255}, green{0, 248, 0, 255}, blue{0, 0, 248, 255}, grey{248, 248, 248, 255};
  const struct {
    std::string input;
    int layer;                         // -1: nothing drawn anywhere
    std::vector<SDL_Point> coloured;   // pixels that take the colour
    std::vector<SDL_Point> untouched;  // pixels that stay black
    Pixel colour;
  } cases[] = {
      // Filled rectangle: layer, width, height, x, y, colour.
      {esc("@0;1;100;50;10;20;31744z"), 1, {{10, 20}, {109, 69}, {60, 40}}, {{9, 20}, {110, 69}, {109, 70}}, red},
      {esc("@0;1;100;50;10;20;31744;5z"), 1, {{10, 20}, {109, 69}}, {{110, 70}}, red},
      {esc("@0;2;4;4;0;0;65535z"), 2, {{0, 0}, {3, 3}}, {{4, 4}}, grey},
      {esc("@0;1;100;50;10;20z"), -1, {}, {}, red},
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
      {esc("@0;4;100;50;10;20;31744z"), -1, {}, {}, red},
      {esc("@0;2147483647;100;50;10;20;31744z"), -1, {}, {}, red},
      {esc("@3;7;1;320;192;100;50;31z"), -1, {}, {}, red},
      {esc("@0;0;100;50;10;20;99999999999z"), -1, {}, {}, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    const Snapshot after = feedChangingOnlyLayer(c.input, c.layer);
    if (c.layer < 0) continue;
    const PixelImage& img = after.layers[c.layer];
    for (const auto& p : c.coloured) EXPECT_EQ(img.at(p.x, p.y), c.colour) << "at " << p.x << "," << p.y;
    for (const auto& p : c.untouched) EXPECT_EQ(img.at(p.x, p.y), kBlack) << "at " << p.x << "," << p.y;
  }
}

TEST_F(UnitCommandTest, FirmwareVersionReport) {
  const uint32_t start = 0x0A0B0C0D;
  const struct {
    std::string input;
    uint32_t expected;
  } cases[] = {
      {esc("@1;2;3;4V"), 0x01020304},  {esc("@1;;2;3;4V"), 0x01020304},      {esc("@255;255;255;255V"), 0xFFFFFFFF},
      {esc("@0;256;0;0V"), 0x01000000}, {esc("@256;0;0;1V"), 0x00000001},    {esc("@0;0;0;65535V"), 0x0000FFFF},
      {esc("@2147483647;0;0;0V"), 0xFF000000},
      // Anything but four readable values keeps the last version.
      {esc("@1;2;3V"), start},          {esc("@V"), start},                   {esc("@1;2;3;>4V"), start},
      {esc("@1;2;3;4294967296V"), start}, {esc("[1;2;3;4V"), start},
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

// Pictures come from a base directory of the test's own holding three small
// solid-colour JPEGs.
class PictureCommandTest : public ParserTest {
protected:
  void SetUp() override {
    ParserTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string why;
    ASSERT_TRUE(pictures.add("Image/1.jpg", kSize, kSize, 255, 0, 0, &why)) << why;
    ASSERT_TRUE(pictures.add("Image/7.jpg", kSize, kSize, 0, 255, 0, &why)) << why;
    ASSERT_TRUE(pictures.add("Image/3/7.jpg", kSize, kSize, 0, 0, 255, &why)) << why;
    parser.reset();
    screen = screen_test::makeScreen(640, 384, pictures.base().c_str());
    ASSERT_TRUE(screen->initialized);
    parser = std::make_unique<EscSeqParser>(screen.get());
  }

  static constexpr int kSize = 16;
  screen_test::PictureDir pictures;
};

TEST_F(PictureCommandTest, PictureCommands) {
  const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
  const struct {
    std::string input;
    int layer;  // -1: nothing drawn
    int x, y;
    Pixel colour;
  } cases[] = {
      {esc("@I"), 0, 0, 0, red},
      {esc("@7I"), -1, 0, 0, red},
      {esc("@;I"), -1, 0, 0, red},
      {esc("@7;2I"), 2, 0, 0, green},
      {esc("@7;2;3I"), 2, 0, 0, blue},
      {esc("@7;2;40;30I"), 2, 40, 30, green},
      {esc("@7;1;3;40;30;9I"), 1, 40, 30, blue},
      {esc("@1;3;;;600;350I"), 3, 600, 350, red},
      {esc("@8;2I"), -1, 0, 0, red},
      {esc("@7;4I"), -1, 0, 0, red},
      {esc("@7;2;9;0;0I"), -1, 0, 0, red},
      {esc("@7;2;>3I"), -1, 0, 0, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(show(c.input));
    const Snapshot after = feedChangingOnlyLayer(c.input, c.layer);
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
