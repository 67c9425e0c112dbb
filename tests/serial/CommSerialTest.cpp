#include <gtest/gtest.h>

#include <SDL_timer.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "proc_counts.h"
#include "pty_pair.h"
#include "serial/CommSerial.h"

// line_speed_probe.cpp: the line speed in bit/s as the kernel reports it,
// also for rates without a speed code; 0 where it cannot be read.
unsigned int probeLineSpeed(int fd);

namespace {

using Clock = std::chrono::steady_clock;

const unsigned long kSpeed = 230400;
const unsigned kRingCapacity = CommSerial::kRingSize - 1;

long msSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}


// Waits until the ring holds at least n bytes; returns what it holds then.
unsigned waitReadable(CommSerial& port, unsigned n, int timeoutMs = 3000) {
  const auto start = Clock::now();
  while (port.getReadableBytes() < n && msSince(start) < timeoutMs) SDL_Delay(1);
  return port.getReadableBytes();
}

std::string readAll(CommSerial& port) {
  unsigned char buf[512];
  return std::string(reinterpret_cast<char*>(buf), port.read(buf, sizeof buf));
}

// Byte i of the streamed test pattern: not periodic at the ring's size.
unsigned char patternByte(uint64_t i) {
  return static_cast<unsigned char>((i * 131u) ^ (i >> 9) ^ (i >> 17));
}

class CommSerialTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()); }
  void open() { ASSERT_TRUE(port.OpenPort(pty.path(), kSpeed)); }

  PtyPair pty;
  CommSerial port;
};

TEST_F(CommSerialTest, ClosedPortIsInertAndOpenFailsCleanly) {
  unsigned char buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(port.getReadableBytes(), 0u);
  EXPECT_EQ(port.read(buf, sizeof buf), 0u);
  EXPECT_EQ(port.write(buf, sizeof buf), 0);
  port.clearSerialPortBuffers();
  port.ClosePort();

  const struct {
    const char* path;
    unsigned long rate;
  } refused[] = {{"/dev/does-not-exist-tavix", kSpeed}, {"/dev/null", kSpeed}, {nullptr, kSpeed},
                 {pty.path(), 0}, {pty.path(), sizeof(unsigned long) > 4 ? 0x100000000ul : 0}};
  for (const auto& r : refused) {
    EXPECT_FALSE(port.OpenPort(r.path, r.rate)) << (r.path ? r.path : "null") << " " << r.rate;
    EXPECT_EQ(port.fd.load(), -1);
  }

  // Already open: refused, and the first connection keeps working.
  open();
  const int first = port.fd.load();
  EXPECT_FALSE(port.OpenPort(pty.path(), kSpeed));
  EXPECT_EQ(port.fd.load(), first);
  ASSERT_TRUE(pty.write("ok"));
  EXPECT_EQ(waitReadable(port, 2), 2u);
}

TEST_F(CommSerialTest, EveryByteValueArrivesInOrderUntranslated) {
  open();
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  // CR, LF, XON, XOFF, ^C and DEL among them: a raw line passes them all.
  ASSERT_TRUE(pty.write(all));
  ASSERT_EQ(waitReadable(port, 256), 256u);
  SDL_Delay(20);
  EXPECT_EQ(port.getReadableBytes(), 256u);
  unsigned char buf[300];
  EXPECT_EQ(port.read(buf, 0), 0u);
  EXPECT_EQ(port.read(buf, 100), 100u);
  EXPECT_EQ(port.read(buf + 100, sizeof buf - 100), 156u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 256), all);
  EXPECT_EQ(port.read(buf, sizeof buf), 0u);
}

TEST_F(CommSerialTest, WriteReachesThePeerUnchanged) {
  open();
  const std::string data("\x1b[A\r\n\0\x11\x13\xff", 9);
  EXPECT_EQ(port.write(reinterpret_cast<const unsigned char*>(data.data()), data.size()), 9);
  EXPECT_EQ(pty.readExactly(data.size(), 2000), data);
  EXPECT_EQ(port.write(reinterpret_cast<const unsigned char*>(data.data()), 0), 0);
}

TEST_F(CommSerialTest, LineIsRaw8N1AtTheRequestedSpeedAndClosesWithinOneWait) {
  open();
  struct termios t;
  ASSERT_EQ(tcgetattr(port.fd.load(), &t), 0);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CREAD);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
  EXPECT_FALSE(t.c_iflag & (IXON | ICRNL | INLCR | IGNCR | ISTRIP));
  EXPECT_FALSE(t.c_oflag & OPOST);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 1);
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B230400));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B230400));
  EXPECT_FALSE(fcntl(port.fd.load(), F_GETFL) & O_NONBLOCK);

  // A silent port closes within one 0.5 s wait plus slack for a busy machine.
  SDL_Delay(20);
  const auto start = Clock::now();
  port.ClosePort();
  EXPECT_LT(msSince(start), 1500);
  EXPECT_EQ(port.fd.load(), -1);
}

