#include "screen/ScreenPlacement.h"

#include <algorithm>
#include <cstdint>

ScreenPlacement placeScreen(int w, int h, int screenW, int screenH) {
  int scale = 1;
  if (screenW > 0 && screenH > 0) {
    scale = std::max(1, std::min(w / screenW, h / screenH));
  }
  const int64_t x = (int64_t(w) - int64_t(screenW) * scale) / 2;
  const int64_t y = (int64_t(h) - int64_t(screenH) * scale) / 2;
  return ScreenPlacement{scale, static_cast<int>(x), static_cast<int>(y)};
}
