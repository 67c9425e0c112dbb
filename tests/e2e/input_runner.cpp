// Runs the program in a real window with a pseudo-terminal as the unit's
// serial device, and plays the unit on the master side: it answers every
// firmware version request at once and records every byte the program sends.
//
//   input_runner <work dir> <base dir>
//
// The work dir receives:
//   prefs/     the preference directory of the run
//   received   every byte from the program, appended as it arrives
//   ready      created when the main loop starts its first pass
//   alerts     one line per alert the program tried to show
// The base dir is where fonts/ lives (the build directory).
// Exit status: the program's own, or 3 when it showed an alert, or 2 when
// the run could not be set up.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <netinet/in.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

#include "app/App.h"

namespace {

const char kVersionRequest[] = "\x1b@999y";
const char kVersionReply[] = "\x1b@1;0;0;0V";  // firmware 1.0.0.0

bool writeAll(int fd, const char* data, size_t len) {
  while (len > 0) {
    const ssize_t n = ::write(fd, data, len);
    if (n > 0) {
      data += n;
      len -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    }
    struct pollfd pfd = {fd, POLLOUT, 0};
    if (poll(&pfd, 1, 2000) == 0) {
      return false;
    }
  }
  return true;
}

bool touchFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

// A loopback address on which nothing listens, so the daily firmware check
// fails at once instead of going to the internet.
std::string refusedPageUrl() {
  int port = 1;
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s >= 0) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port = ntohs(addr.sin_port);
    }
    ::close(s);
  }
  return "http://127.0.0.1:" + std::to_string(port) + "/";
}

// The unit's side of the link.
class ScriptedUnit {
public:
  ScriptedUnit(int master, int recordFd) : master(master), recordFd(recordFd) {}

  void start() { thread = std::thread([this] { run(); }); }

  void stop() {
    stopping = true;
    if (thread.joinable()) {
      thread.join();
    }
  }

  bool failed() const { return failure; }

private:
  void run() {
    // Keeps reading until asked to stop and the line has gone quiet.
    for (;;) {
      struct pollfd pfd = {master, POLLIN, 0};
      const int ready = poll(&pfd, 1, 50);
      if (ready > 0 && (pfd.revents & POLLIN)) {
        char buf[512];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
          take(buf, static_cast<size_t>(n));
          continue;
        }
      }
      if (stopping) {
        return;
      }
      if (ready > 0 && !(pfd.revents & POLLIN)) {
        // Hang-up while the program has its port closed: nothing to read.
        usleep(20 * 1000);
      }
    }
  }

  void take(const char* data, size_t len) {
    if (!writeAll(recordFd, data, len)) {
      failure = true;
    }
    seen.append(data, len);
    for (size_t at = seen.find(kVersionRequest, searchFrom); at != std::string::npos;
         at = seen.find(kVersionRequest, searchFrom)) {
      searchFrom = at + sizeof kVersionRequest - 1;
      if (!writeAll(master, kVersionReply, sizeof kVersionReply - 1)) {
        failure = true;
      }
    }
  }

  int master;
  int recordFd;
  std::string seen;
  size_t searchFrom = 0;
  std::atomic<bool> stopping{false};
  std::atomic<bool> failure{false};
  std::thread thread;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: input_runner <work dir> <base dir>\n");
    return 2;
  }
  const std::string work = argv[1];
  const std::string prefsDir = work + "/prefs";
  ::mkdir(prefsDir.c_str(), 0755);

  struct termios raw;
  cfmakeraw(&raw);
  cfsetispeed(&raw, B230400);
  cfsetospeed(&raw, B230400);
  int master = -1;
  int slave = -1;
  char slavePath[256] = {0};
  if (openpty(&master, &slave, slavePath, &raw, nullptr) != 0) {
    std::perror("openpty");
    return 2;
  }
  // The runner keeps its own slave descriptor, so the master side stays
  // usable whenever the program closes its port.
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  const int recordFd =
      ::open((work + "/received").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (recordFd < 0) {
    std::perror("received");
    return 2;
  }
  const int alertFd =
      ::open((work + "/alerts").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (alertFd < 0) {
    std::perror("alerts");
    return 2;
  }

  ScriptedUnit unit(master, recordFd);
  unit.start();

  int alerts = 0;
  bool readySignalled = false;
  AppConfig config;
  config.devicePath = slavePath;
  config.prefsDir = prefsDir;
  config.basePath = argv[2];
  config.firmwarePageUrl = refusedPageUrl();
  config.alertSink = [&](const AlertRequest& request) {
    ++alerts;
    const std::string line = request.header + " | " + request.message + "\n";
    writeAll(alertFd, line.data(), line.size());
    std::fprintf(stderr, "input_runner: alert: %s", line.c_str());
    return request.defaultButton;
  };
  config.urlOpener = [](const std::string& url) {
    std::fprintf(stderr, "input_runner: the program asked to open %s\n", url.c_str());
  };
  config.probe = [&](const AppProbe& probe) {
    if (probe.stage == AppProbe::LoopPass && !readySignalled) {
      readySignalled = touchFile(work + "/ready");
    }
  };

  const int status = runTavixDisp(config);
  unit.stop();
  ::close(recordFd);
  ::close(alertFd);
  ::close(slave);
  ::close(master);

  std::fprintf(stderr, "input_runner: exit status %d, %d alert(s)\n", status, alerts);
  if (unit.failed()) {
    std::fprintf(stderr, "input_runner: the unit side failed to record or answer\n");
    return 2;
  }
  return alerts > 0 ? 3 : status;
}
