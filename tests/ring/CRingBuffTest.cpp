#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "serial/ringbuff.h"

namespace {

TEST(CRingBuffTest, AllocRefusesSizesThatAreNoPowerOfTwo) {
  CRingBuff<unsigned char> ring;
  EXPECT_FALSE(ring.alloc(0));
  EXPECT_EQ(ring.storage, nullptr);
  EXPECT_FALSE(ring.alloc(1000));
  EXPECT_EQ(ring.storage, nullptr);
  EXPECT_EQ(ring.count(), 0u);
  EXPECT_EQ(ring.freeSlots(), 0u);

  ASSERT_TRUE(ring.alloc(16));
  EXPECT_EQ(ring.size, 16u);
  EXPECT_EQ(ring.mask, 15u);
  EXPECT_EQ(ring.count(), 0u);
  EXPECT_EQ(ring.freeSlots(), 15u);
}

TEST(CRingBuffTest, RingWithoutArrayDropsAndYieldsNothing) {
  CRingBuff<unsigned char> ring;
  ring.write1(7);
  unsigned char out[4];
  EXPECT_EQ(ring.take(out, 4), 0u);
  ASSERT_TRUE(ring.alloc(8));
  ring.write1(1);
  ring.release();
  EXPECT_EQ(ring.storage, nullptr);
  EXPECT_EQ(ring.size, 0u);
  EXPECT_EQ(ring.writeIndex.load(), 0u);
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
  EXPECT_EQ(ring.take(out, 3), 3u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 3);
  EXPECT_EQ(ring.count(), 4u);
  EXPECT_EQ(ring.freeSlots(), 3u);
  EXPECT_EQ(ring.take(out, 0), 0u);
  EXPECT_EQ(ring.take(out, 8), 4u);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 7);
  EXPECT_EQ(ring.take(out, 8), 0u);
}

TEST(CRingBuffTest, IndicesPastTwoToThe32KeepCountsAndSlots) {
  CRingBuff<unsigned char> ring;
  ASSERT_TRUE(ring.alloc(4096));
  ring.writeIndex = 0xFFFFFFF0u;
  ring.readIndex = 0xFFFFFFF0u;
  EXPECT_EQ(ring.count(), 0u);

  for (int i = 0; i < 40; ++i) ring.write1(static_cast<unsigned char>(i));
  EXPECT_EQ(ring.writeIndex.load(), 0x18u);
  EXPECT_EQ(ring.count(), 40u);
  EXPECT_EQ(ring.freeSlots(), 4095u - 40u);
  // The slots before and after the wrap sit where the masked index says.
  EXPECT_EQ(ring.storage[0xFF0], 0);
  EXPECT_EQ(ring.storage[0xFFF], 15);
  EXPECT_EQ(ring.storage[0x000], 16);

  unsigned char out[40];
  EXPECT_EQ(ring.take(out, 20), 20u);
  EXPECT_EQ(ring.readIndex.load(), 0x4u);
  EXPECT_EQ(ring.count(), 20u);
  EXPECT_EQ(ring.take(out + 20, 40), 20u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(out[i], i);

  // Full across the wrap: write index behind the read index once masked.
  ring.writeIndex = 0xFFFFFFFFu;
  ring.readIndex = 0x00000000u;
  EXPECT_EQ(ring.count(), 4095u);
  EXPECT_EQ(ring.freeSlots(), 0u);
}

TEST(CRingBuffTest, ProducerWaitsWhileFullAndLosesNothing) {
  CRingBuff<unsigned char> ring;
  ASSERT_TRUE(ring.alloc(4));
  ring.write1(1);
  ring.write1(2);
  ring.write1(3);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    ring.write1(4);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(ring.count(), 3u);

  unsigned char out[4];
  EXPECT_EQ(ring.take(out, 1), 1u);
  producer.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(ring.take(out + 1, 3), 3u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 3);
  EXPECT_EQ(out[3], 4);
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
  uint32_t expected = 0;
  uint32_t wrong = 0;
  unsigned maxCount = 0;
  while (expected < total) {
    const unsigned stored = ring.count();
    if (stored > maxCount) maxCount = stored;
    const uint32_t n = ring.take(buf.data(), static_cast<uint32_t>(buf.size()));
    if (n == 0) {
      std::this_thread::yield();
      continue;
    }
    for (uint32_t i = 0; i < n; ++i) {
      if (buf[i] != expected + i) ++wrong;
    }
    expected += n;
  }
  producer.join();
  EXPECT_EQ(expected, total);
  EXPECT_EQ(wrong, 0u);
  EXPECT_LE(maxCount, 4095u);
  EXPECT_EQ(ring.count(), 0u);
}

}  // namespace
