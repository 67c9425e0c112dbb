#include "app/writeAll.h"

#include <unistd.h>

#include <cerrno>

bool writeAll(int fd, const void* data, std::size_t len) {
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t done = 0; done < len;) {
    const ssize_t n = ::write(fd, bytes + done, len - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;  // nothing taken: no room
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}
