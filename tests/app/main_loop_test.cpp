#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "app_harness.h"
#include "screen/edispSDL.h"
#include "screen_fixture.h"
#include "serial/CommSerial.h"

namespace app_test {
namespace {

// Points the link at target, replacing any previous one in a single step.
bool pointLink(const std::string& link, const std::string& target) {
  const std::string temporary = link + ".new";
  unlink(temporary.c_str());
  return symlink(target.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), link.c_str()) == 0;
}

TEST_F(AppTest, LostLinkClearsTheScreenAndReconnects) {
  std::unique_ptr<ScriptedUnit> first(new ScriptedUnit(true, "Hello"));
  std::unique_ptr<ScriptedUnit> second;
  ASSERT_TRUE(first->ok());
  const std::string link = dir.file("cu.usbmodemMB0001");
  ASSERT_TRUE(pointLink(link, first->path()));

  enum { Steady, Drawing, WaitingForLoss, WaitingForReopen, WaitingForKeepAlive, WaitingForText, Done } step = Steady;
  double loopStart = 0, unpluggedAt = 0, lossSeenAt = 0, reopenSeenAt = 0;
  screen_test::Pixel drawn{}, cleared{};
  int lostRow = -1, lostCol = -1;
  int textRow = -1, textCol = -1;
  const screen_test::Pixel white{248, 248, 248, 255};

  const int status = run(config(link), [&](const AppProbe& probe) {
    if (probe.stage != AppProbe::LoopPass) {
      return;
    }
    switch (step) {
      case Steady:
        // Past the first two passes the keep-alive byte is due every 3000 ms.
        if (loopStart == 0) {
          loopStart = nowMs();
        } else if (nowMs() - loopStart > 300) {
          step = Drawing;
        }
        break;
      case Drawing:
        probe.disp->draw_fillrect(0, 100, 50, 10, 10, 0x7FFF);
        drawn = screen_test::readPixel(probe.disp->getRenderer(), probe.disp->getLayer(0), 20, 20);
        first->unplug();
        unpluggedAt = nowMs();
        step = WaitingForLoss;
        break;
      case WaitingForLoss:
        if (probe.serial->fd < 0) {
          lossSeenAt = nowMs();
          lostRow = probe.disp->getCursorRow();
          lostCol = probe.disp->getCursorCol();
          cleared = screen_test::readPixel(probe.disp->getRenderer(), probe.disp->getLayer(0), 20, 20);
          second.reset(new ScriptedUnit(true));
          pointLink(link, second->path());
          step = WaitingForReopen;
        }
        break;
      case WaitingForReopen:
        if (probe.serial->fd >= 0) {
          reopenSeenAt = nowMs();
          step = WaitingForKeepAlive;
        }
        break;
      case WaitingForKeepAlive:
        if (!second->keepAliveTimes().empty()) {
          second->send("\x1b[2;3HZ");
          step = WaitingForText;
        }
        break;
      case WaitingForText:
        if (probe.disp->getCursorRow() == 2) {
          textRow = probe.disp->getCursorRow();
          textCol = probe.disp->getCursorCol();
          step = Done;
          pushQuit();
        }
        break;
      case Done:
        break;
    }
  });

  EXPECT_EQ(status, 0);
  ASSERT_EQ(step, Done);
  EXPECT_EQ(drawn, white);
  EXPECT_NE(cleared, white) << "layer 0 is cleared when the link is lost";
  // The hung-up port gives the loss away long before the next keep-alive byte.
  EXPECT_LE(lossSeenAt - unpluggedAt, 1000) << "noticed from the hang-up";
  // "Not Connected." at row 11, column 33 leaves the cursor behind it.
  EXPECT_EQ(lostRow, 11);
  EXPECT_EQ(lostCol, 33 + 14);

  // The reopened port gets no handshake: its first byte is a keep-alive
  // byte, about 1000 ms after the reopen.
  ASSERT_FALSE(second->keepAliveTimes().empty());
  const double firstKeepAlive = second->keepAliveTimes()[0];
  EXPECT_GE(firstKeepAlive - reopenSeenAt, 700);
  EXPECT_LE(firstKeepAlive - reopenSeenAt, 2500);
  EXPECT_EQ(second->versionRequests(), 0);
  EXPECT_EQ(static_cast<unsigned char>(second->received().at(0)), 0xFE);
  // The new unit's output is parsed again.
  EXPECT_EQ(textRow, 2);
  EXPECT_EQ(textCol, 4);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(AppTest, TypingPostponesTheKeepAlive) {
  ScriptedUnit unit;
  ASSERT_TRUE(unit.ok());
  // Use up window id 1, as an earlier window of the process would.
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  SDL_DestroyWindow(SDL_CreateWindow("earlier", 0, 0, 16, 16, SDL_WINDOW_HIDDEN));
  double loopStart = 0, lastTyped = 0;
  int typed = 0;
  EXPECT_EQ(run(config(unit.path()),
                [&](const AppProbe& probe) {
                  if (probe.stage != AppProbe::LoopPass) {
                    return;
                  }
                  const double now = nowMs();
                  if (loopStart == 0) {
                    loopStart = now;
                    // SDL numbers windows per process: this is not window 1
                    // when other tests made windows before.
                    pushWindowEvent(windowIdOf(probe), SDL_WINDOWEVENT_FOCUS_GAINED, 0, 0);
                    return;
                  }
                  if (now - loopStart < 4500 && now - lastTyped >= 400) {
                    SDL_Event text{};
                    text.type = SDL_TEXTINPUT;
                    text.text.windowID = windowIdOf(probe);
                    text.text.text[0] = 'a';
                    SDL_PushEvent(&text);
                    lastTyped = now;
                    ++typed;
                  } else if (now - loopStart >= 5500) {
                    pushQuit();
                  }
                }),
            0);

  const std::string received = unit.received();
  const size_t typedArrived = std::count(received.begin(), received.end(), 'a');
  EXPECT_GE(typed, 8);
  EXPECT_EQ(typedArrived, static_cast<size_t>(typed));
  // The wake-up byte and the first two passes; none while the user typed.
  EXPECT_EQ(unit.keepAliveTimes().size(), 3u);
}

}  // namespace
}  // namespace app_test
