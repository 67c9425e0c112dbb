#include "screen/BackgroundLayers.h"

#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "screen/EllipseTrace.h"

namespace {

constexpr int kLayerCount = 4;
constexpr size_t kPicturePathSize = 512;
// Pictures kept decoded: at most 32, and at most 16 MiB (sixteen pictures of
// the whole 640 x 384 screen).
constexpr size_t kKeptPictures = 32;
constexpr size_t kKeptPictureBytes = 16 * 1024 * 1024;
// Coordinates within this range are handed to SDL unchanged; its line
// clipping multiplies coordinate differences in int.
constexpr int64_t kSafeCoordinate = 16384;

bool validLayer(int layer) { return layer >= 0 && layer < kLayerCount; }

// The 15-bit RGB drawing colour: bits 14-10 red, 9-5 green, 4-0 blue, each
// scaled by 8; higher bits are ignored.
SDL_Color rgb555(int colour) {
  const unsigned v = static_cast<unsigned>(colour);
  return SDL_Color{static_cast<Uint8>(((v >> 10) & 0x1F) << 3), static_cast<Uint8>(((v >> 5) & 0x1F) << 3),
                   static_cast<Uint8>((v & 0x1F) << 3), 255};
}

// Clips the segment (x1,y1)-(x2,y2) to the box [lo, hi] on both axes
// (Liang-Barsky). False when nothing of it lies in the box.
bool clipLine(double& x1, double& y1, double& x2, double& y2, double lo, double hiX, double hiY) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - lo, hiX - x1, y1 - lo, hiY - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
  const double nx2 = x1 + t1 * dx, ny2 = y1 + t1 * dy;
  x1 = nx1;
  y1 = ny1;
  x2 = nx2;
  y2 = ny2;
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
  for (SDL_Texture* layer : layers) {
    SDL_SetRenderTarget(renderer, layer);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
  }
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
  // Far-off end points: keep the part of the line near the layer.
  double fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
  if (!clipLine(fx1, fy1, fx2, fy2, -1.0, w, h)) return;
  SDL_RenderDrawLine(renderer, static_cast<int>(SDL_lround(fx1)), static_cast<int>(SDL_lround(fy1)),
                     static_cast<int>(SDL_lround(fx2)), static_cast<int>(SDL_lround(fy2)));
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
  char path[kPicturePathSize];
  SDL_snprintf(path, sizeof path, "%sImage/%d.jpg", basePath.c_str(), picture);
  drawPicture(path, layer, x, y);
}

void BackgroundLayers::pictureInFolder(int picture, int layer, int folder, int x, int y) {
  char path[kPicturePathSize];
  SDL_snprintf(path, sizeof path, "%sImage/%d/%d.jpg", basePath.c_str(), folder, picture);
  drawPicture(path, layer, x, y);
}

// A picture kept from an earlier draw is copied while its file is unchanged;
// otherwise the file is read and decoded, and the result kept.
void BackgroundLayers::drawPicture(const char* path, int layer, int x, int y) {
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
