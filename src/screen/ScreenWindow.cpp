#include "screen/ScreenWindow.h"

#include <algorithm>

ScreenWindow::ScreenWindow(int w, int h) : screenW(w), screenH(h) {}

ScreenWindow::~ScreenWindow() {
  SDL_DelEventWatch(&ScreenWindow::watchWindow, this);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (composed) SDL_FreeSurface(composed);
  if (window) SDL_DestroyWindow(window);
}

SDL_Renderer* ScreenWindow::open(const char* title, int x, int y, const CreationFailure& failed) {
  // On X11 the window's pixels go to the server as they are; otherwise SDL
  // would show them through OpenGL, redrawing the whole window each time.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && SDL_strcmp(driver, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  window = SDL_CreateWindow(title ? title : "", x, y, screenW, screenH, SDL_WINDOW_RESIZABLE);
  if (!window) failed("Error: SDL_CreateWindow", SDL_GetError());

  // Each drawing call runs at once. With queued commands, a window size
  // change while a layer is the render target loses what was queued for it.
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "0");
  // Everything is drawn and composed at the logical size; the window gets
  // the composed screen replicated to its scale.
  composed = window ? SDL_CreateRGBSurfaceWithFormat(0, screenW, screenH, 32, SDL_PIXELFORMAT_RGB888) : nullptr;
  renderer_ = composed ? SDL_CreateSoftwareRenderer(composed) : nullptr;
  if (!renderer_) failed("Error: SDL_CreateSoftwareRenderer", SDL_GetError());
  if (composed) shown.assign(static_cast<size_t>(screenW) * screenH, 0);
  SDL_AddEventWatch(&ScreenWindow::watchWindow, this);
  return renderer_;
}

void ScreenWindow::resize(int w, int h) {
  if (window) SDL_SetWindowSize(window, w, h);
}

void ScreenWindow::size(int* w, int* h) const {
  if (!window) return;
  int ww = 0, wh = 0;
  SDL_GetWindowSize(window, &ww, &wh);
  if (w) *w = ww;
  if (h) *h = wh;
}

void ScreenWindow::setTitle(const char* title) {
  if (window) SDL_SetWindowTitle(window, title ? title : "");
}

void ScreenWindow::toggleFullscreen() {
  if (window) SDL_SetWindowFullscreen(window, isFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool ScreenWindow::isFullscreen() const {
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
}

ScreenPlacement ScreenWindow::placement() const {
  int w = screenW, h = screenH;
  size(&w, &h);
  return placeScreen(w, h, screenW, screenH);
}

int ScreenWindow::watchWindow(void* self, SDL_Event* event) {
  ScreenWindow* me = static_cast<ScreenWindow*>(self);
  if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_EXPOSED && me->window &&
      event->window.windowID == SDL_GetWindowID(me->window)) {
    me->windowStale = true;
  }
  return 0;
}

void ScreenWindow::present(SDL_Texture* background, SDL_Texture* text) {
  SDL_SetRenderTarget(renderer_, nullptr);
  SDL_RenderCopy(renderer_, background, nullptr, nullptr);
  SDL_RenderCopy(renderer_, text, nullptr, nullptr);
  // The composed screen is complete; the window gets it next.
  SDL_RenderPresent(renderer_);
  show(false);
  ++presents;
}

void ScreenWindow::repairIfExposed() {
  if (windowStale) show(true);
}

SDL_Surface* ScreenWindow::capture(SDL_Texture* background, SDL_Texture* text) {
  if (!renderer_) return nullptr;
  SDL_Texture* target =
      SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, screenW, screenH);
  SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, screenW, screenH, 24, SDL_PIXELFORMAT_RGB24);
  bool ok = target && shot && SDL_SetRenderTarget(renderer_, target) == 0;
  if (ok) {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(renderer_);
    ok = SDL_RenderCopy(renderer_, background, nullptr, nullptr) == 0 &&
         SDL_RenderCopy(renderer_, text, nullptr, nullptr) == 0 &&
         SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, shot->pixels, shot->pitch) == 0;
  }
  if (!ok) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "captureScreen : %s\n", SDL_GetError());
    SDL_FreeSurface(shot);
    shot = nullptr;
  }
  SDL_SetRenderTarget(renderer_, nullptr);
  if (target) SDL_DestroyTexture(target);
  return shot;
}

void ScreenWindow::show(bool whole) {
  SDL_Surface* out = window && composed ? SDL_GetWindowSurface(window) : nullptr;
  if (!out) return;
  const ScreenPlacement at = placeScreen(out->w, out->h, screenW, screenH);
  const int s = at.scale;
  whole = whole || windowStale || out != shownSurface || out->w != shownW || out->h != shownH;
  windowStale = false;
  if (whole) {
    SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
    shownSurface = out;
    shownW = out->w;
    shownH = out->h;
  }
  line.resize(static_cast<size_t>(screenW) * s);
  std::vector<SDL_Rect> rects;
  for (int y = 0; y < screenH; ++y) {
    const Uint32* now = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(composed->pixels) + y * composed->pitch);
    Uint32* before = &shown[static_cast<size_t>(y) * screenW];
    int x0 = 0, x1 = screenW;
    if (!whole) {
      while (x0 < x1 && now[x0] == before[x0]) ++x0;
      while (x1 > x0 && now[x1 - 1] == before[x1 - 1]) --x1;
      if (x0 == x1) continue;
    }
    std::copy(now + x0, now + x1, before + x0);
    // The changed span in window pixels, clipped to the window.
    const int left = std::max(at.x + x0 * s, 0), right = std::min(at.x + x1 * s, out->w);
    const int top = std::max(at.y + y * s, 0), bottom = std::min(at.y + (y + 1) * s, out->h);
    if (left >= right || top >= bottom) continue;
    // At scale 1 the row goes as it is; otherwise each screen pixel is
    // repeated s times across first.
    const Uint32* row = now + (left - at.x);
    if (s > 1) {
      Uint32* to = line.data();
      for (int x = left, sx = (left - at.x) / s; x < right; ++sx) {
        const int run = std::min(right, at.x + (sx + 1) * s) - x;
        to = std::fill_n(to, run, now[sx]);
        x += run;
      }
      row = line.data();
    }
    Uint8* first = static_cast<Uint8*>(out->pixels) + top * out->pitch + left * out->format->BytesPerPixel;
    SDL_ConvertPixels(right - left, 1, SDL_PIXELFORMAT_RGB888, row, screenW * s * 4, out->format->format, first,
                      out->pitch);
    const size_t bytes = static_cast<size_t>(right - left) * out->format->BytesPerPixel;
    for (int row = top + 1; row < bottom; ++row) SDL_memcpy(first + (row - top) * out->pitch, first, bytes);
    SDL_Rect& last = rects.empty() ? rects.emplace_back(SDL_Rect{left, top, right - left, 0}) : rects.back();
    if (last.x != left || last.w != right - left || last.y + last.h != top)
      rects.push_back(SDL_Rect{left, top, right - left, bottom - top});
    else
      last.h += bottom - top;
  }
  if (whole) {
    const SDL_Rect all{0, 0, out->w, out->h};
    SDL_UpdateWindowSurfaceRects(window, &all, 1);
  } else if (!rects.empty()) {
    SDL_UpdateWindowSurfaceRects(window, rects.data(), static_cast<int>(rects.size()));
  }
}
