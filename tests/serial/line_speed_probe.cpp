// The line speed in bit/s, also without a speed code (the kernel's termios clashes with the C library's).
#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

unsigned int probeLineSpeed(int fd) {
  struct termios2 t;
  return ioctl(fd, TCGETS2, &t) == 0 ? t.c_ospeed : 0;
}
#else
#include <termios.h>

unsigned int probeLineSpeed(int fd) {
  struct termios t;
  return tcgetattr(fd, &t) == 0 ? static_cast<unsigned int>(cfgetospeed(&t)) : 0;
}
#endif
