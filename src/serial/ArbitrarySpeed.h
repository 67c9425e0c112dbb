// Setting a line speed that has no speed code in the terminal interface
// (Linux: the kernel's arbitrary-rate request). Kept apart because the
// kernel's termios structures clash with the C library's.
#pragma once

// Sets input and output speed of the open terminal fd to bitsPerSecond.
// Returns true when the driver took the request and reports back a rate
// within 2 % of it.
bool setArbitrarySerialSpeed(int fd, unsigned int bitsPerSecond);
