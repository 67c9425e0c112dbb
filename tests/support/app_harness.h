// The whole program run in-process against a scripted unit on a
// pseudo-terminal, with its preferences in a temporary directory, a
// firmware page nobody serves and its alerts recorded; and a page server.
#pragma once

#include <SDL.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/App.h"
#include "app_files.h"
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

// An HTTP server on 127.0.0.1, on a thread of its own: each request path gets the handler's raw response.
class HttpServer {
public:
  explicit HttpServer(std::function<std::string(const std::string& path)> handler) {
    sockaddr_in address{};
    address.sin_family = AF_INET, address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    listen(listener, 8);
    thread = std::thread([this, handler] {
      for (int client; (client = accept(listener, nullptr, nullptr)) >= 0; close(client)) {
        std::string request(8192, '\0');
        request.resize(std::max<ssize_t>(recv(client, &request[0], request.size(), 0), 0));
        const size_t start = request.find(' ') + 1;
        const std::string response = (++requests, handler(request.substr(start, request.find(' ', start) - start)));
        for (ssize_t sent = 0, n = 1; sent < ssize_t(response.size()) && n > 0; sent += n)
          n = send(client, &response[sent], response.size() - sent, MSG_NOSIGNAL);
      }
    });
  }
  ~HttpServer() {
    shutdown(listener, SHUT_RDWR);
    thread.join();
    close(listener);
  }
  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port) + path; }
  int requestCount() const { return requests; }
  static std::string page(const std::string& body, const std::string& status = "200 OK\r\n") {
    return "HTTP/1.1 " + status + "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  }
  static std::string redirect(const std::string& to) { return page("", "302 Found\r\nLocation: " + to + "\r\n"); }

private:
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  std::atomic<int> requests{0};
  std::thread thread;
};

// An address where connections are refused.
inline std::string refusedUrl() { return HttpServer([](const std::string&) { return ""; }).url(); }

// The unit's side of the link, played on its own thread: records what the
// program sends, answers each version request with version 1.2.3.4, can
// stop reading (a hung unit) and be unplugged (the program's port hangs up).
class ScriptedUnit {
public:
  ScriptedUnit() : thread([this] { play(); }) {}
  ~ScriptedUnit() { unplug(); }
  const std::string& path() const { return pty.slavePath(); }
  // A descriptor of the program's port; the program holds the device exclusively.
  int lineFd() const { return pty.slaveFd(); }
  bool send(const std::string& bytes) { return pty.write(bytes); }
  void stopReading(bool stop = true) { reading = !stop; }
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
    const int slave = lineFd();
    fcntl(slave, F_SETFL, O_NONBLOCK);
    const std::string block(1024, 'f');
    size_t taken = 0;
    for (size_t size : {1024, 1})  // whole blocks, then the last bytes that fit
      for (ssize_t n = 1; slave >= 0 && n > 0; taken += std::max<ssize_t>(n, 0)) n = ::write(slave, block.data(), size);
    return taken;
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

// Waits until done() holds, at most 20 s; tells whether it does.
inline bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) usleep(10000);
  return done();
}

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
    const AlertSink sink = [this](const AlertRequest& request) { return alerts.push_back(request), 1; };
    return AppConfig{{dir.path(), sink, refusedUrl(), nullptr}, devicePath, "/dev", TAVIX_BUILD_DIR, nullptr};
  }
  // Runs the program; probe is called at each main-loop pass until it
  // returns false, then the program is asked to quit. Paced, a thread wakes
  // the loop every 10 ms until then, so that the probe looks that often. A
  // run still going after 30 s is asked to quit and the test fails.
  int runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe, bool paced = true) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool going = true, overdue = false;
    std::atomic<bool> pacing{paced};
    std::thread pacer;
    cfg.probe = [&](const AppProbe& view) {
      if (view.stage != AppProbe::LoopPass || !going) return;
      if (pacing && !pacer.joinable())
        pacer = std::thread([&] { while (pacing) { SDL_Event wake{SDL_USEREVENT}; SDL_PushEvent(&wake), SDL_Delay(10); } });
      overdue = std::chrono::steady_clock::now() > end;
      if (!(going = !overdue && probe(view))) {
        pacing = false;  // no event may follow the program's SDL_Quit
        if (pacer.joinable()) pacer.join();
        SDL_Event quit{SDL_QUIT};
        SDL_PushEvent(&quit);
      }
    };
    const int status = runTavixDisp(cfg);
    pacing = false;
    if (pacer.joinable()) pacer.join();
    EXPECT_FALSE(overdue) << "the run had to be stopped";
    return status;
  }
  std::string prefsText() const { return readFile(dir.file("tavixDisp.prefs")); }

  TempDir dir;
  std::vector<AlertRequest> alerts;
};

}  // namespace app_test
