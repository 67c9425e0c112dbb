#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "serial/ringbuff.h"

namespace {

TEST(CRingBuffTest, HoldsOneLessThanItsSizeOldestFirstAndClears) {
  CRingBuff<unsigned char, 8> ring;
  unsigned char out[8] = {0};
  for (int round = 0; round < 3; ++round) {  // the slots wrap in later rounds
    for (unsigned char v = 1; v <= 7; ++v) ring.write1(v);
    EXPECT_EQ(ring.count(), 7u);
    EXPECT_EQ(ring.freeSlots(), 0u);
    EXPECT_EQ(ring.take(out, 0), 0u);
    EXPECT_EQ(ring.take(out, 3), 3u);
    EXPECT_EQ(ring.freeSlots(), 3u);
    EXPECT_EQ(ring.take(out + 3, 8), 4u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], i + 1) << "round " << round;
  }
  ring.write1(9);
  ring.clear();
  EXPECT_EQ(ring.count(), 0u);
  EXPECT_EQ(ring.take(out, 8), 0u);
}

TEST(CRingBuffTest, ProducerWaitsWhileFullAndValuesPassBetweenThreadsInOrder) {
  const uint32_t total = 2 * 1000 * 1000;
  CRingBuff<uint32_t> ring;
  std::thread producer([&] {
    for (uint32_t v = 0; v < total; ++v) ring.write1(v);
  });
  std::vector<uint32_t> buf(1024);
  uint32_t expected = 0, wrong = 0, most = 0;
  for (int pass = 0; expected < total; ++pass) {
    most = std::max(most, ring.count());
    const uint32_t n = ring.take(buf.data(), static_cast<uint32_t>(buf.size()));
    // Now and then a pause until the producer has filled the ring.
    while (pass % 256 == 0 && ring.count() < 4095 && expected + n + ring.count() < total) std::this_thread::yield();
    for (uint32_t i = 0; i < n; ++i) wrong += buf[i] != expected + i;
    expected += n;
  }
  producer.join();
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(most, 4095u);
}

}  // namespace
