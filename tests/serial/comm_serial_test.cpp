#include <gtest/gtest.h>

#include <SDL_timer.h>

#include <sys/ioctl.h>

#include <algorithm>
#include <string>
#include <thread>

#include "proc_counts.h"
#include "pty_pair.h"
#include "serial/CommSerial.h"

unsigned int probeLineSpeed(int fd);  // line_speed_probe.cpp

namespace {

// Waits (at most 5 s) until the ring holds n bytes, then takes up to n.
std::string readBytes(CommSerial& port, unsigned n) {
  for (int ms = 0; port.getReadableBytes() < n && ms < 5000; ++ms) SDL_Delay(1);
  std::string got(n, '\0');
  got.resize(port.read(reinterpret_cast<unsigned char*>(&got[0]), n));
  return got;
}

// A byte sequence with no short period: a lost, doubled or reordered stretch shows.
std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (uint32_t i = 0, x = 12345; i < n; ++i) s[i] = static_cast<char>((x = x * 1103515245u + 12345u) >> 23);
  return s;
}

class CommSerialTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()); }
  PtyPair pty;
  CommSerial port;
};

TEST_F(CommSerialTest, ClosedPortIsInertAndRefusedOpensLeaveItClosed) {
  unsigned char buf[4] = {1, 2, 3, 4};
  port.ClosePort();
  EXPECT_EQ(port.read(buf, sizeof buf), 0u);
  EXPECT_EQ(port.write(buf, sizeof buf), 0);
  const struct { const char* path; unsigned long rate; } refused[] = {{"/dev/does-not-exist-tavix", 230400}, {"/dev/null", 230400}, {nullptr, 230400},
                 {pty.path(), 0}, {pty.path(), sizeof(unsigned long) > 4 ? 0x100000000ul : 0}};
  for (const auto& r : refused) {
    EXPECT_FALSE(port.OpenPort(r.path, r.rate)) << (r.path ? r.path : "null") << " " << r.rate;
    EXPECT_EQ(port.fd.load(), -1);
  }
  // Already open: refused, and the first connection keeps working.
  ASSERT_TRUE(port.OpenPort(pty.path(), 230400));
  EXPECT_FALSE(port.OpenPort(pty.path(), 230400));
  ASSERT_TRUE(pty.write("ok"));
  EXPECT_EQ(readBytes(port, 2), "ok");
}

TEST_F(CommSerialTest, EveryRateIsSetExactlyAndCyclesLeakNothingAndCloseWithoutWaitingForTheReader) {
  // 250000 has no speed code: it goes through the kernel's arbitrary rate.
  const unsigned long rates[] = {50,     75,     110,    134,    150,     200,     300,     600,     1200,
                                 1800,   2400,   4800,   9600,   19200,   38400,   57600,   115200,  230400,
                                 460800, 500000, 576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000,
                                 3000000, 3500000, 4000000, 250000};
  ASSERT_TRUE(port.OpenPort(pty.path(), 9600));  // whatever SDL sets up once is not counted
  port.ClosePort();
  const int fds = proc_counts::openDescriptors(), threads = proc_counts::threadCount();
  for (unsigned long rate : rates) {
    ASSERT_TRUE(port.OpenPort(pty.path(), rate)) << rate;
    EXPECT_EQ(probeLineSpeed(port.fd.load()), rate);
    port.clearSerialPortBuffers();  // flushing keeps the rate
    EXPECT_EQ(probeLineSpeed(port.fd.load()), rate);
    SDL_Delay(20);  // the reader is in its wait, which has no time-out: the close must wake it
    port.ClosePort();
    EXPECT_EQ(port.getReadableBytes(), 0u) << rate;
  }
  EXPECT_EQ(proc_counts::openDescriptors(), fds);
  EXPECT_EQ(proc_counts::threadCount(), threads);
}

TEST_F(CommSerialTest, EveryByteValuePassesBothWaysOverReopenedPorts) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);  // CR, LF, XON, XOFF, ^C, DEL among them
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_TRUE(pty.write("stale"));  // waits in the driver while closed, dropped at open
    for (int queued = 0; ioctl(pty.slaveFd(), FIONREAD, &queued) == 0 && queued < 5;) SDL_Delay(1);
    ASSERT_TRUE(port.OpenPort(pty.path(), 230400));
    ASSERT_TRUE(pty.write(all));
    EXPECT_EQ(readBytes(port, 256), all) << "cycle " << cycle;
    EXPECT_EQ(port.write(reinterpret_cast<const unsigned char*>(all.data()), 256), 256);
    EXPECT_EQ(pty.readExactly(256, 5000), all) << "cycle " << cycle;
    ASSERT_TRUE(pty.write("left over"));
    EXPECT_EQ(readBytes(port, 4), "left");
    port.ClosePort();
    EXPECT_EQ(port.getReadableBytes(), 0u) << "cycle " << cycle;
  }
}

TEST_F(CommSerialTest, FloodMuchLargerThanTheRingArrivesWholeWhileDrainedSlowly) {
  ASSERT_TRUE(port.OpenPort(pty.path(), 230400));
  const std::string sent = pattern(2 << 20);  // 512 times the ring
  bool written = false;
  std::thread unit([&] { written = pty.write(sent, 20000); });
  std::string received;
  unsigned char piece[CommSerial::kRingSize];
  unsigned most = 0;
  for (int pass = 0, idle = 0; received.size() < sent.size() && idle < 20000; ++pass) {
    most = std::max(most, port.getReadableBytes());
    // Bites of varying size, and now and then a pause until the ring is full.
    while (pass % 64 == 0 && port.getReadableBytes() < CommSerial::kRingSize - 1 && received.size() + port.getReadableBytes() < sent.size()) SDL_Delay(1);
    const unsigned got = port.read(piece, 1 + pass * 977 % sizeof piece);
    received.append(reinterpret_cast<const char*>(piece), got);
    idle = got ? 0 : idle + 1;
    if (got == 0) SDL_Delay(1);
  }
  unit.join();
  EXPECT_TRUE(written);
  ASSERT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent) << "bytes lost, doubled or out of order";
  EXPECT_EQ(most, 4095u) << "the ring holds one less than its 4096 slots, and a fast peer fills it";
}

}  // namespace
