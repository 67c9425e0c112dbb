// Fixed-size single-producer, single-consumer ring. Both indices run freely
// and wrap at 2^32; a slot is the index masked by size - 1, so the size must
// be a power of two. One slot always stays empty.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

template <typename T>
class CRingBuff {
public:
  CRingBuff() : storage(nullptr), size(0), mask(0), writeIndex(0), readIndex(0) {}
  ~CRingBuff() { release(); }
  CRingBuff(const CRingBuff&) = delete;
  CRingBuff& operator=(const CRingBuff&) = delete;

  // Replaces any earlier array with one of newSize elements, both indices
  // at 0. A size that is not a power of two is refused (no array, false).
  bool alloc(unsigned int newSize);
  void release();
  // Producer side: stores one element, waiting while the ring is full.
  void write1(T value);

  // Elements stored and slots free, from the two indices as they stand.
  uint32_t count() const;
  uint32_t freeSlots() const;
  // Consumer side: copies up to len of the oldest elements to dst and
  // returns how many were taken. Never waits.
  uint32_t take(T* dst, uint32_t len);

  T* storage;
  uint32_t size;
  uint32_t mask;
  std::atomic<uint32_t> writeIndex;
  std::atomic<uint32_t> readIndex;
};

template <typename T>
bool CRingBuff<T>::alloc(unsigned int newSize) {
  release();
  if (newSize == 0 || (newSize & (newSize - 1)) != 0) return false;
  storage = new T[newSize];
  size = newSize;
  mask = newSize - 1;
  writeIndex.store(0);
  readIndex.store(0);
  return true;
}

template <typename T>
void CRingBuff<T>::release() {
  delete[] storage;
  storage = nullptr;
  size = 0;
  mask = 0;
  writeIndex.store(0);
  readIndex.store(0);
}

template <typename T>
uint32_t CRingBuff<T>::count() const {
  if (!storage) return 0;
  uint32_t w = writeIndex.load(std::memory_order_acquire) & mask;
  uint32_t r = readIndex.load(std::memory_order_acquire) & mask;
  return w >= r ? w - r : w + size - r;
}

template <typename T>
uint32_t CRingBuff<T>::freeSlots() const {
  if (!storage) return 0;
  return size - 1 - count();
}

template <typename T>
void CRingBuff<T>::write1(T value) {
  if (!storage) return;
  while (freeSlots() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!storage) return;
  }
  storage[writeIndex.load(std::memory_order_relaxed) & mask] = value;
  // The element is in place before the consumer can see the new index.
  writeIndex.fetch_add(1, std::memory_order_acq_rel);
}

template <typename T>
uint32_t CRingBuff<T>::take(T* dst, uint32_t len) {
  uint32_t n = count();
  if (n > len) n = len;
  uint32_t r = readIndex.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < n; ++i) dst[i] = storage[(r + i) & mask];
  // The slots are free for the producer only once they have been copied.
  if (n) readIndex.fetch_add(n, std::memory_order_acq_rel);
  return n;
}
