#include "PtyPort.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

PtyPort::~PtyPort() {
  if (!link.empty()) ::unlink(link.c_str());
  if (master >= 0) ::close(master);
}

bool PtyPort::open(std::string& error) {
  int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = std::string("posix_openpt: ") + std::strerror(errno);
    return false;
  }
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
    error = std::string("unlockpt: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  const char* name = ::ptsname(fd);
  if (name == nullptr) {
    error = std::string("ptsname: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  // Raw from the start, so nothing is echoed or translated before the
  // program has set the line up itself.
  struct termios tio;
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  master = fd;
  slavePath = name;
  return true;
}

bool PtyPort::makeLink(const std::string& linkPath, std::string& error) {
  struct stat st;
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(slavePath.c_str(), linkPath.c_str()) != 0) {
    error = "symlink " + linkPath + ": " + std::strerror(errno);
    return false;
  }
  link = linkPath;
  return true;
}
