#include "screen/BackgroundLayers.h"

#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "screen/EllipseTrace.h"

namespace {

constexpr int kLayerCount = 4;
constexpr size_t kPictureNameSize = 32;
// Pictures kept decoded: at most 32, and at most 16 MiB (sixteen pictures of
// the whole 640 x 384 screen).
constexpr size_t kKeptPictures = 32;
constexpr size_t kKeptPictureBytes = 16 * 1024 * 1024;
// Lines with end points within this range go to SDL as they are: its cut to
// the layer multiplies coordinate differences in int, which holds there.
constexpr int64_t kSafeCoordinate = 16384;

bool validLayer(int layer) { return layer >= 0 && layer < kLayerCount; }

// The 15-bit RGB drawing colour: bits 14-10 red, 9-5 green, 4-0 blue, each
// scaled by 8; higher bits are ignored.
SDL_Color rgb555(int colour) {
  const unsigned v = static_cast<unsigned>(colour);
  return SDL_Color{static_cast<Uint8>(((v >> 10) & 0x1F) << 3), static_cast<Uint8>(((v >> 5) & 0x1F) << 3),
                   static_cast<Uint8>((v & 0x1F) << 3), 255};
}

// Cuts the line (x1,y1)-(x2,y2) to the area 0..w-1 x 0..h-1 where SDL's
// renderer cuts it before stepping along it (Cohen-Sutherland, each cut
// point truncated, the first end point moved in first), here in 64 bits.
// Each product is a difference of two ints times the distance from a point
// to an edge on its near side, so it stays below 2^63. False when no part
// of the line is in the area.
bool cutLine(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t w, int64_t h) {
  constexpr int kTop = 1, kBottom = 2, kLeft = 4, kRight = 8;
  const int64_t right = w - 1, bottom = h - 1;
  const auto outside = [&](int64_t x, int64_t y) {
    return (y < 0 ? kTop : y > bottom ? kBottom : 0) | (x < 0 ? kLeft : x > right ? kRight : 0);
  };
  int out1 = outside(x1, y1), out2 = outside(x2, y2);
  if (out1 & out2) return false;
  if (x1 == x2 || y1 == y2) {
    x1 = std::clamp<int64_t>(x1, 0, right);
    x2 = std::clamp<int64_t>(x2, 0, right);
    y1 = std::clamp<int64_t>(y1, 0, bottom);
    y2 = std::clamp<int64_t>(y2, 0, bottom);
    return true;
  }
  while (out1 || out2) {
    if (out1 & out2) return false;
    const int out = out1 ? out1 : out2;
    int64_t x, y;
    if (out & (kTop | kBottom)) {
      y = out & kTop ? 0 : bottom;
      x = x1 + (x2 - x1) * (y - y1) / (y2 - y1);
    } else {
      x = out & kLeft ? 0 : right;
      y = y1 + (y2 - y1) * (x - x1) / (x2 - x1);
    }
    if (out1) {
      x1 = x;
      y1 = y;
      out1 = outside(x, y);
    } else {
      x2 = x;
      y2 = y;
      out2 = outside(x, y);
    }
  }
  return true;
}

}  // namespace

BackgroundLayers::BackgroundLayers(int w, int h) : w(w), h(h), pictures(kKeptPictures, kKeptPictureBytes) {}

BackgroundLayers::~BackgroundLayers() {
  pictures.clear();
  for (SDL_Texture* layer : layers)
    if (layer) SDL_DestroyTexture(layer);
}

void BackgroundLayers::create(SDL_Renderer* r, const std::string& base, const CreationFailure& failed) {
  renderer = r;
  basePath = base;
  for (SDL_Texture*& layer : layers) {
    layer = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_TARGET, w, h);
    if (!layer) failed("Error: SDL_CreateTexture", SDL_GetError());
    SDL_SetTextureBlendMode(layer, SDL_BLENDMODE_NONE);
  }
}

SDL_Texture* BackgroundLayers::layer(int n) const { return validLayer(n) ? layers[n] : nullptr; }

SDL_Texture* BackgroundLayers::shown(int index) const {
  return layers[((index % kLayerCount) + kLayerCount) % kLayerCount];
}

void BackgroundLayers::clearAll() {
  for (int layer = 0; layer < kLayerCount; ++layer) clear(layer);
}

void BackgroundLayers::clear(int layer) {
  if (!validLayer(layer) || !renderer) return;
  SDL_SetRenderTarget(renderer, layers[layer]);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
}

bool BackgroundLayers::targetLayer(int layer, int colour) {
  if (!validLayer(layer) || !renderer) return false;
  SDL_SetRenderTarget(renderer, layers[layer]);
  const SDL_Color c = rgb555(colour);
  SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
  return true;
}

