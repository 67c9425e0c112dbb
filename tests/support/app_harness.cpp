#include "app_harness.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

#include "app_http_server.h"
#include "screen/edispSDL.h"

namespace app_test {

namespace {
const std::string kVersionRequest("\x1b@999y\0", 7);
const std::string kVersionReply = "\x1b@1;2;3;4V";
}  // namespace

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ScriptedUnit::ScriptedUnit(bool answerVersion, std::string greeting)
    : answerVersion(answerVersion), greeting(std::move(greeting)) {
  if (pty.ok()) thread = std::thread(&ScriptedUnit::run, this);
}

void ScriptedUnit::unplug() {
  stop = true;
  if (thread.joinable()) thread.join();
  pty.closeMaster();
}

void ScriptedUnit::run() {
  size_t scanned = 0;
  while (!stop) {
    pollfd p{pty.masterFd(), POLLIN, 0};
    if (poll(&p, 1, 20) != 1) continue;
    char buffer[256];
    const ssize_t n = read(pty.masterFd(), buffer, sizeof buffer);
    if (n <= 0) {
      // No slave open at the moment (the program closed the port).
      usleep(5000);
      continue;
    }
    const double at = nowMs();
    int newRequests = 0;
    bool greet = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      for (ssize_t i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(buffer[i]) != 0xFE) continue;
        greet = greet || keepAlives.empty();
        keepAlives.push_back(at);
      }
      bytes.append(buffer, static_cast<size_t>(n));
      for (size_t found; (found = bytes.find(kVersionRequest, scanned)) != std::string::npos; ++newRequests) {
        requests.push_back(at);
        scanned = found + kVersionRequest.size();
      }
    }
    if (greet && !greeting.empty()) pty.write(greeting);
    for (int i = 0; i < newRequests && answerVersion; ++i) pty.write(kVersionReply);
  }
}

std::string ScriptedUnit::received() const {
  std::lock_guard<std::mutex> lock(mutex);
  return bytes;
}

std::vector<double> ScriptedUnit::keepAliveTimes() const {
  std::lock_guard<std::mutex> lock(mutex);
  return keepAlives;
}

std::vector<double> ScriptedUnit::versionRequestTimes() const {
  std::lock_guard<std::mutex> lock(mutex);
  return requests;
}

void pushQuit() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
}

void pushWindowEvent(const AppProbe& probe, Uint8 subEvent, int data1, int data2) {
  SDL_Event event{};
  event.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(probe.disp->getWindow()), subEvent, 0, 0, 0, data1, data2};
  SDL_PushEvent(&event);
}

AppConfig AppTest::config(const std::string& devicePath) {
  AppConfig cfg;
  cfg.devicePath = devicePath;
  cfg.prefsDir = dir.path();
  cfg.basePath = TAVIX_BUILD_DIR;
  cfg.firmwarePageUrl = "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/";
  cfg.alertSink = [this](const AlertRequest& request) {
    alerts.push_back(request);
    if (onAlert) onAlert(request);
    return alertAnswer;
  };
  cfg.urlOpener = [this](const std::string& url) { openedUrls.push_back(url); };
  return cfg;
}

int AppTest::run(AppConfig cfg, std::function<void(const AppProbe&)> probe, double limitMs) {
  const double start = nowMs();
  bool overdue = false;
  cfg.probe = [&](const AppProbe& view) {
    if (probe) probe(view);
    if (!overdue && nowMs() - start > limitMs) {
      overdue = true;
      pushQuit();
    }
  };
  const int status = runTavixDisp(cfg);
  EXPECT_FALSE(overdue) << "the run had to be stopped after " << limitMs << " ms";
  return status;
}

int AppTest::runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe) {
  bool going = true;
  return run(std::move(cfg), [&](const AppProbe& view) {
    if (view.stage != AppProbe::LoopPass || !going) return;
    going = probe(view);
    if (!going) pushQuit();
  });
}

}  // namespace app_test
