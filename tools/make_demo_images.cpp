// Makes the demonstration's pictures as JPEG files: a test pattern and
// photograph-like scenes computed from formulas, so every build makes the
// same files without anything downloaded.
//
//   make_demo_images <output dir>
//
// writes <dir>/1.jpg (test pattern, 640 x 384), <dir>/2.jpg (sunset over
// the sea, 640 x 384), <dir>/3.jpg (hills, 160 x 120) and <dir>/1/1.jpg ..
// <dir>/1/8.jpg (scenes of 144 x 96).
#include <SDL.h>
#include <SDL_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  t = std::min(1.0, std::max(0.0, t));
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Uint8 channel(double v) {
  return static_cast<Uint8>(std::lround(std::min(255.0, std::max(0.0, v))));
}

using Painter = std::function<Rgb(double x, double y, int w, int h)>;

bool save(const std::string& path, int w, int h, const Painter& paint) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
  if (s == nullptr) return false;
  for (int y = 0; y < h; ++y) {
    Uint8* row = static_cast<Uint8*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < w; ++x) {
      Rgb c = paint(x, y, w, h);
      row[3 * x + 0] = channel(c.r);
      row[3 * x + 1] = channel(c.g);
      row[3 * x + 2] = channel(c.b);
    }
  }
  bool ok = IMG_SaveJPG(s, path.c_str(), 90) == 0;
  SDL_FreeSurface(s);
  if (!ok) std::fprintf(stderr, "make_demo_images: %s: %s\n", path.c_str(), SDL_GetError());
  return ok;
}

// Colour bars, a grey ramp, a frequency sweep, a grid and a circle.
Rgb testPattern(double x, double y, int w, int h) {
  static const Rgb bars[8] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                              {192, 0, 192},   {192, 0, 0},   {0, 0, 192},   {16, 16, 16}};
  Rgb c;
  if (y < h * 0.55) {
    c = bars[static_cast<int>(x * 8 / w)];
  } else if (y < h * 0.70) {
    int step = static_cast<int>(x * 16 / w);
    double v = step * 255.0 / 15;
    c = {v, v, v};
  } else if (y < h * 0.85) {
    double f = 0.02 + 0.2 * x / w;  // a sweep up to 0.42 cycles per pixel
    double v = 127.5 + 127.5 * std::sin(2 * M_PI * f * x);
    c = {v, v, v};
  } else {
    c = mix({255, 0, 0}, {0, 0, 255}, x / w);
  }
  int gx = static_cast<int>(x), gy = static_cast<int>(y);
  if (gx % 64 == 0 || gy % 64 == 0) c = {255, 255, 255};
  double dx = x - w / 2.0, dy = y - h / 2.0;
  double r = std::sqrt(dx * dx + dy * dy);
  if (std::fabs(r - h * 0.4) < 1.5) c = {255, 255, 255};
  if (std::fabs(dx) < 1 || std::fabs(dy) < 1) c = {255, 255, 255};
  return c;
}

// A sunset over the sea: sky, sun with glow, mountains, sea with shimmer.
Rgb sunset(double x, double y, int w, int h, double hueShift) {
  double u = x / w, v = y / h;
  double horizon = 0.62;
  Rgb top = {40 + 30 * hueShift, 30, 110 - 40 * hueShift};
  Rgb low = {250, 150 + 40 * hueShift, 60};
  double sunX = 0.68, sunY = 0.52;
  double d = std::sqrt((u - sunX) * (u - sunX) * 2.8 + (v - sunY) * (v - sunY));
  if (v < horizon) {
    Rgb c = mix(top, low, std::pow(v / horizon, 1.6));
    double glow = std::exp(-d * 9);
    c = mix(c, {255, 240, 190}, glow);
    if (d < 0.07) c = {255, 245, 210};
    double ridge = horizon - 0.08 - 0.05 * std::sin(u * 9.0 + 1.3) - 0.03 * std::sin(u * 23.0) -
                   0.015 * std::sin(u * 57.0);
    if (v > ridge) c = mix({40, 25, 50}, {70, 40, 60}, (v - ridge) / (horizon - ridge));
    return c;
  }
  double depth = (v - horizon) / (1 - horizon);
  Rgb c = mix({90, 60, 100}, {10, 20, 60}, depth);
  double shimmer = std::sin(y * 1.7 + std::sin(x * 0.09) * 3) * 0.5 + 0.5;
  double column = std::exp(-std::fabs(u - sunX) * (10 + depth * 20));
  c = mix(c, {255, 200, 120}, column * shimmer * (1 - depth * 0.6));
  return c;
}

