#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string failure(const char* call) { return std::string(call) + ": " + std::strerror(errno); }

}  // namespace

PtyPair::PtyPair(bool keepSlaveOpen) {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error_ = failure("posix_openpt");
    return;
  }
  const char* name = nullptr;
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
    error_ = failure("unlockpt");
  } else if ((name = ::ptsname(fd)) == nullptr) {
    error_ = failure("ptsname");
  }
  if (name == nullptr) {
    ::close(fd);
    return;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  struct termios raw;
  if (::tcgetattr(fd, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B230400);
    ::cfsetospeed(&raw, B230400);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &raw);
  }
  master_ = fd;
  slavePath_ = name;
  if (keepSlaveOpen) slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

PtyPair::~PtyPair() {
  if (!link_.empty()) ::unlink(link_.c_str());
  closeSlave();
  closeMaster();
}

bool PtyPair::makeLink(const std::string& linkPath, std::string& error) {
  struct stat st;
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
    error = "symlink " + linkPath + ": " + std::strerror(errno);
    return false;
  }
  link_ = linkPath;
  return true;
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

bool PtyPair::write(const std::string& bytes, int stallMs) { return write(bytes.data(), bytes.size(), stallMs); }

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
