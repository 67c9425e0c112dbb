// Fixed-size single-producer, single-consumer ring. Both indices run freely
// and wrap at 2^32; a slot is the index masked by size - 1, so the size must
// be a power of two. One slot always stays empty.
#pragma once

#include <atomic>
#include <cstdint>

template <typename T>
class CRingBuff {
public:
  CRingBuff() : storage(nullptr), size(0), mask(0), writeIndex(0), readIndex(0) {}
  ~CRingBuff() { release(); }
  CRingBuff(const CRingBuff&) = delete;
  CRingBuff& operator=(const CRingBuff&) = delete;

  bool alloc(unsigned int newSize);
  void release();
  // Producer side: stores one element, waiting while the ring is full.
  void write1(T value);

  T* storage;
  uint32_t size;
  uint32_t mask;
  std::atomic<uint32_t> writeIndex;
  std::atomic<uint32_t> readIndex;
};
