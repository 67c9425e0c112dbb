#include "screen/edispSDL.h"

#include <SDL_image.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "app/Alert.h"
#include "screen/EllipseTrace.h"

namespace {

// Per font number: two unused entries, then the cell width and height in
// logical pixels.
const int sFontSize[3][4] = {
    {0, 0, 4, 8},   // 0: misaki gothic, 160 x 48 cells on 640 x 384
    {0, 0, 5, 12},  // 1: M+ 10 dots, 128 x 32 cells
    {0, 0, 8, 16},  // 2: Shinonome 16 dots, 80 x 24 cells
};

struct FontFile {
  int index;
  const char* pathFormat;
  int pointSize;
};
// Opening order of the fonts.
const FontFile kFontFiles[3] = {
    {2, "%sfonts/JF-Dot-Shinonome16.ttf", 16},
    {1, "%sfonts/JF-Dot-MPlus10.ttf", 10},
    {0, "%sfonts/misaki_gothic.ttf", 16},
};

constexpr int kLayerCount = 4;
// Bytes of one text segment that are drawn; the rest of the segment is dropped.
constexpr int kMaxSegmentBytes = 80;
constexpr size_t kPrintwBufferSize = 100;
constexpr size_t kFontPathExtra = 100;
constexpr size_t kPictureNameSize = 32;
// Pictures kept decoded: at most 32, and at most 16 MiB (sixteen pictures of
// the whole 640 x 384 screen).
constexpr size_t kKeptPictures = 32;
constexpr size_t kKeptPictureBytes = 16 * 1024 * 1024;
// Coordinates within this range are handed to SDL unchanged; its line
// clipping multiplies coordinate differences in int.
constexpr int64_t kSafeCoordinate = 16384;

const SDL_Color kDefaultFg = {255, 255, 255, 255};
const SDL_Color kDefaultBg = {0, 0, 0, 0};
int cellWidth(int charSize) { return sFontSize[charSize][2]; }
int cellHeight(int charSize) { return sFontSize[charSize][3]; }

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

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

edispSDL::edispSDL(const char* title, int x, int y, int w, int h, const char* basePathArg, AlertSink alerts)
    : initialized(true),
      window(nullptr),
      renderer(nullptr),
      textTexture(nullptr),
      charSize(2),
      fonts{nullptr, nullptr, nullptr},
      cursorX(0),
      cursorY(0),
      fgColor(kDefaultFg),
      bgColor(kDefaultBg),
      bold(0),
      underline(0),
      blink(0),
      reverse(0),
      bgBuffers{nullptr, nullptr, nullptr, nullptr},
      bgBuffIndex(0),
      updateEnabled(true),
      basePath(nullptr),
      logicalW(w),
      logicalH(h),
      presentCount(0),
      composed(nullptr),
      shownSurface(nullptr),
      shownW(0),
      shownH(0),
      windowStale(false),
      textPixels(w, h),
      pictures(kKeptPictures, kKeptPictureBytes) {
  alertSink = std::move(alerts);
  // On X11 the window's pixels go to the server as they are; otherwise SDL
  // would show them through OpenGL, redrawing the whole window each time.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && SDL_strcmp(driver, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  window = SDL_CreateWindow(title ? title : "", x, y, w, h, SDL_WINDOW_RESIZABLE);
  if (!window) creationFailed("Error: SDL_CreateWindow");

  // Each drawing call runs at once. With queued commands, a window size
  // change while a layer is the render target loses what was queued for it.
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "0");
  // Everything is drawn and composed at the logical size; the window gets
  // the composed screen replicated to its scale.
  composed = window ? SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888) : nullptr;
  renderer = composed ? SDL_CreateSoftwareRenderer(composed) : nullptr;
  if (!renderer) creationFailed("Error: SDL_CreateSoftwareRenderer");
  if (composed) shown.assign(static_cast<size_t>(w) * h, 0);
  SDL_AddEventWatch(&edispSDL::watchWindow, this);

  for (SDL_Texture*& layer : bgBuffers) {
    layer = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_TARGET, w, h);
    if (!layer) creationFailed("Error: SDL_CreateTexture");
    SDL_SetTextureBlendMode(layer, SDL_BLENDMODE_NONE);
  }

  // Without a base directory the data is looked for in the current one.
  const char* base = basePathArg ? basePathArg : "";
  const size_t baseLen = SDL_strlen(base);
  basePath = new char[baseLen + 1];
  SDL_utf8strlcpy(basePath, base, baseLen + 1);

  const size_t pathSize = baseLen + kFontPathExtra;
  char* path = new char[pathSize];
  for (const FontFile& f : kFontFiles) {
    SDL_snprintf(path, pathSize, f.pathFormat, basePath);
    fonts[f.index] = TTF_OpenFont(path, f.pointSize);
    if (!fonts[f.index]) creationFailed("Error: TTF_OpenFont");
  }
  delete[] path;

  textTexture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_TARGET, w, h);
  if (!textTexture)
    creationFailed("Error: SDL_CreateTexture");
  else
    SDL_SetTextureBlendMode(textTexture, SDL_BLENDMODE_BLEND);

  textPixels.attach(renderer, textTexture);

  resetAttributes();
  cursorX = 0;
  cursorY = 0;
  charSize = 2;

  if (initialized) SDL_PumpEvents();
}

