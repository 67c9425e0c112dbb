// Fixed-capacity single-producer, single-consumer ring. Both indices run
// freely and wrap at 2^32; a slot is the index masked by Size - 1, so Size
// must be a power of two. One slot always stays empty: the ring holds at most
// Size - 1 elements.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

template <typename T, uint32_t Size = 4096>
class CRingBuff {
  static_assert(Size >= 2 && (Size & (Size - 1)) == 0, "the ring's size must be a power of two");

public:
  static constexpr uint32_t kCapacity = Size - 1;

  CRingBuff() : storage(new T[Size]), writeIndex(0), readIndex(0) {}
  ~CRingBuff() { delete[] storage; }
  CRingBuff(const CRingBuff&) = delete;
  CRingBuff& operator=(const CRingBuff&) = delete;

  // Producer side: stores one element, waiting while the ring is full.
  void write1(T value);
  // Producer side: stores all len elements, or none when they do not fit.
  bool put(const T* src, uint32_t len);

  // Elements stored and slots free, from the two indices as they stand.
  uint32_t count() const;
  uint32_t freeSlots() const { return kCapacity - count(); }
  // Consumer side: copies up to len of the oldest elements to dst and
  // returns how many were taken. Never waits.
  uint32_t take(T* dst, uint32_t len);
  // Consumer side, in two steps: copies up to len of the oldest elements
  // without taking them, then takes the first n.
  uint32_t peek(T* dst, uint32_t len) const;
  void skip(uint32_t n) { readIndex.fetch_add(n, std::memory_order_acq_rel); }
  // Drops everything stored. Only while no producer is running, or when
  // one more element from a producer about to stop does not matter.
  void clear();

private:
  static constexpr uint32_t kMask = Size - 1;

  T* storage;
  std::atomic<uint32_t> writeIndex;
  std::atomic<uint32_t> readIndex;
};

template <typename T, uint32_t Size>
uint32_t CRingBuff<T, Size>::count() const {
  const uint32_t w = writeIndex.load(std::memory_order_acquire) & kMask;
  const uint32_t r = readIndex.load(std::memory_order_acquire) & kMask;
  return w >= r ? w - r : w + Size - r;
}

template <typename T, uint32_t Size>
void CRingBuff<T, Size>::write1(T value) {
  while (freeSlots() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  storage[writeIndex.load(std::memory_order_relaxed) & kMask] = value;
  // The element is in place before the consumer can see the new index.
  writeIndex.fetch_add(1, std::memory_order_acq_rel);
}

template <typename T, uint32_t Size>
bool CRingBuff<T, Size>::put(const T* src, uint32_t len) {
  if (len > freeSlots()) return false;
  const uint32_t w = writeIndex.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < len; ++i) storage[(w + i) & kMask] = src[i];
  writeIndex.fetch_add(len, std::memory_order_acq_rel);
  return true;
}

template <typename T, uint32_t Size>
uint32_t CRingBuff<T, Size>::peek(T* dst, uint32_t len) const {
  uint32_t n = count();
  if (n > len) n = len;
  const uint32_t r = readIndex.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < n; ++i) dst[i] = storage[(r + i) & kMask];
  return n;
}

template <typename T, uint32_t Size>
uint32_t CRingBuff<T, Size>::take(T* dst, uint32_t len) {
  const uint32_t n = peek(dst, len);
  // The slots are free for the producer only once they have been copied.
  if (n) skip(n);
  return n;
}

template <typename T, uint32_t Size>
void CRingBuff<T, Size>::clear() {
  writeIndex.store(0);
  readIndex.store(0);
}
