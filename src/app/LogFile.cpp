#include "app/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/writeAll.h"

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
  if (fd >= 0 && count > 0 && !writeAll(fd, bytes, count)) stop(false, errno);
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