edispSDL::~edispSDL() {
  SDL_DelEventWatch(&edispSDL::watchWindow, this);
  keptCells.clear();
  pictures.clear();
  if (textTexture) SDL_DestroyTexture(textTexture);
  for (TTF_Font* font : fonts)
    if (font) TTF_CloseFont(font);
  for (SDL_Texture* layer : bgBuffers)
    if (layer) SDL_DestroyTexture(layer);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (composed) SDL_FreeSurface(composed);
  if (window) SDL_DestroyWindow(window);
  delete[] basePath;
}

void edispSDL::creationFailed(const char* what) {
  Settings settings;
  settings.alertSink = alertSink;
  DisplayErrorDialog(settings, what, SDL_GetError());
  initialized = false;
}

// ---- Window ----

void edispSDL::resizeWindow(int w, int h) {
  if (window) SDL_SetWindowSize(window, w, h);
}

void edispSDL::getWindowSize(int* w, int* h) {
  if (!window) return;
  int ww = 0, wh = 0;
  SDL_GetWindowSize(window, &ww, &wh);
  if (w) *w = ww;
  if (h) *h = wh;
}

void edispSDL::changeWindowTitle(const char* title) {
  if (window) SDL_SetWindowTitle(window, title ? title : "");
}

void edispSDL::toggleFullscreen() {
  if (window) SDL_SetWindowFullscreen(window, isFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool edispSDL::isFullscreen() const { return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

ScreenPlacement edispSDL::placement() {
  int w = logicalW, h = logicalH;
  getWindowSize(&w, &h);
  return placeScreen(w, h, logicalW, logicalH);
}

int edispSDL::watchWindow(void* self, SDL_Event* event) {
  edispSDL* screen = static_cast<edispSDL*>(self);
  if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_EXPOSED && screen->window &&
      event->window.windowID == SDL_GetWindowID(screen->window)) {
    screen->windowStale = true;
  }
  return 0;
}

// ---- Presentation ----

void edispSDL::updateContent() {
  if (!updateEnabled || !renderer) return;
  textPixels.flush();
  SDL_SetRenderTarget(renderer, nullptr);
  SDL_RenderCopy(renderer, bgBuffers[((bgBuffIndex % kLayerCount) + kLayerCount) % kLayerCount], nullptr, nullptr);
  SDL_RenderCopy(renderer, textTexture, nullptr, nullptr);
  // The composed screen is complete; the window gets it next.
  SDL_RenderPresent(renderer);
  showComposed(false);
  ++presentCount;
}

SDL_Surface* edispSDL::captureScreen() {
  if (!renderer) return nullptr;
  textPixels.flush();
  SDL_Texture* target =
      SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, logicalW, logicalH);
  SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, logicalW, logicalH, 24, SDL_PIXELFORMAT_RGB24);
  bool ok = target && shot && SDL_SetRenderTarget(renderer, target) == 0;
  if (ok) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(renderer);
    ok = SDL_RenderCopy(renderer, bgBuffers[((bgBuffIndex % kLayerCount) + kLayerCount) % kLayerCount], nullptr,
                        nullptr) == 0 &&
         SDL_RenderCopy(renderer, textTexture, nullptr, nullptr) == 0 &&
         SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, shot->pixels, shot->pitch) == 0;
  }
  if (!ok) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "captureScreen : %s\n", SDL_GetError());
    SDL_FreeSurface(shot);
    shot = nullptr;
  }
  SDL_SetRenderTarget(renderer, nullptr);
  if (target) SDL_DestroyTexture(target);
  return shot;
}

