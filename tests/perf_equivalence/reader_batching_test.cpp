// The serial reader takes whatever is waiting in one read: under a flood the
// bytes still arrive whole and in order, the ring never holds more than it
// can, and closing the port still stops the reader promptly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"
#include "serial/CommSerial.h"

namespace {

// A byte sequence with no short period, so a lost, doubled or reordered
// stretch shows at once.
std::string patternBytes(std::size_t n) {
  std::string s(n, '\0');
  uint32_t x = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 23);
  }
  return s;
}

TEST(ReaderBatchingTest, FloodArrivesWholeAndInOrderThroughAFullRing) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CommSerial serial;
  ASSERT_TRUE(serial.OpenPort(pty.path(), 230400));

  const std::string sent = patternBytes(1 << 20);
  std::atomic<bool> written{false};
  std::thread unit([&] { written = pty.write(sent, 20000); });

  std::string received;
  received.reserve(sent.size());
  std::vector<unsigned char> piece(CommSerial::kRingSize);
  unsigned most = 0;
  int rounds = 0;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (received.size() < sent.size() && std::chrono::steady_clock::now() < giveUp) {
    const unsigned waiting = serial.getReadableBytes();
    most = std::max(most, waiting);
    ASSERT_LE(waiting, CommSerial::kRingSize - 1);
    // Take pieces of varying size and now and then let the ring fill up.
    const unsigned want = 1 + static_cast<unsigned>(rounds * 977 % CommSerial::kRingSize);
    const unsigned got = serial.read(piece.data(), want);
    received.append(reinterpret_cast<const char*>(piece.data()), got);
    if (++rounds % 16 == 0 || got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  unit.join();
  EXPECT_TRUE(written.load());
  ASSERT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent) << "bytes lost, doubled or out of order";
  EXPECT_EQ(most, CommSerial::kRingSize - 1) << "the ring should have filled while the reader waited";
  serial.ClosePort();
}

TEST(ReaderBatchingTest, ClosingDuringAFloodStopsTheReaderWithinOneWait) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CommSerial serial;
  ASSERT_TRUE(serial.OpenPort(pty.path(), 230400));
  std::atomic<bool> stop{false};
  std::thread unit([&] {
    const std::string chunk = patternBytes(4096);
    while (!stop.load()) pty.write(chunk, 200);
  });
  unsigned char sink[CommSerial::kRingSize];
  for (int i = 0; i < 50; ++i) {
    serial.read(sink, sizeof sink);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const auto before = std::chrono::steady_clock::now();
  serial.ClosePort();
  const auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
  stop = true;
  unit.join();
  EXPECT_EQ(serial.fd.load(), -1);
  EXPECT_EQ(serial.getReadableBytes(), 0u);
  // One wait is half a second; clearing the port may take another half.
  EXPECT_LT(tookMs, 2500);
}

}  // namespace
