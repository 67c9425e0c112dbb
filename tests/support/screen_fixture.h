// Pixel reads for tests that draw through edispSDL, and the media libraries
// and screens they need.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "screen/ScreenTestView.h"
#include "screen/edispSDL.h"

namespace screen_test {

struct Pixel {
  Uint8 r, g, b, a;
  bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator!=(const Pixel& o) const { return !(*this == o); }
};

struct PixelImage {  // pixels read back, row by row
  int w = 0, h = 0;
  std::vector<Pixel> pixels;
  const Pixel& at(int x, int y) const { return pixels.at(static_cast<size_t>(y) * w + x); }
  // Number of pixels of the area (clipped to the image) equal to p.
  int count(const Pixel& p, const SDL_Rect& area = SDL_Rect{0, 0, INT_MAX, INT_MAX}) const;
};

// Reads `texture` (a render target of `renderer`), or the renderer's own
// target when it is null; a null `area` reads all of it. The renderer's target is restored.
PixelImage readPixels(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* area = nullptr);
Pixel readPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y);
// What the window shows, at its size.
PixelImage windowPixels(SDL_Window* window);

// SDL video, SDL_ttf and SDL_image (JPEG) started once; false when one fails.
bool startMediaLibraries();
// A w x h screen over the fonts under basePath; alerts while it is made are dropped.
std::unique_ptr<edispSDL> makeScreen(int w = 640, int h = 384, const char* basePath = TAVIX_BUILD_DIR);

}  // namespace screen_test