void edispSDL::showComposed(bool whole) {
  SDL_Surface* out = window && composed ? SDL_GetWindowSurface(window) : nullptr;
  if (!out) return;
  const ScreenPlacement at = placeScreen(out->w, out->h, logicalW, logicalH);
  const int s = at.scale;
  whole = whole || windowStale || out != shownSurface || out->w != shownW || out->h != shownH;
  windowStale = false;
  if (whole) {
    SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
    shownSurface = out;
    shownW = out->w;
    shownH = out->h;
  }
  line.resize(static_cast<size_t>(logicalW) * s);
  std::vector<SDL_Rect> rects;
  for (int y = 0; y < logicalH; ++y) {
    const Uint32* now = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(composed->pixels) + y * composed->pitch);
    Uint32* before = &shown[static_cast<size_t>(y) * logicalW];
    int x0 = 0, x1 = logicalW;
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
    SDL_ConvertPixels(right - left, 1, SDL_PIXELFORMAT_RGB888, row, logicalW * s * 4, out->format->format, first,
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

void edispSDL::stopUpdate() { updateEnabled = false; }

void edispSDL::resumeUpdate() {
  if (updateEnabled) {
    // Shows the last presentation again where the window lost it.
    if (windowStale) showComposed(true);
    return;
  }
  updateEnabled = true;
  updateContent();
}

// ---- Text ----

int edispSDL::getLineLength(const char* s) const {
  if (!s) return 0;
  int n = 0;
  while (s[n] != '\0' && s[n] != '\n' && s[n] != '\r') ++n;
  return n;
}

void edispSDL::puts_(const char* text, unsigned /*len*/) {
  if (!text) return;
  // Reverse swaps ink and paper, alpha included.
  const SDL_Color ink = reverse ? bgColor : fgColor;
  const SDL_Color paper = reverse ? fgColor : bgColor;

  const char* p = text;
  for (;;) {
    const int length = getLineLength(p);
    if (length > 0) {
      char segment[kMaxSegmentBytes + 1];
      const int kept = std::min(length, kMaxSegmentBytes);
      SDL_memcpy(segment, p, kept);
      segment[kept] = '\0';
      const int width = drawText(segment, static_cast<size_t>(kept), ink, paper);
      if (width < 0) return;
      cursorX = saturate(int64_t{cursorX} + width / cellWidth(charSize));
    }
    p += length;
    for (; *p == '\r' || *p == '\n'; ++p) {
      if (*p == '\r')
        cursorX = 0;
      else
        cursorY = saturate(int64_t{cursorY} + 1);
    }
    if (*p == '\0') break;
  }
  updateContent();
}

int edispSDL::drawText(const char* utf8, size_t len, SDL_Color ink, SDL_Color paper) {
  const int64_t x = int64_t{cursorX} * cellWidth(charSize);
  const int64_t y = int64_t{cursorY} * cellHeight(charSize);
  if (keptCells.isEnabled()) {
    const KeptCells::Style style{charSize, fonts[charSize], cellHeight(charSize), underline != 0, bold != 0, ink, paper};
    const int kept = keptCells.draw(renderer, textPixels, style, utf8, len, x, y);
    if (kept != KeptCells::kNotKept) return kept;
  }
  SDL_Surface* surface = fonts[charSize] ? TTF_RenderUTF8_Solid(fonts[charSize], utf8, ink) : nullptr;
  if (!surface) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "TTF_RenderUTF8_Solid : %s\n", SDL_GetError());
    return -1;
  }
  const int width = surface->w;
  const int ch = cellHeight(charSize);
  // Cells wholly outside the layer are clipped away; skipping them keeps the
  // coordinates handed to SDL small.
  const bool visible = x < logicalW && x + width + 1 > 0 && y < logicalH && y + ch > 0;
  bool ok = true;
  if (visible) {
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!textPixels.target(y, y + ch)) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_SetRenderTarget : %s\n", SDL_GetError());
      ok = false;
    } else {
      const SDL_Rect dst{static_cast<int>(x), static_cast<int>(y), width, ch};
      SDL_SetRenderDrawColor(renderer, paper.r, paper.g, paper.b, paper.a);
      SDL_RenderFillRect(renderer, &dst);
      if (underline) {
        SDL_SetRenderDrawColor(renderer, ink.r, ink.g, ink.b, ink.a);
        SDL_RenderDrawLine(renderer, dst.x, dst.y + ch - 1, dst.x + width - 1, dst.y + ch - 1);
      }
      bool copied = SDL_RenderCopy(renderer, texture, nullptr, &dst) == 0;
      if (copied && bold) {
        const SDL_Rect shifted{dst.x + 1, dst.y, dst.w, dst.h};
        copied = SDL_RenderCopy(renderer, texture, nullptr, &shifted) == 0;
      }
      if (!copied) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_RenderCopy : %s\n", SDL_GetError());
        ok = false;
      }
    }
    if (texture) SDL_DestroyTexture(texture);
  }
  SDL_FreeSurface(surface);
  return ok ? width : -1;
}

