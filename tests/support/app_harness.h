// The whole program run in-process against a scripted unit on a
// pseudo-terminal, with its preferences in a temporary directory, a
// firmware page nobody serves and its alerts recorded.
#pragma once

#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/App.h"
#include "app_files.h"
#include "app_http_server.h"
#include "protocol/UnitWire.h"
#include "pty_pair.h"
#include "screen/edispSDL.h"

namespace app_test {

// The comment lines every written preference file starts with.
const std::string kPrefsHead =
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n"
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n"
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n"
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,ボタン2=BS)\n"
    "; window_x, window_y: 前回終了時のウィンドウ位置\n";

// The unit's side of the link, played on its own thread: records what the
// program sends, answers each version request with version 1.2.3.4, can
// stop reading (a hung unit) and be unplugged (the program's port hangs up).
class ScriptedUnit {
public:
  ScriptedUnit() : thread([this] { play(); }) {}
  ~ScriptedUnit() { unplug(); }
  const std::string& path() const { return pty.slavePath(); }
  bool send(const std::string& bytes) { return pty.write(bytes); }
  void stopReading() { reading = false; }
  void unplug() {
    stop = true;
    if (thread.joinable()) thread.join();
    pty.closeMaster();
  }
  std::string received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return bytes;
  }
  int keepAlives() const {
    const std::string all = received();
    return static_cast<int>(std::count(all.begin(), all.end(), '\xFE'));
  }
  // Fills the line towards the unit until it takes nothing more; returns what it took.
  size_t fillLineTowardsUnit() {
    const int slave = ::open(pty.path(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const std::string block(1024, 'f');
    size_t taken = 0;
    for (ssize_t n = 1; slave >= 0 && n > 0; taken += std::max<ssize_t>(n, 0)) n = ::write(slave, block.data(), 1024);
    return ::close(slave), taken;
  }

private:
  void play() {
    const std::string request(reinterpret_cast<const char*>(unit_wire::kVersionRequest), unit_wire::kVersionRequestSize);
    for (size_t scanned = 0; !stop;) {
      pollfd p{pty.masterFd(), POLLIN, 0};
      char buffer[512];
      const ssize_t n = reading && poll(&p, 1, 5) == 1 ? ::read(pty.masterFd(), buffer, sizeof buffer) : 0;
      if (n <= 0) {  // not reading, or the program closed the port
        usleep(2000);
        continue;
      }
      std::lock_guard<std::mutex> lock(mutex);
      bytes.append(buffer, static_cast<size_t>(n));
      for (size_t at; (at = bytes.find(request, scanned)) != std::string::npos; scanned = at + request.size())
        pty.write(std::string("\x1b@1;2;3;4V"), 500);
    }
  }

  PtyPair pty;
  std::atomic<bool> stop{false}, reading{true};
  mutable std::mutex mutex;
  std::string bytes;
  std::thread thread;
};

// Points the symbolic link at target, replacing any previous one in one step.
inline bool pointLink(const std::string& link, const std::string& target) {
  unlink((link + ".new").c_str());
  return symlink(target.c_str(), (link + ".new").c_str()) == 0 && rename((link + ".new").c_str(), link.c_str()) == 0;
}

// A window event, or a typed character when subEvent is 0.
inline void pushEvent(const AppProbe& probe, Uint8 subEvent, int data1 = 0, int data2 = 0) {
  SDL_Event event{};
  event.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(probe.disp->getWindow()), subEvent, 0, 0, 0, data1, data2};
  if (subEvent == 0) event.text.type = SDL_TEXTINPUT, event.text.text[0] = static_cast<char>(data1);
  SDL_PushEvent(&event);
}

class AppTest : public ::testing::Test {
protected:
  AppConfig config(const std::string& devicePath) {
    AppConfig cfg;
    cfg.devicePath = devicePath;
    cfg.prefsDir = dir.path();
    cfg.basePath = TAVIX_BUILD_DIR;
    cfg.firmwarePageUrl = refusedUrl();
    cfg.alertSink = [this](const AlertRequest& request) { return alerts.push_back(request), 1; };
    return cfg;
  }
  // Runs the program; probe is called at each main-loop pass until it
  // returns false, then the program is asked to quit. A run still going
  // after 30 s is asked to quit and the test fails.
  int runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool going = true, overdue = false;
    cfg.probe = [&](const AppProbe& view) {
      if (view.stage != AppProbe::LoopPass || !going) return;
      overdue = std::chrono::steady_clock::now() > end;
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      if (!(going = !overdue && probe(view))) SDL_PushEvent(&quit);
    };
    const int status = runTavixDisp(cfg);
    EXPECT_FALSE(overdue) << "the run had to be stopped";
    return status;
  }
  std::string prefsText() const { return readFile(dir.file("tavixDisp.prefs")); }

  TempDir dir;
  std::vector<AlertRequest> alerts;
};

}  // namespace app_test
