// The serial link against a unit that misbehaves at the line level: one that
// stops taking bytes, and one that disappears.
#include <gtest/gtest.h>

#include <SDL_timer.h>
#include <time.h>

#include <chrono>
#include <string>

#include "pty_pair.h"
#include "serial/CommSerial.h"

namespace {

using Clock = std::chrono::steady_clock;

const unsigned long kSpeed = 230400;

long msSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

double processCpuSeconds() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Writes until the port takes nothing more; returns what it took.
size_t fillTowardsPeer(CommSerial& port) {
  std::string block(1024, 'x');
  size_t taken = 0;
  for (int i = 0; i < 4096; ++i) {
    const int n = port.write(reinterpret_cast<const unsigned char*>(block.data()), block.size());
    if (n > 0) taken += static_cast<size_t>(n);
    if (n != static_cast<int>(block.size())) break;
  }
  return taken;
}

bool waitLinkLost(CommSerial& port, int timeoutMs) {
  const auto start = Clock::now();
  while (!port.linkLost() && msSince(start) < timeoutMs) SDL_Delay(5);
  return port.linkLost();
}

class SerialFaultTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(unit.ok());
    ASSERT_TRUE(port.OpenPort(unit.path(), kSpeed));
  }

  PtyPair unit;
  CommSerial port;
};

TEST_F(SerialFaultTest, WriteToAUnitThatStopsReadingGivesUpInAboutHalfASecond) {
  EXPECT_FALSE(port.linkLost());

  // The unit reads nothing: the line fills, and the write that finds it
  // full comes back with what fitted instead of blocking.
  const auto start = Clock::now();
  const size_t taken = fillTowardsPeer(port);
  const long ms = msSince(start);
  EXPECT_GT(taken, 0u);
  EXPECT_GE(ms, CommSerial::kWriteWaitMs * 8 / 10);
  EXPECT_LE(ms, CommSerial::kWriteWaitMs * 3) << "the stalled write must give up";
  EXPECT_TRUE(port.linkLost());

  // A lost link refuses further bytes at once, so a keep-alive byte shows
  // the loss without another wait.
  const unsigned char keepAlive = 0xFE;
  const auto again = Clock::now();
  EXPECT_NE(port.write(&keepAlive, 1), 1);
  EXPECT_LT(msSince(again), 100);

  // A fresh connection starts clean and the line works again once drained.
  port.ClosePort();
  EXPECT_FALSE(port.linkLost());
  unit.drain(50);
  ASSERT_TRUE(port.OpenPort(unit.path(), kSpeed));
  unit.drain(50);
  EXPECT_EQ(port.write(&keepAlive, 1), 1);
  EXPECT_EQ(unit.readExactly(1, 2000), std::string(1, '\xFE'));
  EXPECT_FALSE(port.linkLost());
}

TEST_F(SerialFaultTest, HungUpPortIsReportedSoonAndTheReaderIdles) {
  ASSERT_TRUE(unit.write("abc"));
  SDL_Delay(50);
  unit.closeMaster();

  const auto start = Clock::now();
  ASSERT_TRUE(waitLinkLost(port, 2000)) << "a hung-up port must be reported";
  EXPECT_LT(msSince(start), 1000);

  // What came before the hang-up is still there to be parsed.
  unsigned char got[8] = {0};
  EXPECT_EQ(port.read(got, sizeof got), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 3), "abc");

  const double cpuBefore = processCpuSeconds();
  SDL_Delay(500);
  const double cpuUsed = processCpuSeconds() - cpuBefore;
  EXPECT_LT(cpuUsed, 0.1) << "reader used " << cpuUsed << " s of CPU in 0.5 s";

  port.ClosePort();
  EXPECT_FALSE(port.linkLost());
}

TEST_F(SerialFaultTest, QuietOrBusyLiveLinkIsNeverReportedLostNorDelayed) {
  // Writes that fit go out at once.
  const std::string report = "\x1b[A\x1b[B\r";
  const auto start = Clock::now();
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(port.write(reinterpret_cast<const unsigned char*>(report.data()), report.size()),
              static_cast<int>(report.size()));
    unit.drain(0);
  }
  EXPECT_LT(msSince(start), 1000);
  // Several of the reader's waits pass with nothing on the line.
  SDL_Delay(1200);
  EXPECT_FALSE(port.linkLost());
  // Traffic both ways, with the ring drained now and then.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(unit.write(std::string(200, 'a' + i % 26)));
    const unsigned char b = 'k';
    EXPECT_EQ(port.write(&b, 1), 1);
    unit.drain(0);
    unsigned char sink[4096];
    port.read(sink, sizeof sink);
    SDL_Delay(5);
  }
  EXPECT_FALSE(port.linkLost());
}

}  // namespace
