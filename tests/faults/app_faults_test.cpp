// The whole program against a unit that is unplugged, stops reading while the user types, or sends garbage.
#include <random>

#include "app_harness.h"
#include "proc_counts.h"
#include "protocol/EscSeqParser.h"
#include "serial/CommSerial.h"

namespace app_test {
namespace {

class FaultAppTest : public AppTest {
protected:
  void SetUp() override { replug(); }
  // A new unit behind the device link; the old one is unplugged.
  void replug() {
    unit.reset(new ScriptedUnit);
    ASSERT_TRUE(pointLink(link, unit->path()));
  }
  static bool cursorAt(const AppProbe& p, int row, int col) { return p.disp->getCursorRow() == row && p.disp->getCursorCol() == col; }
  // A reconnection attempt draws "Not Connected." at row 11, column 33; the
  // cursor is moved away after each, so every attempt is seen once.
  static bool attempted(const AppProbe& probe) { return cursorAt(probe, 11, 47) && (probe.disp->move(0, 0), true); }

  const std::string link = dir.file("cu.usbmodemMB0001");
  std::unique_ptr<ScriptedUnit> unit;
};

TEST_F(FaultAppTest, HangUpThenReconnectionAfterCountedAttemptsAndTheNewUnitIsParsed) {
  enum { Connecting, Drawing, Lost, Back, Done } step = Connecting;
  int attempts = 0;
  EXPECT_EQ(runLoop(config(link),
                    [&](const AppProbe& probe) {
                      if (step == Lost || step == Back) attempts += attempted(probe);
                      if (step == Connecting && unit->keepAlives() >= 3)
                        unit->send("\x1b@0;0;100;50;10;10;32767z\x1b[3;5HX"), step = Drawing;
                      if (step == Drawing && cursorAt(probe, 3, 6)) unit->unplug(), step = Lost;
                      if (step == Lost && attempts == 3) replug(), step = Back;
                      if (step == Back && probe.serial->fd >= 0 && unit->keepAlives() > 0)
                        unit->send("\x1b[2;3HZ"), step = Done;
                      return step != Done || !cursorAt(probe, 2, 4);
                    }),
            0);
  EXPECT_EQ(attempts, 4) << "three while unplugged, the fourth opens the new unit's port";
  // The reopened port gets no handshake: a keep-alive byte comes first.
  EXPECT_EQ(unit->received().substr(0, 1), "\xFE");
  EXPECT_EQ(unit->received().find("\x1b@999y"), std::string::npos);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(FaultAppTest, UnitThatStopsReadingWhileTheUserTypesIsDroppedAndTheWindowKeepsRunning) {
  enum { Connecting, Typing, AfterLoss } step = Connecting;
  int passesAfterLoss = 0;
  EXPECT_EQ(runLoop(config(link),
                    [&](const AppProbe& probe) {
                      if (step == Connecting && unit->keepAlives() >= 3) {
                        pushEvent(probe, SDL_WINDOWEVENT_FOCUS_GAINED);
                        unit->stopReading();
                        EXPECT_GT(unit->fillLineTowardsUnit(), 0u);
                        step = Typing;
                      } else if (step == Typing) {
                        unit->fillLineTowardsUnit();
                        pushEvent(probe, 0, 'a');
                        if (probe.serial->fd < 0 || attempted(probe)) step = AfterLoss;
                      }
                      return step != AfterLoss || (pushEvent(probe, 0, 'b'), ++passesAfterLoss < 50);
                    }),
            0);
  EXPECT_EQ(passesAfterLoss, 50) << "the link is dropped although the user keeps typing, and the window runs on";
}

TEST_F(FaultAppTest, TypingWhileUnpluggedLeavesTheReconnectionAttemptsTheirRhythm) {
  int attempts = 0, passes = 0;
  EXPECT_EQ(runLoop(config(link),
                    [&](const AppProbe& probe) {
                      if (passes == 0 && unit->keepAlives() < 3) return true;
                      if (passes++ == 0) pushEvent(probe, SDL_WINDOWEVENT_FOCUS_GAINED), unit->unplug();
                      pushEvent(probe, 0, 'a');
                      return (attempts += attempted(probe)) < 4 && passes < 600;
                    }),
            0);
  EXPECT_EQ(attempts, 4) << "one at the loss, then one a second while the user types";
}

TEST_F(FaultAppTest, UnitThatStallsRightAfterTheOpenIsAskedForItsVersionAgain) {
  std::thread stall([&] {
    while (unit->received().empty()) SDL_Delay(1);  // the wake-up byte came
    unit->stopReading();
    for (int ms = 0; ms < 1200; ms += 5) unit->fillLineTowardsUnit(), SDL_Delay(5);  // the first request times out
    unit->stopReading(false);
  });
  uint32_t version = 0;
  EXPECT_EQ(runLoop(config(link), [&](const AppProbe& probe) { return version = probe.parser->fwVersion, false; }), 0);
  stall.join();
  EXPECT_EQ(version, 0x01020304u);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(FaultAppTest, GarbageAndRepeatedUnplugsLeakNothingAndAQuitStillEndsTheRun) {
  std::mt19937 random(20261206);
  const auto garbage = [&] {
    std::string bytes = "\x1b[1;" + std::string(500, '7') + std::string(300, '\x82') + "\x1b@" + std::string(300, ';');
    while (bytes.size() < 4096) bytes += static_cast<char>(random() & 0xFF);
    return bytes;
  };
  int cycle = 0, fds = -1, tasks = -1;
  bool sent = false;
  EXPECT_EQ(runLoop(config(link),
                    [&](const AppProbe& probe) {
                      if (probe.serial->fd < 0 || unit->keepAlives() == 0) return true;
                      if (!sent) return sent = unit->send(garbage());
                      if (probe.serial->getReadableBytes() != 0) return true;
                      if (++cycle == 2) fds = proc_counts::openDescriptors(), tasks = proc_counts::threadCount();
                      if (cycle == 6) {
                        EXPECT_EQ(proc_counts::openDescriptors(), fds);
                        EXPECT_EQ(proc_counts::threadCount(), tasks);
                        return !unit->send(garbage());
                      }
                      replug();
                      return !(sent = false);
                    }),
            0);
  EXPECT_EQ(cycle, 6);
}

}  // namespace
}  // namespace app_test
