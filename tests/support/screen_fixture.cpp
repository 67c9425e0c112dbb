#include "screen_fixture.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

namespace screen_test {

int PixelImage::count(const Pixel& p, const SDL_Rect& area) const {
  const SDL_Rect whole{0, 0, w, h};
  SDL_Rect r{0, 0, 0, 0};
  SDL_IntersectRect(&area, &whole, &r);
  int n = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) n += at(x, y) == p;
  return n;
}

PixelImage readPixels(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* area) {
  SDL_Texture* previous = SDL_GetRenderTarget(renderer);
  SDL_SetRenderTarget(renderer, texture);
  SDL_Rect r = area ? *area : SDL_Rect{0, 0, 0, 0};
  if (!area && texture) SDL_QueryTexture(texture, nullptr, nullptr, &r.w, &r.h);
  if (!area && !texture) SDL_GetRendererOutputSize(renderer, &r.w, &r.h);
  PixelImage img{r.w, r.h, std::vector<Pixel>(static_cast<size_t>(r.w) * r.h)};
  if (SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGBA32, img.pixels.data(), r.w * 4) != 0)
    ADD_FAILURE() << "SDL_RenderReadPixels: " << SDL_GetError();
  SDL_SetRenderTarget(renderer, previous);
  return img;
}

Pixel readPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y) {
  const SDL_Rect r{x, y, 1, 1};
  return readPixels(renderer, texture, &r).pixels.at(0);
}

PixelImage windowPixels(SDL_Window* window) {
  SDL_Surface* out = SDL_GetWindowSurface(window);
  PixelImage img{out->w, out->h, std::vector<Pixel>(static_cast<size_t>(out->w) * out->h)};
  SDL_ConvertPixels(out->w, out->h, out->format->format, out->pixels, out->pitch, SDL_PIXELFORMAT_RGBA32,
                    img.pixels.data(), out->w * 4);
  return img;
}

bool startMediaLibraries() {
  static const bool ok = SDL_Init(SDL_INIT_VIDEO) == 0 && TTF_Init() == 0 && (IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG);
  return ok;
}

std::unique_ptr<edispSDL> makeScreen(int w, int h, const char* basePath) {
  return std::make_unique<edispSDL>("test", 0, 0, w, h, basePath, [](const char*, const char*) {});
}

}  // namespace screen_test