void edispSDL::setGlyphCacheEnabled(bool on) { keptCells.setEnabled(on); }

SDL_Texture* edispSDL::getTextLayer() {
  textPixels.flush();
  return textTexture;
}

void edispSDL::printw(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vprintw(fmt, args);
  va_end(args);
}

void edispSDL::vprintw(const char* fmt, va_list args) {
  static char buf[kPrintwBufferSize];
  if (!fmt) return;
  SDL_vsnprintf(buf, sizeof buf, fmt, args);
  puts_(buf, 0);
}

// ---- Cursor and attributes ----

void edispSDL::move(int row, int col) {
  cursorY = row;
  cursorX = col;
}

void edispSDL::curmove(int dRow, int dCol) {
  cursorY = saturate(int64_t{cursorY} + dRow);
  cursorX = saturate(int64_t{cursorX} + dCol);
}

void edispSDL::cur_rowtop() { cursorX = 0; }

void edispSDL::curon() {}

void edispSDL::curoff() {}

void edispSDL::resetAttributes() {
  fgColor = kDefaultFg;
  bgColor = kDefaultBg;
  bold = 0;
  underline = 0;
  blink = 0;
  reverse = 0;
}

void edispSDL::set_attribute(int a) {
  const auto fgRgb = [this](Uint8 r, Uint8 g, Uint8 b) {
    fgColor.r = r;
    fgColor.g = g;
    fgColor.b = b;
  };
  const auto bg = [this](Uint8 r, Uint8 g, Uint8 b) { bgColor = SDL_Color{r, g, b, 255}; };
  switch (a) {
    case 0: resetAttributes(); break;
    case 1: bold = 1; break;
    case 4: underline = 1; break;
    case 5: blink = 1; break;
    case 7: reverse = 1; break;
    case 8:
    case 16:
      fgColor.a = 0;
      bgColor.a = 0;
      break;
    case 17: case 31: fgRgb(255, 0, 0); break;
    case 18: case 32: fgRgb(0, 255, 0); break;
    case 19: case 33: fgRgb(255, 255, 0); break;
    case 20: case 34: fgRgb(0, 0, 255); break;
    case 21: case 35: fgRgb(255, 0, 255); break;
    case 22: case 36: fgRgb(0, 255, 255); break;
    case 23: case 37: case 39: fgRgb(255, 255, 255); break;
    case 24: underline = 0; break;
    case 25: blink = 0; break;
    case 27: reverse = 0; break;
    case 29: bold = 0; break;
    case 30: fgRgb(0, 0, 0); break;
    case 40: bg(0, 0, 0); break;
    case 41: bg(192, 0, 0); break;
    case 42: bg(0, 192, 0); break;
    case 43: bg(255, 255, 0); break;
    case 44: bg(64, 64, 192); break;
    case 45: bg(192, 0, 192); break;
    case 46: bg(0, 192, 192); break;
    case 47: bg(192, 192, 192); break;
    case 49: case 61: bgColor.a = 0; break;
    case 60: fgColor.a = 0; break;
    default: break;
  }
}