// Green hills under a blue sky with soft clouds.
Rgb hills(double x, double y, int w, int h, double season) {
  double u = x / w, v = y / h;
  Rgb c = mix({90, 150, 230}, {200, 225, 250}, v / 0.6);
  double cloud = std::exp(-std::pow((u - 0.3) * 5, 2) - std::pow((v - 0.18) * 12, 2)) +
                 std::exp(-std::pow((u - 0.72) * 6, 2) - std::pow((v - 0.25) * 14, 2));
  c = mix(c, {250, 250, 250}, cloud);
  Rgb grass = mix({60, 150, 50}, {170, 130, 40}, season);
  double far = 0.55 - 0.08 * std::sin(u * 5 + 0.5);
  double near = 0.72 - 0.1 * std::sin(u * 3.2 + 2.0);
  if (v > far) c = mix(grass, {30, 80, 40}, (v - far) * 1.5);
  if (v > near) c = mix(mix(grass, {255, 255, 255}, 0.15), {20, 60, 20}, (v - near) * 2);
  return c;
}

// Interference rings in a colour pair.
Rgb rings(double x, double y, int w, int h, Rgb a, Rgb b) {
  double dx = x - w * 0.3, dy = y - h * 0.4, ex = x - w * 0.75, ey = y - h * 0.7;
  double t = 0.5 + 0.25 * std::sin(std::sqrt(dx * dx + dy * dy) * 0.35) +
             0.25 * std::sin(std::sqrt(ex * ex + ey * ey) * 0.28);
  return mix(a, b, t);
}

bool makeDir(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_images <output dir>\n");
    return 2;
  }
  if ((IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
    std::fprintf(stderr, "make_demo_images: IMG_Init: %s\n", IMG_GetError());
    return 1;
  }
  std::string dir = argv[1];
  if (!makeDir(dir) || !makeDir(dir + "/1")) {
    std::fprintf(stderr, "make_demo_images: cannot create %s\n", dir.c_str());
    return 1;
  }
  bool ok = save(dir + "/1.jpg", 640, 384, testPattern);
  ok = save(dir + "/2.jpg", 640, 384,
            [](double x, double y, int w, int h) { return sunset(x, y, w, h, 0.0); }) && ok;
  ok = save(dir + "/3.jpg", 160, 120,
            [](double x, double y, int w, int h) { return hills(x, y, w, h, 0.0); }) && ok;
  const Painter folder[8] = {
      [](double x, double y, int w, int h) { return sunset(x, y, w, h, 0.0); },
      [](double x, double y, int w, int h) { return sunset(x, y, w, h, 1.0); },
      [](double x, double y, int w, int h) { return hills(x, y, w, h, 0.0); },
      [](double x, double y, int w, int h) { return hills(x, y, w, h, 1.0); },
      [](double x, double y, int w, int h) { return rings(x, y, w, h, {20, 40, 120}, {120, 220, 255}); },
      [](double x, double y, int w, int h) { return rings(x, y, w, h, {120, 20, 60}, {255, 200, 80}); },
      [](double x, double y, int w, int h) { return testPattern(x * 640 / w, y * 384 / h, 640, 384); },
      [](double x, double y, int w, int h) { return mix({0, 0, 0}, {255, 255, 255}, (x / w + y / h) / 2); },
  };
  for (int i = 0; i < 8; ++i)
    ok = save(dir + "/1/" + std::to_string(i + 1) + ".jpg", 144, 96, folder[i]) && ok;
  IMG_Quit();
  return ok ? 0 : 1;
}
