#include "screen/edispSDL.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Bytes of one text segment that are drawn; the rest of the segment is dropped.
constexpr int kMaxSegmentBytes = 80;
constexpr size_t kPrintwBufferSize = 100;

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// Without a base directory the data is looked for in the current one.
std::string copyOfBase(const char* base) {
  if (!base) return "";
  std::vector<char> copy(SDL_strlen(base) + 1);
  SDL_utf8strlcpy(copy.data(), base, copy.size());
  return copy.data();
}

}  // namespace

edispSDL::edispSDL(const char* title, int x, int y, int w, int h, const char* basePath, CreationFailure failed)
    : initialized(true), window(w, h), layers(w, h), text(w, h), reportFailure(std::move(failed)) {
  const CreationFailure noteFailure = [this](const char* what, const char* why) {
    if (reportFailure) {
      reportFailure(what, why);
    } else {
      std::fprintf(stderr, "%s: %s\n", what, why);
    }
    initialized = false;
  };
  SDL_Renderer* renderer = window.open(title, x, y, noteFailure);
  const std::string base = copyOfBase(basePath);
  layers.create(renderer, base, noteFailure);
  text.create(renderer, base, noteFailure);
  if (initialized) SDL_PumpEvents();
}

// ---- Window ----

void edispSDL::resizeWindow(int w, int h) { window.resize(w, h); }

void edispSDL::getWindowSize(int* w, int* h) { window.size(w, h); }

void edispSDL::changeWindowTitle(const char* title) { window.setTitle(title); }

void edispSDL::toggleFullscreen() { window.toggleFullscreen(); }

bool edispSDL::isFullscreen() const { return window.isFullscreen(); }

ScreenPlacement edispSDL::placement() { return window.placement(); }

// ---- Presentation ----

void edispSDL::updateContent() {
  if (!updateEnabled || !window.renderer()) return;
  window.present(layers.shown(bgBuffIndex), text.texture());
}

void edispSDL::stopUpdate() { updateEnabled = false; }

void edispSDL::resumeUpdate() {
  if (updateEnabled) {
    // Shows the last presentation again where the window lost it.
    window.repairIfExposed();
    return;
  }
  updateEnabled = true;
  updateContent();
}

SDL_Surface* edispSDL::captureScreen() { return window.capture(layers.shown(bgBuffIndex), text.texture()); }

// ---- Text and cursor ----

int edispSDL::getLineLength(const char* s) const {
  if (!s) return 0;
  int n = 0;
  while (s[n] != '\0' && s[n] != '\n' && s[n] != '\r') ++n;
  return n;
}

void edispSDL::puts_(const char* s, unsigned /*len*/) {
  if (!s) return;
  const char* p = s;
  for (;;) {
    const int length = getLineLength(p);
    if (length > 0) {
      char segment[kMaxSegmentBytes + 1];
      const int kept = std::min(length, kMaxSegmentBytes);
      SDL_memcpy(segment, p, kept);
      segment[kept] = '\0';
      const int width = text.draw(segment, static_cast<size_t>(kept), cursorY, cursorX, pen);
      if (width < 0) return;
      cursorX = saturate(int64_t{cursorX} + width / text.cellWidth());
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

void edispSDL::set_attribute(int a) { pen.apply(a); }

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
  text.clear();
  updateContent();
}

void edispSDL::eraseCells(int64_t x, int64_t width) {
  text.erase(x, width, cursorY, pen.background());
  updateContent();
}

void edispSDL::del_to_end() {
  const int64_t x = int64_t{cursorX} * text.cellWidth();
  eraseCells(x, text.width() - x);
}

void edispSDL::del_row() { eraseCells(0, text.width()); }

void edispSDL::del(int n) {
  const int64_t cw = text.cellWidth();
  eraseCells(int64_t{cursorX} * cw, int64_t{n} * cw);
}

void edispSDL::init_disp() {
  layers.clearAll();
  clear();
  pen.reset();
}

void edispSDL::set_charsize(int n) {
  text.setCharSize(n);
  clear();
}

// ---- Background layers ----

void edispSDL::set_bgbuff(int layer) {
  bgBuffIndex = layer;
  updateContent();
}

void edispSDL::clear_bgbuff(int layer) { layers.clear(layer); }

void edispSDL::draw_fillrect(int layer, int w, int h, int x, int y, int colour) {
  layers.fillRect(layer, w, h, x, y, colour);
}

void edispSDL::draw_rectangle(int layer, int w, int h, int x, int y, int colour) {
  layers.outlineRect(layer, w, h, x, y, colour);
}

void edispSDL::draw_line(int layer, int x1, int y1, int x2, int y2, int colour) {
  layers.line(layer, x1, y1, x2, y2, colour);
}

void edispSDL::draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) {
  layers.ellipse(layer, filled != 0, cx, cy, rx, ry, colour);
}

void edispSDL::draw_image(int picture, int layer, int x, int y) { layers.picture(picture, layer, x, y); }

void edispSDL::draw_image2(int picture, int layer, int folder, int x, int y) {
  layers.pictureInFolder(picture, layer, folder, x, y);
}
