// Rendered characters kept for reuse, so that a character drawn again is a
// copy instead of a font rendering. An entry is found by the font, the text
// of the run and a style value the owner chooses (colours and flags);
// entries live in numbered slots, so the owner may keep each one's pixels
// in a slot of its own atlas. Bounded: beyond its capacity the least
// recently used entry is dropped.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class GlyphCache {
public:
  // Longest run (in bytes) that is kept.
  static constexpr std::size_t kMaxKeyBytes = 8;
  // Most runs of set pixels in one kept pixel column.
  static constexpr int kMaxEdgeRuns = 16;

  struct Glyph {
    SDL_Texture* texture;  // owned by the cache when it was made to own textures
    int width;
    // Runs of set pixels (first row, row count) in the column just right of
    // the glyph, for a bold glyph whose second copy reaches past its cell.
    int edgeRuns;
    uint8_t edge[kMaxEdgeRuns][2];
  };

  // ownsTextures: the textures of entries are destroyed when they leave.
  GlyphCache(std::size_t capacity, bool ownsTextures);
  ~GlyphCache();
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // The entry, marked as the most recently used, and its slot in *slot;
  // null when there is none or the run is too long to be kept.
  const Glyph* find(int font, uint64_t style, const char* utf8, std::size_t len, int* slot);
  // Stores the entry (taking its texture when the cache owns textures),
  // dropping the least recently used one when full; returns its slot, or -1
  // (nothing taken) when the run is too long to be kept or already present.
  int insert(int font, uint64_t style, const char* utf8, std::size_t len, const Glyph& glyph);
  // Drops every entry.
  void clear();

private:
  struct Key {
    uint64_t style;
    uint64_t bytes;  // the run's bytes, zero-padded
    uint8_t font;
    uint8_t len;
    bool operator==(const Key& o) const {
      return style == o.style && bytes == o.bytes && font == o.font && len == o.len;
    }
  };
  struct Entry {
    Key key;
    uint32_t hash;
    Glyph glyph;
    int prev;  // towards the most recently used; -1 at the head
    int next;  // towards the least recently used; -1 at the tail
  };

  static bool makeKey(int font, uint64_t style, const char* utf8, std::size_t len, Key* key);
  static uint32_t hashOf(const Key& key);
  // Position in `buckets` of the slot holding key, or of the empty bucket
  // where it would go.
  std::size_t bucketOf(const Key& key, uint32_t hash) const;
  void eraseBucket(std::size_t i);
  void release(Entry& e);
  void unlink(int i);
  void pushFront(int i);

  std::vector<Entry> entries;
  // Open addressing with linear probing: slot numbers, -1 for empty; at
  // least twice as many buckets as slots.
  std::vector<int> buckets;
  std::size_t bucketMask;
  bool ownsTextures;
  int head = -1;
  int tail = -1;
  int used = 0;
};