void edispSDL::set_attribute(int a, int b) {
  set_attribute(a);
  set_attribute(b);
}

void edispSDL::set_attribute(int a, int b, int c) {
  set_attribute(a, b);
  set_attribute(c);
}

void edispSDL::set_attribute(int a, int b, int c, int d) {
  set_attribute(a, b, c);
  set_attribute(d);
}

void edispSDL::save_attribute(int /*slot*/) {}

void edispSDL::load_attribute(int /*slot*/) {}

// ---- Clearing and erasing ----

void edispSDL::clear() {
  cursorX = 0;
  cursorY = 0;
  textPixels.target(0, logicalH);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
  SDL_RenderClear(renderer);
  updateContent();
}

void edispSDL::eraseCells(int64_t x, int64_t width) {
  const int64_t ch = cellHeight(charSize);
  const int64_t y = int64_t{cursorY} * ch;
  // Clip to the layer so that far-off cursors never reach SDL as huge numbers.
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(x + width, logicalW);
  const int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(y + ch, logicalH);
  if (x0 < x1 && y0 < y1) {
    const SDL_Rect r{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                     static_cast<int>(y1 - y0)};
    textPixels.target(y0, y1);
    SDL_SetRenderDrawColor(renderer, bgColor.r, bgColor.g, bgColor.b, 0);
    SDL_RenderFillRect(renderer, &r);
  }
  updateContent();
}

void edispSDL::del_to_end() {
  const int64_t x = int64_t{cursorX} * cellWidth(charSize);
  eraseCells(x, logicalW - x);
}

void edispSDL::del_row() { eraseCells(0, logicalW); }

void edispSDL::del(int n) {
  const int64_t cw = cellWidth(charSize);
  eraseCells(int64_t{cursorX} * cw, int64_t{n} * cw);
}

void edispSDL::init_disp() {
  for (SDL_Texture* layer : bgBuffers) {
    SDL_SetRenderTarget(renderer, layer);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
  }
  clear();
  resetAttributes();
}

void edispSDL::set_charsize(int n) {
  if (n >= 0 && n <= 2) charSize = n;
  clear();
}

// ---- Background layers ----

SDL_Texture* edispSDL::getLayer(int layer) const { return validLayer(layer) ? bgBuffers[layer] : nullptr; }

void edispSDL::set_bgbuff(int layer) {
  bgBuffIndex = layer;
  updateContent();
}

bool edispSDL::targetLayer(int layer, int colour) {
  if (!validLayer(layer) || !renderer) return false;
  SDL_SetRenderTarget(renderer, bgBuffers[layer]);
  const SDL_Color c = rgb555(colour);
  SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
  return true;
}

void edispSDL::clear_bgbuff(int layer) {
  if (!validLayer(layer) || !renderer) return;
  SDL_SetRenderTarget(renderer, bgBuffers[layer]);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
}

