#include "screen/EllipseTrace.h"

#include <algorithm>
#include <cstdint>

namespace {

// Steps per pixel of the midpoint walk: finer for small ellipses.
int overscanFor(int64_t rx, int64_t ry) {
  if (rx >= 512 || ry >= 512) return 1;
  if (rx >= 256 || ry >= 256) return 2;
  return 4;
}

class Tracer {
public:
  Tracer(int64_t cx, int64_t cy, bool filled, int clipW, int clipH, std::vector<SDL_Rect>& out)
      : cx(cx), cy(cy), filled(filled), clipW(clipW), clipH(clipH), out(out) {}

  // Rows y0..y1 of column x, as far as they are visible.
  void run(int64_t x, int64_t y0, int64_t y1) {
    if (x < 0 || x >= clipW) return;
    y0 = std::max<int64_t>(y0, 0);
    y1 = std::min<int64_t>(y1, clipH - 1);
    if (y0 > y1) return;
    out.push_back(SDL_Rect{static_cast<int>(x), static_cast<int>(y0), 1, static_cast<int>(y1 - y0 + 1)});
  }

  // The four mirror images of the point (dx, dy) of the first quadrant: two
  // vertical runs through the centre row when filled, else four points.
  void quadrants(int64_t dx, int64_t dy) {
    if (filled) {
      run(cx + dx, cy - dy, cy + dy);
      if (dx != 0) run(cx - dx, cy - dy, cy + dy);
      return;
    }
    run(cx + dx, cy + dy, cy + dy);
    if (dy != 0) run(cx + dx, cy - dy, cy - dy);
    if (dx != 0) {
      run(cx - dx, cy + dy, cy + dy);
      if (dy != 0) run(cx - dx, cy - dy, cy - dy);
    }
  }

private:
  const int64_t cx;
  const int64_t cy;
  const bool filled;
  const int clipW;
  const int clipH;
  std::vector<SDL_Rect>& out;
};

}  // namespace

void traceEllipse(int cx, int cy, int rx, int ry, bool filled, int clipW, int clipH, std::vector<SDL_Rect>& out) {
  if (rx < 0 || ry < 0 || clipW <= 0 || clipH <= 0) return;
  Tracer t(cx, cy, filled, clipW, clipH, out);
  // Degenerate radii: a point, a vertical or a horizontal line.
  if (rx == 0) {
    t.run(cx, int64_t(cy) - ry, int64_t(cy) + ry);
    return;
  }
  if (ry == 0) {
    const int64_t x0 = std::max<int64_t>(int64_t(cx) - rx, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(cx) + rx, clipW - 1);
    if (cy >= 0 && cy < clipH && x0 <= x1) {
      out.push_back(SDL_Rect{static_cast<int>(x0), cy, static_cast<int>(x1 - x0 + 1), 1});
    }
    return;
  }

  const int64_t overscan = overscanFor(rx, ry);
  int64_t oldX = 0;
  int64_t oldY = ry;
  int64_t scrX = 0;
  t.quadrants(0, ry);

  // Midpoint walk over the radii scaled by the overscan, from the top of the
  // ellipse to its right end.
  const int64_t rxi = rx * overscan;
  const int64_t ryi = ry * overscan;
  const int64_t rx2 = rxi * rxi;
  const int64_t rx22 = rx2 + rx2;
  const int64_t ry2 = ryi * ryi;
  const int64_t ry22 = ry2 + ry2;
  int64_t curX = 0;
  int64_t curY = ryi;
  int64_t deltaX = 0;
  int64_t deltaY = rx22 * curY;

  // First segment: the slope is below one, x advances every step.
  int64_t error = ry2 - rx2 * ryi + rx2 / 4;
  while (deltaX <= deltaY) {
    ++curX;
    deltaX += ry22;
    error += deltaX + ry2;
    if (error >= 0) {
      --curY;
      deltaY -= rx22;
      error -= deltaY;
    }
    scrX = curX / overscan;
    const int64_t scrY = curY / overscan;
    if (scrX != oldX) {
      t.quadrants(scrX, scrY);
      oldX = scrX;
      oldY = scrY;
    }
  }

  // Second segment: y falls every step down to the centre row.
  if (curY > 0) {
    const int64_t curXp1 = curX + 1;
    const int64_t curYm1 = curY - 1;
    error = ry2 * curX * curXp1 + ((ry2 + 3) / 4) + rx2 * curYm1 * curYm1 - rx2 * ry2;
    while (curY > 0) {
      --curY;
      deltaY -= rx22;
      error += rx2;
      error -= deltaY;
      if (error <= 0) {
        ++curX;
        deltaX += ry22;
        error += deltaX;
      }
      scrX = curX / overscan;
      const int64_t scrY = curY / overscan;
      if (scrX != oldX) {
        // Outline: every row passed since the last column; filled: one run
        // per column reaches all of them.
        if (filled) {
          if (oldY - 1 >= scrY) t.quadrants(scrX, oldY - 1);
        } else {
          for (int64_t y = oldY - 1; y >= scrY; --y) t.quadrants(scrX, y);
        }
        oldX = scrX;
        oldY = scrY;
      }
    }
    // Outline: the rows left between the last column's row and the centre.
    if (!filled) {
      for (int64_t y = oldY - 1; y >= 0; --y) t.quadrants(scrX, y);
    }
  }
}
