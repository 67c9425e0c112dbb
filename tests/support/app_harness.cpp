#include "app_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "app_http_server.h"
#include "protocol/UnitWire.h"
#include "screen/edispSDL.h"

namespace app_test {
namespace {
const std::string kRequest(reinterpret_cast<const char*>(unit_wire::kVersionRequest), unit_wire::kVersionRequestSize);
}  // namespace

ScriptedUnit::ScriptedUnit() {
  thread = std::thread([this] {
    for (size_t scanned = 0; !stop;) {
      pollfd p{pty.masterFd(), POLLIN, 0};
      char buffer[512];
      const ssize_t n = reading && poll(&p, 1, 5) == 1 ? ::read(pty.masterFd(), buffer, sizeof buffer) : 0;
      if (n <= 0) {
        usleep(2000);  // not reading, or no slave open (the program closed the port)
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex);
      bytes.append(buffer, static_cast<size_t>(n));
      for (size_t at; (at = bytes.find(kRequest, scanned)) != std::string::npos; scanned = at + kRequest.size())
        pty.write(std::string("\x1b@1;2;3;4V"), 500);
    }
  });
}

size_t ScriptedUnit::fillLineTowardsUnit() {
  const int slave = ::open(pty.path(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  const std::string block(1024, 'f');
  size_t taken = 0;
  for (ssize_t n = 1; slave >= 0 && n > 0; taken += std::max<ssize_t>(n, 0)) n = ::write(slave, block.data(), block.size());
  if (slave >= 0) ::close(slave);
  return taken;
}

bool pointLink(const std::string& link, const std::string& target) {
  const std::string temporary = link + ".new";
  unlink(temporary.c_str());
  return symlink(target.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), link.c_str()) == 0;
}

void pushWindowEvent(const AppProbe& probe, Uint8 subEvent, int data1, int data2) {
  SDL_Event event{};
  event.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(probe.disp->getWindow()), subEvent, 0, 0, 0, data1, data2};
  SDL_PushEvent(&event);
}

void pushText(const AppProbe& probe, char c) {
  SDL_Event event{};
  event.text.type = SDL_TEXTINPUT;
  event.text.windowID = SDL_GetWindowID(probe.disp->getWindow());
  event.text.text[0] = c;
  SDL_PushEvent(&event);
}

AppConfig AppTest::config(const std::string& devicePath) {
  AppConfig cfg;
  cfg.devicePath = devicePath;
  cfg.prefsDir = dir.path();
  cfg.basePath = TAVIX_BUILD_DIR;
  cfg.firmwarePageUrl = refusedUrl();
  cfg.alertSink = [this](const AlertRequest& request) { return alerts.push_back(request), 1; };
  cfg.urlOpener = [](const std::string&) {};
  return cfg;
}

int AppTest::runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe, double limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double, std::milli>(limitMs);
  bool going = true, overdue = false;
  cfg.probe = [&](const AppProbe& view) {
    if (view.stage != AppProbe::LoopPass || !going) return;
    overdue = std::chrono::steady_clock::now() > end;
    going = !overdue && probe(view);
    if (going) return;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
  };
  const int status = runTavixDisp(cfg);
  EXPECT_FALSE(overdue) << "the run had to be stopped after " << limitMs << " ms";
  return status;
}

}  // namespace app_test
