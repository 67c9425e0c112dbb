// The demonstration as the display program shows it: the simulated unit's
// bytes go through the program's own parser onto a real screen, and the
// pixels are checked where the demo puts its box, marks, pictures and echo.
#include <gtest/gtest.h>

#include <string>

#include "DemoScript.h"
#include "HostInputDecoder.h"
#include "protocol/EscSeqParser.h"
#include "screen_fixture.h"

namespace {

using screen_test::Pixel;

const Pixel kHeader{32, 64, 160, 255};
const Pixel kTile{40, 40, 72, 255};
const Pixel kHighlight{248, 200, 0, 255};
const Pixel kMark{248, 80, 80, 255};
const Pixel kEllipse{0, 160, 120, 255};
const Pixel kBlack{0, 0, 0, 255};

class DemoOnScreenTest : public screen_test::ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    parser.reset(new EscSeqParser(screen.get()));
  }
  void TearDown() override {
    parser.reset();
    ScreenTest::TearDown();
  }

  void play(const Script& script) {
    screen->stopUpdate();
    for (const ScriptStep& step : script)
      for (char c : step.bytes) parser->ParseByte(static_cast<unsigned char>(c));
    screen->resumeUpdate();
  }

  void press(HostEvent::Kind kind, int number = 0, int code = 0, int x = 0, int y = 0) {
    HostEvent e;
    e.kind = kind;
    e.number = number;
    e.code = code;
    e.x = x;
    e.y = y;
    play(demo.react(e));
  }
  void click(int code, int x, int y) { press(HostEvent::Mouse, 0, code, x, y); }

  Pixel tileCentre(int col, int row) {
    return screen_test::readPixel(screen->getRenderer(), screen->getLayer(0),
                                  DemoScript::tileX(col) + DemoScript::kTileWidth / 2,
                                  DemoScript::tileY(row) + DemoScript::kTileHeight / 2);
  }

  Pixel layerPixel(int layer, int x, int y) {
    return screen_test::readPixel(screen->getRenderer(), screen->getLayer(layer), x, y);
  }

  DemoScript demo{"1.0.0.0"};
  std::unique_ptr<EscSeqParser> parser;
};

TEST_F(DemoOnScreenTest, TitlePageDrawsItsShapesAndReactsToArrowsAndClicks) {
  play(demo.showPage());
  EXPECT_EQ(screen->getBgBuffIndex(), 0);
  EXPECT_EQ(layerPixel(0, 620, 8), kHeader);
  EXPECT_EQ(layerPixel(0, 536, 124), kEllipse);
  EXPECT_EQ(tileCentre(0, 0), kHighlight);
  EXPECT_EQ(tileCentre(7, 2), kTile);
  const Pixel picture = layerPixel(0, 448 + 80, 216 + 20);  // sky of Image/3.jpg
  EXPECT_GT(picture.b, 150) << "the picture was not drawn: " << picture;

  press(HostEvent::Right);
  press(HostEvent::Down);
  EXPECT_EQ(tileCentre(0, 0), kTile);
  EXPECT_EQ(tileCentre(1, 1), kHighlight);
  press(HostEvent::Up);
  press(HostEvent::Up);  // off the top: to the bottom row
  press(HostEvent::Left);
  press(HostEvent::Left);  // off the left edge: to the last column
  EXPECT_EQ(tileCentre(1, 1), kTile);
  EXPECT_EQ(tileCentre(DemoScript::kBoxColumns - 1, DemoScript::kBoxRows - 1), kHighlight);

  click(1 | 0x08, 300, 150);  // a click seen only by its release
  EXPECT_EQ(layerPixel(0, 300 + 9, 150), kMark);
  EXPECT_EQ(layerPixel(0, 300, 150 - 9), kMark);
  click(1, 65533, 20);  // left of the window: nothing
  click(0, 100, 380);   // a drag leaves a dot
  EXPECT_NE(layerPixel(0, 100, 380), layerPixel(0, 110, 380));
}

TEST_F(DemoOnScreenTest, TypedCharactersAreEchoedAndBackspaceErasesThem) {
  play(demo.showPage());
  auto blank = [&](int col) {
    SDL_Rect cell{col * 8, 20 * 16, 8, 16};
    return textLayer(&cell).countTransparent({0, 0, 8, 16}) == 8 * 16;
  };
  EXPECT_TRUE(blank(8));
  press(HostEvent::Char, 'W');
  press(HostEvent::Char, 'M');
  EXPECT_FALSE(blank(8));
  EXPECT_FALSE(blank(9));
  EXPECT_EQ(demo.echoText(), "WM");
  press(HostEvent::Back);
  EXPECT_TRUE(blank(9));
  EXPECT_FALSE(blank(8));
  press(HostEvent::Enter);
  EXPECT_TRUE(blank(8));
}

TEST_F(DemoOnScreenTest, WheelTurnsToTheLayersPageWhereFunctionKeysShowEachLayer) {
  play(demo.showPage());
  press(HostEvent::WheelDown);
  EXPECT_EQ(demo.page(), DemoScript::kLayersPage);
  EXPECT_EQ(screen->getBgBuffIndex(), 0);
  press(HostEvent::Function, 2);
  EXPECT_EQ(screen->getBgBuffIndex(), 1);
  // Layer 1 holds the test pattern: light grey bar at the left.
  const Pixel bar = layerPixel(1, 30, 100);
  EXPECT_TRUE(bar.near(Pixel{192, 192, 192, 255}, 16)) << bar;
  // Layer 3 holds the folder's pictures on a dark ground.
  EXPECT_NE(layerPixel(3, 16 + 72, 56 + 20), layerPixel(3, 8, 380)) << "folder picture 1 missing";
  press(HostEvent::WheelRight);
  EXPECT_EQ(screen->getBgBuffIndex(), 2);
  press(HostEvent::WheelUp);
  EXPECT_EQ(demo.page(), DemoScript::kTitlePage);
  press(HostEvent::WheelUp);  // before the first page: the last one
  EXPECT_EQ(demo.page(), DemoScript::kPageCount - 1);
  EXPECT_EQ(screen->getBgBuffIndex(), 0);

  // Leaving the layers page clears its layers.
  press(HostEvent::PageDown);
  press(HostEvent::PageDown);
  ASSERT_EQ(demo.page(), DemoScript::kLayersPage);
  ASSERT_NE(layerPixel(3, 16 + 72, 56 + 20), kBlack);
  press(HostEvent::PageDown);
  EXPECT_EQ(layerPixel(3, 16 + 72, 56 + 20), kBlack);
  EXPECT_EQ(layerPixel(1, 30, 100), kBlack);
}

}  // namespace
