#include "fault_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace fault_test {

const std::string kVersionRequest("\x1b@999y\0", 7);
const std::string kVersionReply = "\x1b@1;2;3;4V";

namespace {

const int kMarkerEveryMs = 20;

}  // namespace

FaultPeer::FaultPeer() {
  if (pty.ok()) thread = std::thread(&FaultPeer::run, this);
}

FaultPeer::~FaultPeer() {
  unplug();
}

bool FaultPeer::send(const std::string& data, int stallMs) {
  return pty.write(data, stallMs);
}

void FaultPeer::repeat(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex);
  marker = text;
}

size_t FaultPeer::fillLineTowardsUnit() {
  const int slave = ::open(pty.path(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return 0;
  size_t taken = 0;
  char block[1024];
  std::memset(block, 'f', sizeof block);
  for (;;) {
    const ssize_t n = ::write(slave, block, sizeof block);
    if (n > 0) {
      taken += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  ::close(slave);
  return taken;
}

void FaultPeer::unplug() {
  stop = true;
  if (thread.joinable()) thread.join();
  pty.closeMaster();
}

void FaultPeer::run() {
  auto lastMarker = std::chrono::steady_clock::now();
  while (!stop) {
    std::string text;
    {
      std::lock_guard<std::mutex> lock(mutex);
      text = marker;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!text.empty() && now - lastMarker >= std::chrono::milliseconds(kMarkerEveryMs)) {
      pty.write(text, 50);
      lastMarker = now;
    }
    if (!reading) {
      usleep(5000);
      continue;
    }
    pollfd p{pty.masterFd(), POLLIN, 0};
    if (poll(&p, 1, 5) != 1) continue;
    char buffer[512];
    const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
    if (n <= 0) {
      // No slave open at the moment (the program closed the port).
      usleep(2000);
      continue;
    }
    int requests = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      bytes.append(buffer, static_cast<size_t>(n));
      for (size_t found; (found = bytes.find(kVersionRequest, scanned)) != std::string::npos;) {
        scanned = found + kVersionRequest.size();
        ++requests;
      }
    }
    for (int i = 0; i < requests; ++i) pty.write(kVersionReply, 500);
  }
}

std::string FaultPeer::received() const {
  std::lock_guard<std::mutex> lock(mutex);
  return bytes;
}

int FaultPeer::keepAlives() const {
  std::lock_guard<std::mutex> lock(mutex);
  int n = 0;
  for (unsigned char c : bytes) n += c == 0xFE;
  return n;
}

bool pointLink(const std::string& link, const std::string& target) {
  const std::string temporary = link + ".new";
  unlink(temporary.c_str());
  return symlink(target.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), link.c_str()) == 0;
}


long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

}  // namespace fault_test
