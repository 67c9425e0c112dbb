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
  std::unique_ptr<ScriptedUnit> first(new ScriptedUnit(true, "Hello")), second;
  ASSERT_TRUE(first->ok());
  const std::string link = dir.file("cu.usbmodemMB0001");
  ASSERT_TRUE(pointLink(link, first->path()));

  enum { Steady, Drawing, WaitingForLoss, WaitingForReopen, WaitingForKeepAlive, WaitingForText } step = Steady;
  double loopStart = 0, unpluggedAt = 0, lossSeenAt = 0, reopenSeenAt = 0;
  screen_test::Pixel drawn{}, cleared{};
  int lostRow = -1, lostCol = -1, textCol = -1;
  auto pixel = [](const AppProbe& probe) {
    return screen_test::readPixel(probe.disp->getRenderer(), probe.disp->getLayer(0), 20, 20);
  };

  const int status = runLoop(config(link), [&](const AppProbe& probe) {
    switch (step) {
      case Steady:
        // Past the first two passes the keep-alive byte is due every 3000 ms.
        if (loopStart == 0) loopStart = nowMs();
        if (nowMs() - loopStart > 300) step = Drawing;
        break;
      case Drawing:
        probe.disp->draw_fillrect(0, 100, 50, 10, 10, 0x7FFF);
        drawn = pixel(probe);
        first->unplug();
        unpluggedAt = nowMs();
        step = WaitingForLoss;
        break;
      case WaitingForLoss:
        if (probe.serial->fd >= 0) break;
        lossSeenAt = nowMs();
        lostRow = probe.disp->getCursorRow();
        lostCol = probe.disp->getCursorCol();
        cleared = pixel(probe);
        second.reset(new ScriptedUnit(true));
        pointLink(link, second->path());
        step = WaitingForReopen;
        break;
      case WaitingForReopen:
        if (probe.serial->fd < 0) break;
        reopenSeenAt = nowMs();
        step = WaitingForKeepAlive;
        break;
      case WaitingForKeepAlive:
        if (second->keepAliveTimes().empty()) break;
        second->send("\x1b[2;3HZ");
        step = WaitingForText;
        break;
      case WaitingForText:
        if (probe.disp->getCursorRow() != 2) break;
        textCol = probe.disp->getCursorCol();
        return false;
    }
    return true;
  });

  EXPECT_EQ(status, 0);
  ASSERT_EQ(textCol, 4) << "the new unit's output is parsed again";
  EXPECT_EQ(drawn, (screen_test::Pixel{248, 248, 248, 255}));
  EXPECT_NE(cleared, drawn) << "layer 0 is cleared when the link is lost";
  // The hung-up port gives the loss away long before the next keep-alive byte.
  EXPECT_LE(lossSeenAt - unpluggedAt, 1000) << "noticed from the hang-up";
  // "Not Connected." at row 11, column 33 leaves the cursor behind it.
  EXPECT_EQ(lostRow, 11);
  EXPECT_EQ(lostCol, 33 + 14);

  // The reopened port gets no handshake: its first byte is a keep-alive
  // byte, about 1000 ms after the reopen.
  const double firstKeepAlive = second->keepAliveTimes().at(0);
  EXPECT_GE(firstKeepAlive - reopenSeenAt, 700);
  EXPECT_LE(firstKeepAlive - reopenSeenAt, 2500);
  EXPECT_EQ(second->versionRequests(), 0);
  EXPECT_EQ(static_cast<unsigned char>(second->received().at(0)), 0xFE);
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
  EXPECT_EQ(runLoop(config(unit.path()),
                    [&](const AppProbe& probe) {
                      const double now = nowMs();
                      if (loopStart == 0) {
                        loopStart = now;
                        pushWindowEvent(probe, SDL_WINDOWEVENT_FOCUS_GAINED);
                      } else if (now - loopStart < 4500 && now - lastTyped >= 400) {
                        SDL_Event text{};
                        text.type = SDL_TEXTINPUT;
                        text.text.windowID = SDL_GetWindowID(probe.disp->getWindow());
                        text.text.text[0] = 'a';
                        SDL_PushEvent(&text);
                        lastTyped = now;
                        ++typed;
                      }
                      return now - loopStart < 5500;
                    }),
            0);

  const std::string received = unit.received();
  EXPECT_GE(typed, 8);
  EXPECT_EQ(std::count(received.begin(), received.end(), 'a'), typed);
  // The wake-up byte and the first two passes; none while the user typed.
  EXPECT_EQ(unit.keepAliveTimes().size(), 3u);
}

}  // namespace
}  // namespace app_test
