#include "app/SessionRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/writeAll.h"

SessionRecorder::SessionRecorder(const std::string& path) : path(path) {
  if (path.empty()) {
    return;
  }
  fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    stop("cannot record to", errno);
  }
}

SessionRecorder::~SessionRecorder() {
  if (fd >= 0) {
    close(fd);
  }
}

// Written straight to the file, unbuffered: what arrived before a crash is
// in the recording.
void SessionRecorder::add(const unsigned char* bytes, size_t count) {
  if (fd >= 0 && count > 0 && !writeAll(fd, bytes, count)) {
    stop("recording stopped, cannot write to", errno);
  }
}

void SessionRecorder::stop(const char* what, int error) {
  std::fprintf(stderr, "tavixDisp: %s %s: %s\n", what, path.c_str(), std::strerror(error));
  if (fd >= 0) {
    close(fd);
  }
  fd = -1;
}
