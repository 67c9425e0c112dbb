// The connection to the unit's USB serial device: raw 8N1 port set-up, one
// reader thread that moves received bytes into a lock-free ring, non-blocking
// reads from the ring and direct writes to the port. One object serves any
// number of open/close cycles.
#pragma once

#include <SDL_thread.h>
#include <atomic>

#include "serial/ringbuff.h"

class CommSerial {
public:
  static const unsigned kRingSize = 4096;

  CommSerial();
  virtual ~CommSerial();
  CommSerial(const CommSerial&) = delete;
  CommSerial& operator=(const CommSerial&) = delete;

  bool OpenPort(const char* path, unsigned long speed);
  void ClosePort();
  void clearSerialPortBuffers();
  int write(const unsigned char* data, unsigned int len);
  unsigned int read(unsigned char* dst, unsigned int len);
  unsigned int getReadableBytes();

  // Descriptor of the open port; -1 while closed. Also the reader's stop signal.
  std::atomic<int> fd;

private:
  static int readTaskMain(void* self);
  unsigned int readProc(unsigned char* dst, unsigned int len);

  CRingBuff<unsigned char> ring;
  SDL_Thread* readThread;
};
