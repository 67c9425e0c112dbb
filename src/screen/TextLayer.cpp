#include "screen/TextLayer.h"

#include <algorithm>

namespace {

constexpr unsigned char kRowUnknown = 0;
constexpr unsigned char kRowLoaded = 1;
constexpr unsigned char kRowChanged = 2;

}  // namespace

TextLayer::TextLayer(int w, int h) : w(w), h(h) {
  if (w > 0 && h > 0) {
    pixels.assign(static_cast<size_t>(w) * h, 0);
    rows.assign(static_cast<size_t>(h), kRowUnknown);
  }
}

void TextLayer::attach(SDL_Renderer* r, SDL_Texture* t) {
  renderer = r;
  texture_ = t;
}

bool TextLayer::load(int y0, int y1) {
  int y = y0;
  while (y < y1) {
    if (rows[y] != kRowUnknown) {
      ++y;
      continue;
    }
    int end = y;
    while (end < y1 && rows[end] == kRowUnknown) ++end;
    const SDL_Rect band{0, y, w, end - y};
    if (SDL_SetRenderTarget(renderer, texture_) != 0 ||
        SDL_RenderReadPixels(renderer, &band, SDL_PIXELFORMAT_ABGR8888, row(y), w * static_cast<int>(sizeof(Uint32))) !=
            0) {
      return false;
    }
    std::fill(rows.begin() + y, rows.begin() + end, kRowLoaded);
    y = end;
  }
  return true;
}

void TextLayer::changed(int y0, int y1) {
  std::fill(rows.begin() + y0, rows.begin() + y1, kRowChanged);
  if (dirtyTop >= dirtyBottom) {
    dirtyTop = y0;
    dirtyBottom = y1;
  } else {
    dirtyTop = std::min(dirtyTop, y0);
    dirtyBottom = std::max(dirtyBottom, y1);
  }
}

void TextLayer::flush() {
  int y = dirtyTop;
  while (y < dirtyBottom) {
    if (rows[y] != kRowChanged) {
      ++y;
      continue;
    }
    int end = y;
    while (end < dirtyBottom && rows[end] == kRowChanged) rows[end++] = kRowLoaded;
    const SDL_Rect band{0, y, w, end - y};
    if (SDL_UpdateTexture(texture_, &band, row(y), w * static_cast<int>(sizeof(Uint32))) != 0) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_UpdateTexture : %s\n", SDL_GetError());
    }
    y = end;
  }
  dirtyTop = dirtyBottom = 0;
}

bool TextLayer::target(int64_t y0, int64_t y1) {
  flush();
  const int64_t top = std::max<int64_t>(y0, 0), bottom = std::min<int64_t>(y1, h);
  if (top < bottom) std::fill(rows.begin() + top, rows.begin() + bottom, kRowUnknown);
  return SDL_SetRenderTarget(renderer, texture_) == 0;
}
