#include "screen/PictureCache.h"

#include <sys/stat.h>

#include <algorithm>

PictureCache::PictureCache(std::size_t maxPictures, std::size_t maxBytes)
    : maxPictures(std::max<std::size_t>(maxPictures, 1)), maxBytes(maxBytes), bytesKept(0) {
  entries.reserve(this->maxPictures);
}

PictureCache::~PictureCache() { clear(); }

bool PictureCache::stampOf(const char* path, FileStamp* stamp) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  stamp->size = static_cast<long long>(st.st_size);
#ifdef __APPLE__
  stamp->seconds = static_cast<long long>(st.st_mtimespec.tv_sec);
  stamp->nanoseconds = static_cast<long>(st.st_mtimespec.tv_nsec);
#else
  stamp->seconds = static_cast<long long>(st.st_mtim.tv_sec);
  stamp->nanoseconds = static_cast<long>(st.st_mtim.tv_nsec);
#endif
  return true;
}

std::size_t PictureCache::bytesOf(const Picture& picture) {
  return static_cast<std::size_t>(std::max(picture.w, 0)) * static_cast<std::size_t>(std::max(picture.h, 0)) * 4;
}

const PictureCache::Picture* PictureCache::find(const std::string& path, const FileStamp& stamp) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].path != path) continue;
    if (!(entries[i].stamp == stamp)) {
      erase(i);  // The file has changed since it was read.
      return nullptr;
    }
    std::rotate(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(i),
                entries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return &entries.front().picture;
  }
  return nullptr;
}

void PictureCache::drop(const std::string& path) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].path == path) {
      erase(i);
      return;
    }
  }
}

bool PictureCache::keep(const std::string& path, const FileStamp& stamp, const Picture& picture) {
  const std::size_t bytes = bytesOf(picture);
  if (bytes > maxBytes) return false;
  drop(path);
  while (!entries.empty() && (entries.size() >= maxPictures || bytesKept + bytes > maxBytes)) {
    erase(entries.size() - 1);
  }
  entries.insert(entries.begin(), Entry{path, stamp, picture, bytes});
  bytesKept += bytes;
  return true;
}

void PictureCache::clear() {
  while (!entries.empty()) erase(entries.size() - 1);
}

void PictureCache::erase(std::size_t i) {
  if (entries[i].picture.texture) SDL_DestroyTexture(entries[i].picture.texture);
  bytesKept -= entries[i].bytes;
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
}
