#include "serial/ArbitrarySpeed.h"

#if defined(__linux__)

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool setArbitrarySerialSpeed(int fd, unsigned int bitsPerSecond) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = bitsPerSecond;
  t.c_ospeed = bitsPerSecond;
  if (ioctl(fd, TCSETS2, &t) != 0) return false;
  struct termios2 back;
  if (ioctl(fd, TCGETS2, &back) != 0) return false;
  // Drivers report the rate their clock actually gives; a UART copes with
  // a couple of percent between the two ends.
  const unsigned long long want = bitsPerSecond;
  const unsigned long long got = back.c_ospeed;
  const unsigned long long diff = got > want ? got - want : want - got;
  return got != 0 && diff * 50 <= want;
}

#else

bool setArbitrarySerialSpeed(int, unsigned int) { return false; }

#endif
