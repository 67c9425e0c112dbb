// The unit's side of the link for the end-to-end benchmarks: the simulator's
// pseudo-terminal, whose master answers every version request with `answer`
// and, on a thread of its own, calls `play` between reads so the benchmark
// can send what its unit plays. Stopped and joined when destroyed.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "PtyPair.h"
#include "protocol/UnitWire.h"

class BenchUnit {
public:
  // Sends what is due; returns how long to wait for the program's bytes
  // before it is called again, in milliseconds.
  using Play = std::function<int(PtyPair&)>;

  BenchUnit(std::string answer, Play play)
      : answer(std::move(answer)), play(std::move(play)), thread([this] { run(); }) {}
  ~BenchUnit() {
    stop = true;
    thread.join();
  }
  BenchUnit(const BenchUnit&) = delete;
  BenchUnit& operator=(const BenchUnit&) = delete;

  bool ok() const { return pty.ok(); }
  const char* path() const { return pty.path(); }

private:
  void run() {
    // The request without its closing NUL, which may arrive in a later read.
    const std::string request(reinterpret_cast<const char*>(unit_wire::kVersionRequest),
                              unit_wire::kVersionRequestSize - 1);
    std::string heard;
    int waitMs = 2;
    while (!stop.load() && pty.ok()) {
      pollfd ready{pty.masterFd(), POLLIN, 0};
      if (poll(&ready, 1, waitMs) == 1 && (ready.revents & POLLIN)) {
        char buf[256];
        const ssize_t n = read(pty.masterFd(), buf, sizeof buf);
        if (n > 0) heard.append(buf, static_cast<size_t>(n));
      }
      if (heard.find(request) != std::string::npos) {
        heard.clear();
        pty.write(answer);
      }
      if (heard.size() > 4096) heard.erase(0, heard.size() - 16);
      waitMs = play(pty);
    }
  }

  PtyPair pty;
  const std::string answer;
  const Play play;
  std::atomic<bool> stop{false};
  std::thread thread;
};
