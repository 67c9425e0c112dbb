#include "picture_dir.h"

#include <SDL_image.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace screen_test {

PictureDir::PictureDir() {
  char pattern[] = "/tmp/tavix-pictures-XXXXXX";
  if (mkdtemp(pattern) && symlink(TAVIX_BUILD_DIR "fonts", (std::string(pattern) + "/fonts").c_str()) == 0)
    base_ = std::string(pattern) + "/";
}

PictureDir::~PictureDir() {
  std::error_code ignored;
  if (!base_.empty()) std::filesystem::remove_all(base_, ignored);
}

bool PictureDir::add(const std::string& name, int w, int h, Uint8 r, Uint8 g, Uint8 b, std::string* why) {
  const std::filesystem::path path = base_ + name;
  std::error_code err;
  std::filesystem::create_directories(path.parent_path(), err);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
  const bool ok = !base_.empty() && !err && s && SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b)) == 0 &&
                  IMG_SaveJPG(s, path.c_str(), 95) == 0;
  if (!ok && why) *why = err ? err.message() : std::string(IMG_GetError());
  SDL_FreeSurface(s);
  return ok;
}

}  // namespace screen_test
