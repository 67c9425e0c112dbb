// Test helpers for anything that draws through edispSDL: brings up SDL video,
// SDL_ttf and SDL_image once per test program, creates screens whose fonts
// come from the build directory, reads pixels back from textures and from
// the window, and records alerts and SDL log lines instead of showing them.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Alert.h"
#include "screen/edispSDL.h"

namespace screen_test {

// Initialises SDL (video), SDL_ttf and SDL_image (JPEG) once; later calls
// return the first result. On failure `why` receives the library's error text.
bool startMediaLibraries(std::string* why = nullptr);

// True when the three font files exist under <build dir>/fonts/.
bool fontsBuilt();

// Base directory of the build, with its trailing slash (fonts/ lives there).
const char* buildBasePath();

struct Pixel {
  Uint8 r, g, b, a;
  bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator!=(const Pixel& o) const { return !(*this == o); }
  // Each of r, g, b and a within `tolerance` of the other pixel's.
  bool near(const Pixel& o, int tolerance) const;
};
std::ostream& operator<<(std::ostream& os, const Pixel& p);

// A block of pixels read back from a texture or from the window.
struct PixelImage {
  int w = 0;
  int h = 0;
  std::vector<Pixel> pixels;  // row by row
  const Pixel& at(int x, int y) const { return pixels.at(static_cast<size_t>(y) * w + x); }
  // Number of pixels of the rectangle (clipped to the image) equal to p.
  int count(const Pixel& p, const SDL_Rect& area) const;
  int count(const Pixel& p) const { return count(p, SDL_Rect{0, 0, w, h}); }
  // Every pixel of the rectangle (clipped to the image) equals p.
  bool all(const Pixel& p, const SDL_Rect& area) const;
  // Number of pixels of the rectangle (clipped to the image) with alpha 0,
  // whatever their colour.
  int countTransparent(const SDL_Rect& area) const;
  // Smallest rectangle holding every pixel that differs from `background`
  // (w = h = 0 when none does).
  SDL_Rect boundsOfOthers(const Pixel& background) const;
};

// Reads `texture` (a render target of `renderer`) as RGBA bytes; null `texture`
// reads the window. `area` null means the whole target. The renderer's target
// is restored afterwards.
PixelImage readPixels(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* area = nullptr);
Pixel readPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y);

// Records alerts shown through showAlert/DisplayErrorDialog while alive
// (answers each with `answer`), then restores the platform's message box.
class AlertRecorder {
public:
  explicit AlertRecorder(int answer = 0);
  ~AlertRecorder();
  AlertRecorder(const AlertRecorder&) = delete;
  AlertRecorder& operator=(const AlertRecorder&) = delete;
  std::vector<AlertRequest> alerts;

private:
  int answer_;
};

// Records SDL log lines while alive (every category, every priority is let
// through), then restores the previous output function and priorities.
class LogRecorder {
public:
  LogRecorder();
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;
  struct Line {
    int category;
    SDL_LogPriority priority;
    std::string text;
  };
  std::vector<Line> lines;
  // Number of recorded lines whose text starts with `prefix`.
  int countStartingWith(const std::string& prefix) const;

private:
  SDL_LogOutputFunction oldFn_;
  void* oldData_;
  SDL_LogPriority oldAppPriority_;
};

// Creates a screen of w x h pixels titled "test" with the given base directory
// (default: the build directory). Alerts raised while constructing go to
// `alerts` when given, else they are dropped; afterwards the platform's
// message box is the alert sink again.
std::unique_ptr<edispSDL> makeScreen(int w = 640, int h = 384, const char* basePath = buildBasePath(),
                                     std::vector<AlertRequest>* alerts = nullptr);

// Fixture: media libraries up, a 640 x 384 screen over the built fonts with
// every layer black and the text layer clear (init_disp), and an alert
// recorder so nothing blocks. Skips the test when the fonts are missing.
class ScreenTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Pixels of the text layer, of background layer n, or of the window.
  PixelImage textLayer(const SDL_Rect* area = nullptr) const;
  PixelImage layer(int n, const SDL_Rect* area = nullptr) const;
  PixelImage windowPixels(const SDL_Rect* area = nullptr) const;

  std::unique_ptr<edispSDL> screen;
  std::unique_ptr<AlertRecorder> alertRecorder;
};

}  // namespace screen_test
