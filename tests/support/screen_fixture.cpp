#include "screen_fixture.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace screen_test {

bool startMediaLibraries(std::string* why) {
  static bool tried = false;
  static bool ok = false;
  static std::string reason;
  if (!tried) {
    tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      reason = std::string("SDL_Init: ") + SDL_GetError();
    } else if (TTF_Init() != 0) {
      reason = std::string("TTF_Init: ") + TTF_GetError();
    } else if ((IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
      reason = std::string("IMG_Init: ") + IMG_GetError();
    } else {
      ok = true;
    }
  }
  if (why) *why = reason;
  return ok;
}

const char* buildBasePath() { return TAVIX_BUILD_DIR; }

bool fontsBuilt() {
  for (const char* name : {"misaki_gothic.ttf", "JF-Dot-MPlus10.ttf", "JF-Dot-Shinonome16.ttf"}) {
    std::ifstream f(std::string(buildBasePath()) + "fonts/" + name);
    if (!f) return false;
  }
  return true;
}

bool Pixel::near(const Pixel& o, int tolerance) const {
  return std::abs(r - o.r) <= tolerance && std::abs(g - o.g) <= tolerance && std::abs(b - o.b) <= tolerance &&
         std::abs(a - o.a) <= tolerance;
}

std::ostream& operator<<(std::ostream& os, const Pixel& p) {
  return os << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

static SDL_Rect clipTo(const SDL_Rect& area, int w, int h) {
  SDL_Rect whole{0, 0, w, h};
  SDL_Rect out{0, 0, 0, 0};
  if (!SDL_IntersectRect(&area, &whole, &out)) return SDL_Rect{0, 0, 0, 0};
  return out;
}

int PixelImage::count(const Pixel& p, const SDL_Rect& area) const {
  SDL_Rect r = clipTo(area, w, h);
  int n = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      if (at(x, y) == p) ++n;
  return n;
}

bool PixelImage::all(const Pixel& p, const SDL_Rect& area) const {
  SDL_Rect r = clipTo(area, w, h);
  return count(p, area) == r.w * r.h;
}

int PixelImage::countTransparent(const SDL_Rect& area) const {
  SDL_Rect r = clipTo(area, w, h);
  int n = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      if (at(x, y).a == 0) ++n;
  return n;
}

SDL_Rect PixelImage::boundsOfOthers(const Pixel& background) const {
  int x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (at(x, y) != background) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return SDL_Rect{0, 0, 0, 0};
  return SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

PixelImage readPixels(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* area) {
  PixelImage img;
  if (!renderer) return img;
  SDL_Texture* previous = SDL_GetRenderTarget(renderer);
  SDL_SetRenderTarget(renderer, texture);
  SDL_Rect r{0, 0, 0, 0};
  if (area) {
    r = *area;
  } else if (texture) {
    SDL_QueryTexture(texture, nullptr, nullptr, &r.w, &r.h);
  } else {
    SDL_GetRendererOutputSize(renderer, &r.w, &r.h);
  }
  img.w = r.w;
  img.h = r.h;
  img.pixels.resize(static_cast<size_t>(r.w) * r.h);
  if (r.w > 0 && r.h > 0 &&
      SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGBA32, img.pixels.data(), r.w * 4) != 0) {
    ADD_FAILURE() << "SDL_RenderReadPixels: " << SDL_GetError();
  }
  SDL_SetRenderTarget(renderer, previous);
  return img;
}

Pixel readPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y) {
  SDL_Rect r{x, y, 1, 1};
  PixelImage img = readPixels(renderer, texture, &r);
  return img.pixels.empty() ? Pixel{0, 0, 0, 0} : img.pixels[0];
}

AlertRecorder::AlertRecorder(int answer) : answer_(answer) {
  setAlertSink([this](const AlertRequest& request) {
    alerts.push_back(request);
    return answer_;
  });
}

AlertRecorder::~AlertRecorder() { setAlertSink(AlertSink()); }

static void recordLogLine(void* userdata, int category, SDL_LogPriority priority, const char* message) {
  static_cast<LogRecorder*>(userdata)->lines.push_back({category, priority, message ? message : ""});
}

LogRecorder::LogRecorder() {
  SDL_LogGetOutputFunction(&oldFn_, &oldData_);
  oldAppPriority_ = SDL_LogGetPriority(SDL_LOG_CATEGORY_APPLICATION);
  SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_VERBOSE);
  SDL_LogSetOutputFunction(recordLogLine, this);
}

LogRecorder::~LogRecorder() {
  SDL_LogSetOutputFunction(oldFn_, oldData_);
  SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, oldAppPriority_);
}

int LogRecorder::countStartingWith(const std::string& prefix) const {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const Line& l) {
    return l.text.compare(0, prefix.size(), prefix) == 0;
  }));
}

std::unique_ptr<edispSDL> makeScreen(int w, int h, const char* basePath, std::vector<AlertRequest>* alerts) {
  AlertRecorder recorder;
  auto screen = std::make_unique<edispSDL>("test", 0, 0, w, h, basePath);
  if (alerts) alerts->insert(alerts->end(), recorder.alerts.begin(), recorder.alerts.end());
  return screen;
}

void ScreenTest::SetUp() {
  std::string why;
  ASSERT_TRUE(startMediaLibraries(&why)) << why;
  if (!fontsBuilt()) GTEST_SKIP() << "fonts not built under " << buildBasePath() << "fonts/";
  std::vector<AlertRequest> constructionAlerts;
  screen = makeScreen(640, 384, buildBasePath(), &constructionAlerts);
  ASSERT_TRUE(screen->initialized) << constructionAlerts.size() << " alerts while creating the screen";
  alertRecorder = std::make_unique<AlertRecorder>();
  screen->init_disp();
}

void ScreenTest::TearDown() {
  screen.reset();
  alertRecorder.reset();
}

PixelImage ScreenTest::textLayer(const SDL_Rect* area) const {
  return readPixels(screen->getRenderer(), screen->getTextLayer(), area);
}

PixelImage ScreenTest::layer(int n, const SDL_Rect* area) const {
  return readPixels(screen->getRenderer(), screen->getLayer(n), area);
}

PixelImage ScreenTest::windowPixels(const SDL_Rect* area) const {
  return readPixels(screen->getRenderer(), nullptr, area);
}

}  // namespace screen_test