// The rectangle x .. x + w - 1, y .. y + h - 1 with its edges pulled in to one
// pixel outside the layer, which draws the same on the layer; false when the
// rectangle is empty.
bool BackgroundLayers::layerRect(int rw, int rh, int x, int y, SDL_Rect* out) const {
  if (rw <= 0 || rh <= 0) return false;
  const int64_t x0 = std::clamp<int64_t>(x, -1, w), x1 = std::clamp<int64_t>(int64_t{x} + rw - 1, -1, w);
  const int64_t y0 = std::clamp<int64_t>(y, -1, h), y1 = std::clamp<int64_t>(int64_t{y} + rh - 1, -1, h);
  *out = SDL_Rect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0 + 1),
                  static_cast<int>(y1 - y0 + 1)};
  return true;
}

void BackgroundLayers::fillRect(int layer, int rw, int rh, int x, int y, int colour) {
  SDL_Rect r;
  if (!layerRect(rw, rh, x, y, &r) || !targetLayer(layer, colour)) return;
  SDL_RenderFillRect(renderer, &r);
}

void BackgroundLayers::outlineRect(int layer, int rw, int rh, int x, int y, int colour) {
  SDL_Rect r;
  if (!layerRect(rw, rh, x, y, &r) || !targetLayer(layer, colour)) return;
  SDL_RenderDrawRect(renderer, &r);
}

void BackgroundLayers::line(int layer, int x1, int y1, int x2, int y2, int colour) {
  if (!targetLayer(layer, colour)) return;
  const auto safe = [](int v) { return v >= -kSafeCoordinate && v < kSafeCoordinate; };
  if (safe(x1) && safe(y1) && safe(x2) && safe(y2)) {
    SDL_RenderDrawLine(renderer, x1, y1, x2, y2);
    return;
  }
  // Far-off end points: cut where SDL would if its arithmetic held; the cut
  // line lies in the layer, where SDL takes it as it is and steps along it.
  int64_t cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (!cutLine(cx1, cy1, cx2, cy2, w, h)) return;
  SDL_RenderDrawLine(renderer, static_cast<int>(cx1), static_cast<int>(cy1), static_cast<int>(cx2),
                     static_cast<int>(cy2));
}

void BackgroundLayers::ellipse(int layer, bool filled, int cx, int cy, int rx, int ry, int colour) {
  if (!targetLayer(layer, colour)) return;
  // Centre and radii keep their low 16 bits, as the unit's numbers always had.
  const auto low16 = [](int v) { return static_cast<int>(static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned>(v)))); };
  std::vector<SDL_Rect> runs;
  traceEllipse(low16(cx), low16(cy), low16(rx), low16(ry), filled, w, h, runs);
  if (!runs.empty()) SDL_RenderFillRects(renderer, runs.data(), static_cast<int>(runs.size()));
}

void BackgroundLayers::picture(int picture, int layer, int x, int y) {
  char name[kPictureNameSize];
  SDL_snprintf(name, sizeof name, "%d.jpg", picture);
  drawPicture(name, layer, x, y);
}

void BackgroundLayers::pictureInFolder(int picture, int layer, int folder, int x, int y) {
  char name[kPictureNameSize];
  SDL_snprintf(name, sizeof name, "%d/%d.jpg", folder, picture);
  drawPicture(name, layer, x, y);
}

// A picture kept from an earlier draw is copied while its file is unchanged;
// otherwise the file is read and decoded, and the result kept.
void BackgroundLayers::drawPicture(const char* name, int layer, int x, int y) {
  const std::string file = findPicture ? findPicture(name) : basePath + "Image/" + name;
  const char* path = file.c_str();
  if (!validLayer(layer) || !renderer) return;
  PictureCache::FileStamp stamp{};
  const bool stamped = PictureCache::stampOf(path, &stamp);
  if (!stamped) pictures.drop(path);
  const PictureCache::Picture* kept = stamped ? pictures.find(path, stamp) : nullptr;
  PictureCache::Picture loaded{nullptr, 0, 0};
  bool owned = false;
  if (!kept) {
    SDL_Surface* surface = IMG_Load(path);
    if (!surface) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "IMG_Load : %s\n", SDL_GetError());
      return;
    }
    loaded = {SDL_CreateTextureFromSurface(renderer, surface), surface->w, surface->h};
    SDL_FreeSurface(surface);
    owned = !(loaded.texture && stamped && pictures.keep(path, stamp, loaded));
  }
  const PictureCache::Picture& picture = kept ? *kept : loaded;
  // A picture wholly off the layer draws nothing.
  const bool visible = x < w && int64_t{x} + picture.w > 0 && y < h && int64_t{y} + picture.h > 0;
  if (visible) {
    if (SDL_SetRenderTarget(renderer, layers[layer]) != 0) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_SetRenderTarget : %s\n", SDL_GetError());
    } else {
      const SDL_Rect dst{x, y, picture.w, picture.h};
      if (SDL_RenderCopy(renderer, picture.texture, nullptr, &dst) != 0)
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_RenderCopy : %s\n", SDL_GetError());
    }
  }
  if (owned && loaded.texture) SDL_DestroyTexture(loaded.texture);
}
