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
  // Writes to the port, waiting at most kWriteWaitMs for it to accept the
  // bytes; returns how many it accepted (-1 when it refused the first one).
  int write(const unsigned char* data, unsigned int len);
  unsigned int read(unsigned char* dst, unsigned int len);
  unsigned int getReadableBytes();
  // True once the open port has shown itself dead: it hung up (every read
  // fails although the port reports itself readable), or a write failed or
  // was not accepted in time. Cleared by OpenPort and ClosePort.
  bool linkLost() const;
  // Lets writes reach the port again after one failed or timed out.
  void retryWrites();

  static const int kWriteWaitMs = 500;

  // Descriptor of the open port; -1 while closed. Also the reader's stop signal.
  std::atomic<int> fd;

private:
  static int readTaskMain(void* self);
  unsigned int readProc(unsigned char* dst, unsigned int len);
  // Reader side: a read after a wait that reported the port readable
  // brought nothing (result and errno of the read). Pauses the reader and
  // marks the port hung up after a run of them.
  void readFailed(long result, int error);
  void resetLinkState();

  CRingBuff<unsigned char, kRingSize> ring;
  SDL_Thread* readThread;
  // Read end, write end: a byte written wakes the reader from its wait.
  int wakePipe[2];
  // Reads in a row that failed after a readable wait; reader thread only.
  int failedReads;
  std::atomic<bool> hungUp;
  std::atomic<bool> writeFailed;
};
