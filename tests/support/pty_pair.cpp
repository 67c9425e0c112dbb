#include "pty_pair.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PtyPair::PtyPair(bool keepSlaveOpen) {
  int master = -1;
  int slave = -1;
  char name[256] = {0};
  struct termios raw;
  cfmakeraw(&raw);
  cfsetispeed(&raw, B230400);
  cfsetospeed(&raw, B230400);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (openpty(&master, &slave, name, &raw, nullptr) != 0) return;
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  master_ = master;
  slavePath_ = name;
  if (keepSlaveOpen) {
    slave_ = slave;
  } else {
    ::close(slave);
  }
}

PtyPair::~PtyPair() {
  closeSlave();
  closeMaster();
}

bool PtyPair::write(const void* data, std::size_t len, int stallMs) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (len > 0) {
    if (master_ < 0) return false;
    ssize_t n = ::write(master_, p, len);
    if (n > 0) {
      p += n;
      len -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    struct pollfd pfd = {master_, POLLOUT, 0};
    int r = poll(&pfd, 1, stallMs);
    if (r == 0) return false;
    if (r < 0 && errno != EINTR) return false;
  }
  return true;
}

bool PtyPair::write(const std::string& bytes, int stallMs) {
  return write(bytes.data(), bytes.size(), stallMs);
}

std::string PtyPair::readSome(std::size_t maxBytes, int timeoutMs) {
  std::string out;
  if (master_ < 0 || maxBytes == 0) return out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    char buf[4096];
    std::size_t want = maxBytes < sizeof buf ? maxBytes : sizeof buf;
    ssize_t n = ::read(master_, buf, want);
    if (n > 0) {
      out.assign(buf, static_cast<std::size_t>(n));
      return out;
    }
    // EIO: no slave is open at the moment; keep waiting like a quiet line.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != EIO) return out;
    int left = msLeft(deadline);
    if (left == 0) return out;
    if (n < 0 && errno == EIO) {
      usleep(1000);
      continue;
    }
    struct pollfd pfd = {master_, POLLIN, 0};
    int r = poll(&pfd, 1, left < 10 ? left : 10);
    if (r < 0 && errno != EINTR) return out;
  }
}

std::string PtyPair::readExactly(std::size_t n, int timeoutMs) {
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < n) {
    int left = msLeft(deadline);
    if (left == 0) break;
    out += readSome(n - out.size(), left);
  }
  return out;
}

std::string PtyPair::drain(int quietMs) {
  std::string out;
  for (;;) {
    std::string chunk = readSome(4096, quietMs);
    if (chunk.empty()) return out;
    out += chunk;
  }
}

void PtyPair::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPair::closeSlave() {
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
}
