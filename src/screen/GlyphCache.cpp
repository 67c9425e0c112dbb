#include "screen/GlyphCache.h"

#include <algorithm>
#include <cstring>

GlyphCache::GlyphCache(std::size_t capacity, bool ownsTextures)
    : entries(capacity > 0 ? capacity : 1), ownsTextures(ownsTextures) {
  std::size_t n = 16;
  while (n < 2 * entries.size()) n *= 2;
  buckets.assign(n, -1);
  bucketMask = n - 1;
}

GlyphCache::~GlyphCache() { clear(); }

uint32_t GlyphCache::hashOf(const Key& k) {
  uint64_t h = k.style * 0x9E3779B97F4A7C15ull;
  h ^= (k.bytes + (uint64_t{k.font} << 8 | k.len)) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<uint32_t>(h >> 32);
}

bool GlyphCache::makeKey(int font, uint64_t style, const char* utf8, std::size_t len, Key* key) {
  if (len > kMaxKeyBytes || font < 0 || font > 255) return false;
  key->style = style;
  uint64_t bytes = 0;
  for (std::size_t i = 0; i < len; ++i) bytes |= uint64_t{static_cast<uint8_t>(utf8[i])} << (8 * i);
  key->bytes = bytes;
  key->font = static_cast<uint8_t>(font);
  key->len = static_cast<uint8_t>(len);
  return true;
}

std::size_t GlyphCache::bucketOf(const Key& key, uint32_t hash) const {
  std::size_t i = hash & bucketMask;
  while (buckets[i] >= 0 && !(entries[buckets[i]].hash == hash && entries[buckets[i]].key == key)) {
    i = (i + 1) & bucketMask;
  }
  return i;
}

// Empties bucket i and moves later members of its probe run back so that
// every key stays reachable from its home bucket.
void GlyphCache::eraseBucket(std::size_t i) {
  std::size_t j = i;
  for (;;) {
    j = (j + 1) & bucketMask;
    if (buckets[j] < 0) break;
    const std::size_t home = entries[buckets[j]].hash & bucketMask;
    const bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (!between) {
      buckets[i] = buckets[j];
      i = j;
    }
  }
  buckets[i] = -1;
}

void GlyphCache::release(Entry& e) {
  if (ownsTextures && e.glyph.texture) SDL_DestroyTexture(e.glyph.texture);
  e.glyph.texture = nullptr;
}

void GlyphCache::unlink(int i) {
  Entry& e = entries[i];
  if (e.prev >= 0) {
    entries[e.prev].next = e.next;
  } else {
    head = e.next;
  }
  if (e.next >= 0) {
    entries[e.next].prev = e.prev;
  } else {
    tail = e.prev;
  }
  e.prev = e.next = -1;
}

void GlyphCache::pushFront(int i) {
  Entry& e = entries[i];
  e.prev = -1;
  e.next = head;
  if (head >= 0) entries[head].prev = i;
  head = i;
  if (tail < 0) tail = i;
}

const GlyphCache::Glyph* GlyphCache::find(int font, uint64_t style, const char* utf8, std::size_t len, int* slot) {
  Key key;
  if (!makeKey(font, style, utf8, len, &key)) return nullptr;
  const int found = buckets[bucketOf(key, hashOf(key))];
  if (found < 0) return nullptr;
  if (found != head) {
    unlink(found);
    pushFront(found);
  }
  if (slot) *slot = found;
  return &entries[found].glyph;
}

int GlyphCache::insert(int font, uint64_t style, const char* utf8, std::size_t len, const Glyph& glyph) {
  Key key;
  if (!makeKey(font, style, utf8, len, &key)) return -1;
  const uint32_t hash = hashOf(key);
  if (buckets[bucketOf(key, hash)] >= 0) return -1;
  int slot;
  if (used < static_cast<int>(entries.size())) {
    slot = used++;
  } else {
    slot = tail;
    unlink(slot);
    eraseBucket(bucketOf(entries[slot].key, entries[slot].hash));
    release(entries[slot]);
  }
  entries[slot].key = key;
  entries[slot].hash = hash;
  entries[slot].glyph = glyph;
  pushFront(slot);
  buckets[bucketOf(key, hash)] = slot;
  return slot;
}

void GlyphCache::clear() {
  for (int i = head; i >= 0; i = entries[i].next) release(entries[i]);
  std::fill(buckets.begin(), buckets.end(), -1);
  head = tail = -1;
  used = 0;
}