TEST_F(CommSerialTest, EveryRateIsSetExactlyWithOrWithoutASpeedCode) {
  // 0 as the code: no speed code, set through the kernel's arbitrary rate.
  const struct {
    unsigned long rate;
    speed_t code;
  } cases[] = {{9600, B9600}, {115200, B115200}, {460800, B460800}, {4000000, B4000000}, {250000, 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(port.OpenPort(pty.path(), c.rate)) << c.rate;
    struct termios t;
    ASSERT_EQ(tcgetattr(port.fd.load(), &t), 0);
    if (c.code != 0) {
      EXPECT_EQ(cfgetospeed(&t), c.code) << c.rate;
    }
    EXPECT_EQ(probeLineSpeed(port.fd.load()), c.rate);
    port.clearSerialPortBuffers();  // flushing keeps the rate
    EXPECT_EQ(probeLineSpeed(port.fd.load()), c.rate);
    ASSERT_TRUE(pty.write("x"));
    EXPECT_EQ(waitReadable(port, 1), 1u) << c.rate;
    port.ClosePort();
  }
}

TEST_F(CommSerialTest, StreamArrivesCompleteAndInOrderWhileDrainedSlowly) {
  // The size can be lowered for slow (sanitizer) builds.
  uint64_t total = 10u * 1024 * 1024;
  if (const char* env = std::getenv("TAVIX_STREAM_BYTES")) total = std::strtoull(env, nullptr, 10);
  open();

  std::atomic<bool> writerOk{true};
  std::thread writer([&] {
    std::vector<unsigned char> chunk(8192);
    for (uint64_t sent = 0; sent < total && writerOk;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), total - sent));
      for (size_t i = 0; i < n; ++i) chunk[i] = patternByte(sent + i);
      if (!pty.write(chunk.data(), n, 20000)) writerOk = false;
      sent += n;
    }
  });

  uint64_t received = 0, firstBad = total;
  unsigned maxStored = 0;
  unsigned char buf[700];
  auto lastProgress = Clock::now();
  while (received < total && writerOk && msSince(lastProgress) < 20000) {
    maxStored = std::max(maxStored, port.getReadableBytes());
    // A slow consumer: a bounded bite per pass, then a pause.
    const unsigned n = port.read(buf, sizeof buf);
    for (unsigned i = 0; i < n; ++i) {
      if (firstBad == total && buf[i] != patternByte(received + i)) firstBad = received + i;
    }
    received += n;
    if (n > 0) lastProgress = Clock::now();
    SDL_Delay(1);
  }
  writerOk = false;
  pty.drain(10);
  writer.join();

  EXPECT_EQ(received, total);
  EXPECT_EQ(firstBad, total) << "first wrong byte at offset " << firstBad;
  // The fast peer keeps the ring full most of the time.
  EXPECT_EQ(maxStored, kRingCapacity);
}

TEST_F(CommSerialTest, HungUpPeerShowsAsFailedWrite) {
  open();
  pty.closeMaster();
  const unsigned char keepAlive = 0x00;
  EXPECT_NE(port.write(&keepAlive, 1), 1);
  const auto start = Clock::now();
  port.ClosePort();
  EXPECT_LT(msSince(start), 1500);
  EXPECT_EQ(port.fd.load(), -1);
}

TEST_F(CommSerialTest, ReopenStartsEmptyAndDropsWhatWasPending) {
  open();
  ASSERT_TRUE(pty.write("old bytes"));
  ASSERT_EQ(waitReadable(port, 9), 9u);
  port.ClosePort();
  EXPECT_EQ(port.getReadableBytes(), 0u);

  // Sent while the port was closed: waits in the driver, dropped at open.
  ASSERT_TRUE(pty.write("stale"));
  SDL_Delay(20);
  open();
  SDL_Delay(100);
  EXPECT_EQ(port.getReadableBytes(), 0u);
  ASSERT_TRUE(pty.write("fresh"));
  ASSERT_EQ(waitReadable(port, 5), 5u);
  SDL_Delay(20);
  EXPECT_EQ(readAll(port), "fresh");
}

TEST_F(CommSerialTest, HundredOpenCloseCyclesLeakNoDescriptorOrThread) {
  // Warm-up: whatever SDL sets up once is not counted.
  open();
  port.ClosePort();
  const int fdsBefore = proc_counts::openDescriptors();
  const int tasksBefore = proc_counts::threadCount();

  // A steady trickle from the peer keeps the reader waking up, so each
  // close is quick and happens while bytes are moving.
  std::atomic<bool> stop{false};
  std::thread feeder([&] {
    const char b = 'z';
    while (!stop) {
      if (::write(pty.masterFd(), &b, 1) < 0) pty.drain(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  int opened = 0;
  for (int i = 0; i < 100; ++i) {
    opened += port.OpenPort(pty.path(), kSpeed);
    SDL_Delay(1);
    port.ClosePort();
    EXPECT_EQ(port.getReadableBytes(), 0u);
  }
  stop = true;
  feeder.join();

  EXPECT_EQ(opened, 100);
  EXPECT_EQ(port.fd.load(), -1);
  EXPECT_EQ(proc_counts::openDescriptors(), fdsBefore);
  EXPECT_EQ(proc_counts::threadCount(), tasksBefore);
}

}  // namespace
