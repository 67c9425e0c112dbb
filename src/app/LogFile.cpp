#include "app/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

LogFile::LogFile(const std::string& path, const char* what) : path(path), what(what) {
  if (path.empty()) return;
  if (path == "-") {
    fd = STDERR_FILENO;
    return;
  }
  fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0) {
    stop(true, errno);
    return;
  }
  owned = true;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

LogFile::~LogFile() {
  if (owned) close(fd);
}

void LogFile::write(const char* bytes, std::size_t count) {
  while (fd >= 0 && count > 0) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      stop(false, written < 0 ? errno : ENOSPC);
      return;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
}

// "tavixDisp: no recording, cannot write to FILE: reason" when it cannot be
// opened, "tavixDisp: recording stopped, cannot write to FILE: reason" later.
void LogFile::stop(bool opening, int error) {
  std::fprintf(stderr, "tavixDisp: %s%s%s, cannot write to %s: %s\n", opening ? "no " : "", what,
               opening ? "" : " stopped", path.c_str(), std::strerror(error));
  if (owned) close(fd);
  owned = false;
  fd = -1;
}
