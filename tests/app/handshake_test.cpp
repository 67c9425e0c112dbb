#include <unistd.h>

#include <atomic>
#include <thread>

#include "app_harness.h"
#include "protocol/EscSeqParser.h"
#include "screen/edispSDL.h"
#include "serial/CommSerial.h"

namespace app_test {
namespace {

const char kTimedOut[] = "Communication with T.A.V.I.X has timed out.";

TEST_F(AppTest, AnsweringUnitIsAskedOnceItsLaterBytesDiscardedAndKeptAlive) {
  ScriptedUnit unit(true, "ABC");
  ASSERT_TRUE(unit.ok());
  int rowAfterHandshake = -1, colAfterHandshake = -1, rowInLoop = -1, colInLoop = -1;
  unsigned waitingBeforeDiscard = 0, waitingInLoop = 99;
  unsigned long presentsBefore = 0;
  double loopStart = 0;
  uint32_t version = 0;
  EXPECT_EQ(run(config(unit.path()),
                [&](const AppProbe& probe) {
                  if (probe.stage == AppProbe::VersionWaited) {
                    rowAfterHandshake = probe.disp->getCursorRow();
                    colAfterHandshake = probe.disp->getCursorCol();
                    presentsBefore = probe.disp->getPresentCount();
                    unit.send("HELLO\r\n");
                    for (int i = 0; i < 200 && probe.serial->getReadableBytes() < 7; ++i) SDL_Delay(10);
                    waitingBeforeDiscard = probe.serial->getReadableBytes();
                  } else if (probe.stage == AppProbe::LoopPass && loopStart == 0) {
                    loopStart = nowMs();
                    version = probe.parser->fwVersion;
                    rowInLoop = probe.disp->getCursorRow();
                    colInLoop = probe.disp->getCursorCol();
                    waitingInLoop = probe.serial->getReadableBytes();
                  } else if (probe.stage == AppProbe::LoopPass && nowMs() - loopStart > 3700) {
                    pushQuit();
                  }
                }),
            0);

  EXPECT_EQ(version, 0x01020304u);
  // The greeting was parsed during the settle step; bytes after the version
  // are thrown away unparsed.
  EXPECT_EQ(rowAfterHandshake, 0);
  EXPECT_EQ(colAfterHandshake, 3);
  EXPECT_GT(presentsBefore, 0u);
  EXPECT_EQ(waitingBeforeDiscard, 7u);
  EXPECT_EQ(waitingInLoop, 0u);
  EXPECT_EQ(rowInLoop, rowAfterHandshake) << "discarded bytes must not reach the screen";
  EXPECT_EQ(colInLoop, colAfterHandshake);

  const std::vector<double> requests = unit.versionRequestTimes();
  const std::vector<double> keepAlives = unit.keepAliveTimes();
  ASSERT_EQ(requests.size(), 1u);
  // The wait ends at the first quiet poll after the reply, not after the
  // full budget of empty polls.
  EXPECT_LT(loopStart - requests[0], 900);
  // One at the wake-up, two in the first two passes, then one 3000 ms after
  // the loop began.
  ASSERT_EQ(keepAlives.size(), 4u);
  EXPECT_LT(keepAlives[0], requests[0]);
  EXPECT_GE(keepAlives[1], requests[0]);
  EXPECT_LE(keepAlives[2] - keepAlives[1], 500) << "the second pass sends the second byte";
  EXPECT_GE(keepAlives[3] - keepAlives[1], 2500);
  EXPECT_LE(keepAlives[3] - keepAlives[1], 4500);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(AppTest, SilentUnitIsAskedTenTimesThenTheRunEnds) {
  ScriptedUnit unit(false);
  ASSERT_TRUE(unit.ok());
  bool looped = false;
  double alertAt = 0;
  onAlert = [&](const AlertRequest&) {
    alertAt = nowMs();
    unlink(prefsPath().c_str());
  };
  EXPECT_EQ(run(config(unit.path()),
                [&](const AppProbe& probe) { looped = looped || probe.stage == AppProbe::LoopPass; }),
            0);

  EXPECT_FALSE(looped);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, kTimedOut);
  EXPECT_EQ(alerts[0].message, "Exit tavixDisp.");
  EXPECT_TRUE(fileExists(prefsPath())) << "the preference file is written after the alert";

  const std::vector<double> requests = unit.versionRequestTimes();
  ASSERT_EQ(requests.size(), 10u);
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_GE(requests[i] - requests[i - 1], 900) << "request " << i;
    EXPECT_LE(requests[i] - requests[i - 1], 5000) << "request " << i;
  }
  EXPECT_GE(alertAt - requests.back(), 900);
  EXPECT_EQ(unit.keepAliveTimes().size(), 1u) << "only the wake-up byte";
}

TEST_F(AppTest, UnitThatNeverFallsSilentCannotHoldUpTheHandshake) {
  ScriptedUnit unit(false);
  ASSERT_TRUE(unit.ok());
  std::atomic<bool> chatting{true};
  std::thread chatter([&] {
    for (; chatting; std::this_thread::sleep_for(std::chrono::milliseconds(50))) unit.send(".");
  });
  const int status = run(config(unit.path()));
  chatting = false;
  chatter.join();

  EXPECT_EQ(status, 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, kTimedOut);
  EXPECT_EQ(unit.versionRequests(), 10);
}

}  // namespace
}  // namespace app_test