// The rectangle x .. x + w - 1, y .. y + h - 1 with its edges pulled in to one
// pixel outside the layer, which draws the same on the layer; false when the
// rectangle is empty.
bool edispSDL::layerRect(int w, int h, int x, int y, SDL_Rect* out) const {
  if (w <= 0 || h <= 0) return false;
  const int64_t x0 = std::clamp<int64_t>(x, -1, logicalW), x1 = std::clamp<int64_t>(int64_t{x} + w - 1, -1, logicalW);
  const int64_t y0 = std::clamp<int64_t>(y, -1, logicalH), y1 = std::clamp<int64_t>(int64_t{y} + h - 1, -1, logicalH);
  *out = SDL_Rect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0 + 1),
                  static_cast<int>(y1 - y0 + 1)};
  return true;
}

void edispSDL::draw_fillrect(int layer, int w, int h, int x, int y, int colour) {
  SDL_Rect r;
  if (!layerRect(w, h, x, y, &r) || !targetLayer(layer, colour)) return;
  SDL_RenderFillRect(renderer, &r);
}

void edispSDL::draw_rectangle(int layer, int w, int h, int x, int y, int colour) {
  SDL_Rect r;
  if (!layerRect(w, h, x, y, &r) || !targetLayer(layer, colour)) return;
  SDL_RenderDrawRect(renderer, &r);
}

void edispSDL::draw_line(int layer, int x1, int y1, int x2, int y2, int colour) {
  if (!targetLayer(layer, colour)) return;
  const auto safe = [](int v) { return v >= -kSafeCoordinate && v < kSafeCoordinate; };
  if (safe(x1) && safe(y1) && safe(x2) && safe(y2)) {
    SDL_RenderDrawLine(renderer, x1, y1, x2, y2);
    return;
  }
  // Far-off end points: keep the part of the line near the layer.
  double fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
  if (!clipLine(fx1, fy1, fx2, fy2, -1.0, logicalW, logicalH)) return;
  SDL_RenderDrawLine(renderer, static_cast<int>(SDL_lround(fx1)), static_cast<int>(SDL_lround(fy1)),
                     static_cast<int>(SDL_lround(fx2)), static_cast<int>(SDL_lround(fy2)));
}

void edispSDL::draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) {
  if (!targetLayer(layer, colour)) return;
  // Centre and radii keep their low 16 bits, as the unit's numbers always had.
  const auto low16 = [](int v) { return static_cast<int>(static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned>(v)))); };
  std::vector<SDL_Rect> runs;
  traceEllipse(low16(cx), low16(cy), low16(rx), low16(ry), filled != 0, logicalW, logicalH, runs);
  if (!runs.empty()) SDL_RenderFillRects(renderer, runs.data(), static_cast<int>(runs.size()));
}

// ---- Pictures ----

void edispSDL::draw_image(int picture, int layer, int x, int y) {
  char name[kPictureNameSize];
  SDL_snprintf(name, sizeof name, "%d.jpg", picture);
  drawPicture((findPicture ? findPicture(name) : std::string(basePath) + "Image/" + name).c_str(), layer, x, y);
}

void edispSDL::draw_image2(int picture, int layer, int folder, int x, int y) {
  char name[kPictureNameSize];
  SDL_snprintf(name, sizeof name, "%d/%d.jpg", folder, picture);
  drawPicture((findPicture ? findPicture(name) : std::string(basePath) + "Image/" + name).c_str(), layer, x, y);
}

// A picture kept from an earlier draw is copied while its file is unchanged;
// otherwise the file is read and decoded, and the result kept.
void edispSDL::drawPicture(const char* path, int layer, int x, int y) {
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
  const bool visible = x < logicalW && int64_t{x} + picture.w > 0 && y < logicalH && int64_t{y} + picture.h > 0;
  if (visible) {
    if (SDL_SetRenderTarget(renderer, bgBuffers[layer]) != 0) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_SetRenderTarget : %s\n", SDL_GetError());
    } else {
      const SDL_Rect dst{x, y, picture.w, picture.h};
      if (SDL_RenderCopy(renderer, picture.texture, nullptr, &dst) != 0)
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_RenderCopy : %s\n", SDL_GetError());
    }
  }
  if (owned && loaded.texture) SDL_DestroyTexture(loaded.texture);
}
