// Decoded pictures kept as textures of one renderer, so that a picture drawn
// again is a copy instead of a file read and a decode. An entry is found by
// the file's path and holds only while the file keeps the size and
// modification time it had when it was read: a changed or removed file is
// read anew. Bounded by count and by bytes; beyond either, the least recently
// drawn pictures are dropped, and a picture larger than the byte bound is
// never kept.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <string>
#include <vector>

class PictureCache {
public:
  // One version of a file: its size and modification time.
  struct FileStamp {
    long long size;
    long long seconds;
    long nanoseconds;
    bool operator==(const FileStamp& o) const {
      return size == o.size && seconds == o.seconds && nanoseconds == o.nanoseconds;
    }
  };
  struct Picture {
    SDL_Texture* texture;
    int w;
    int h;
  };

  PictureCache(std::size_t maxPictures, std::size_t maxBytes);
  ~PictureCache();
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  // The file's current stamp; false when the file cannot be examined.
  static bool stampOf(const char* path, FileStamp* stamp);
  // The picture kept for path at this stamp, now the most recently drawn;
  // null when there is none (a kept older version of the file is dropped).
  const Picture* find(const std::string& path, const FileStamp& stamp);
  // Drops the picture kept for path, if any.
  void drop(const std::string& path);
  // Keeps the picture read from path at this stamp, taking its texture and
  // dropping the least recently drawn ones to stay within the bounds; false,
  // and nothing taken, when the picture alone is over the byte bound.
  bool keep(const std::string& path, const FileStamp& stamp, const Picture& picture);
  // Drops every picture; to be called while the renderer still exists.
  void clear();

private:
  struct Entry {
    std::string path;
    FileStamp stamp;
    Picture picture;
    std::size_t bytes;
  };

  // Counted as four bytes per pixel.
  static std::size_t bytesOf(const Picture& picture);
  void erase(std::size_t i);

  // Most recently drawn first.
  std::vector<Entry> entries;
  std::size_t maxPictures;
  std::size_t maxBytes;
  std::size_t bytesKept;
};
