#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "serial/ringbuff.h"

namespace {

TEST(CRingBuffTest, RefusesSizesThatAreNoPowerOfTwoAndDropsWithoutArray) {
  CRingBuff<unsigned char> ring;
  EXPECT_FALSE(ring.alloc(0));
  EXPECT_FALSE(ring.alloc(1000));
  EXPECT_EQ(ring.storage, nullptr);
  ring.write1(7);  // no array: dropped, not stored
  unsigned char out[4];
  EXPECT_EQ(ring.take(out, 4), 0u);
  EXPECT_EQ(ring.freeSlots(), 0u);

  ASSERT_TRUE(ring.alloc(8));
  ring.write1(1);
  ring.release();
  EXPECT_EQ(ring.storage, nullptr);
  ring.write1(2);
  EXPECT_EQ(ring.count(), 0u);
}

TEST(CRingBuffTest, HoldsOneLessThanItsSizeOldestFirst) {
  CRingBuff<unsigned char> ring;
  ASSERT_TRUE(ring.alloc(8));
  for (unsigned char v = 1; v <= 7; ++v) ring.write1(v);
  EXPECT_EQ(ring.count(), 7u);
  EXPECT_EQ(ring.freeSlots(), 0u);

  unsigned char out[8] = {0};
  EXPECT_EQ(ring.take(out, 0), 0u);
  EXPECT_EQ(ring.take(out, 3), 3u);
  EXPECT_EQ(ring.freeSlots(), 3u);
  EXPECT_EQ(ring.take(out + 3, 8), 4u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], i + 1);
  EXPECT_EQ(ring.take(out, 8), 0u);
}

TEST(CRingBuffTest, IndicesPastTwoToThe32KeepCountsAndOrder) {
  CRingBuff<unsigned char> ring;
  ASSERT_TRUE(ring.alloc(4096));
  ring.writeIndex = 0xFFFFFFF0u;
  ring.readIndex = 0xFFFFFFF0u;
  for (int i = 0; i < 40; ++i) ring.write1(static_cast<unsigned char>(i));
  EXPECT_EQ(ring.count(), 40u);
  EXPECT_EQ(ring.freeSlots(), 4095u - 40u);

  unsigned char out[40];
  EXPECT_EQ(ring.take(out, 20), 20u);
  EXPECT_EQ(ring.take(out + 20, 40), 20u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(out[i], i);

  // Full across the wrap: write index behind the read index once masked.
  ring.writeIndex = 0xFFFFFFFFu;
  ring.readIndex = 0u;
  EXPECT_EQ(ring.count(), 4095u);
  EXPECT_EQ(ring.freeSlots(), 0u);
}

TEST(CRingBuffTest, ProducerWaitsWhileFullAndLosesNothing) {
  CRingBuff<unsigned char> ring;
  ASSERT_TRUE(ring.alloc(4));
  for (unsigned char v = 1; v <= 3; ++v) ring.write1(v);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    ring.write1(4);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(done.load());

  unsigned char out[4];
  EXPECT_EQ(ring.take(out, 1), 1u);
  producer.join();
  EXPECT_EQ(ring.take(out + 1, 3), 3u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], i + 1);
}

TEST(CRingBuffTest, TenMillionValuesPassBetweenThreadsInOrder) {
  const uint32_t total = 10 * 1000 * 1000;
  CRingBuff<uint32_t> ring;
  ASSERT_TRUE(ring.alloc(4096));
  // Start both sides near the wrap so it is crossed under load too.
  ring.writeIndex = 0xFFFFF000u;
  ring.readIndex = 0xFFFFF000u;

  std::thread producer([&] {
    for (uint32_t v = 0; v < total; ++v) ring.write1(v);
  });
  std::vector<uint32_t> buf(1024);
  uint32_t expected = 0, wrong = 0;
  unsigned maxCount = 0;
  while (expected < total) {
    maxCount = std::max(maxCount, ring.count());
    const uint32_t n = ring.take(buf.data(), static_cast<uint32_t>(buf.size()));
    if (n == 0) std::this_thread::yield();
    for (uint32_t i = 0; i < n; ++i) wrong += buf[i] != expected + i;
    expected += n;
  }
  producer.join();
  EXPECT_EQ(wrong, 0u);
  EXPECT_LE(maxCount, 4095u);
  EXPECT_EQ(ring.count(), 0u);
}

}  // namespace
