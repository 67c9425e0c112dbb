// bench_flood_runner: the program's own main loop under a unit that never
// stops sending costly drawing commands, played in-process on a
// pseudo-terminal. Measures how long a main-loop pass lasts (from one pass's
// start to the next, the 10 ms pause included) and the longest time between
// two presentations of the window, which bound how late the screen and the
// user's input can be.
//
//   --kind pictures|ellipses --seconds S --base BUILD_DIR
//
// pictures: ESC @ I (picture 1 on layer 0) again and again; ellipses:
// outline ellipses with radii of about 32767 whose top crosses the screen's
// middle row. The first second is not counted. Results go to standard output
// as "name value" lines.
#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchUnit.h"
#include "app/App.h"
#include "app/Prefs.h"

extern "C" int __real_SDL_RenderPresent(SDL_Renderer* renderer);

namespace {

using Clock = std::chrono::steady_clock;

std::mutex presentLock;
std::vector<Clock::time_point> presents;
std::atomic<bool> recording{false};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string floodUnit(const std::string& kind) {
  std::string s;
  if (kind == "pictures") {
    for (int i = 0; i < 64; ++i) s += "\x1B@I";
  } else {
    for (int i = 0; i < 16; ++i) s += "\x1B@3;0;0;320;" + std::to_string(32700 - i) + ";32767;" + std::to_string(32508 - i) + ";32767z";
  }
  return s;
}

}  // namespace

extern "C" int __wrap_SDL_RenderPresent(SDL_Renderer* renderer) {
  const int result = __real_SDL_RenderPresent(renderer);
  if (recording.load()) {
    std::lock_guard<std::mutex> hold(presentLock);
    presents.push_back(Clock::now());
  }
  return result;
}

int main(int argc, char** argv) {
  std::string kind = "pictures", base;
  int seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--kind") kind = value;
    else if (key == "--seconds") seconds = std::atoi(value.c_str());
    else if (key == "--base") base = value;
  }
  char prefsDir[] = "/tmp/tavix-flood-XXXXXX";
  if (!mkdtemp(prefsDir)) return 1;
  Settings settings;
  settings.prefsDir = prefsDir;
  PreferenceMap prefs;
  prefs[kPrefCheckedDate] = getTodayDate();
  writePrefsData(settings, kPrefsFile, prefs);
  setenv("SDL_VIDEODRIVER", "dummy", 0);

  std::atomic<bool> inLoop{false};
  const std::string flood = floodUnit(kind);
  BenchUnit unit("\x1B@1;2;3;4V", [&](PtyPair& pty) {
    if (inLoop.load()) pty.write(flood, 50);
    return 2;
  });
  if (!unit.ok()) return 1;

  AppConfig config;
  config.devicePath = unit.path();
  config.prefsDir = prefsDir;
  config.basePath = base;
  std::vector<Clock::time_point> passes;
  config.probe = [&](const AppProbe& p) {
    if (p.stage != AppProbe::LoopPass) return;
    const Clock::time_point now = Clock::now();
    if (!inLoop.load()) {
      inLoop = true;
      recording = true;
    }
    passes.push_back(now);
    if (ms(now - passes.front()) > seconds * 1000.0) {
      SDL_Event quit;
      SDL_zero(quit);
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
  };
  runTavixDisp(config);

  // The first second lets the flood fill the line.
  const auto longestGap = [](const std::vector<Clock::time_point>& times) {
    double longest = 0;
    for (size_t i = 1; i < times.size(); ++i)
      if (ms(times[i] - times.front()) > 1000) longest = std::max(longest, ms(times[i] - times[i - 1]));
    return longest;
  };
  std::printf("flood_kind %s\n", kind.c_str());
  std::printf("flood_passes %zu\n", passes.size());
  std::printf("flood_longest_pass_ms %.1f\n", longestGap(passes));
  std::lock_guard<std::mutex> hold(presentLock);
  std::printf("flood_presentations %zu\n", presents.size());
  std::printf("flood_longest_presentation_gap_ms %.1f\n", longestGap(presents));
  return 0;
}
