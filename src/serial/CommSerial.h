// The connection to the unit's USB serial device: raw 8N1 port set-up, and
// one thread that moves received bytes into a lock-free ring and queued
// bytes to the port; the main thread reads the ring and queues its writes,
// and never waits on the port. One object serves any number of open/close
// cycles.
#pragma once

#include <SDL_thread.h>
#include <atomic>
#include <functional>

#include "serial/ringbuff.h"

class CommSerial {
public:
  static const unsigned kRingSize = 4096;
  // Reports the port has not taken yet wait here, whole and in order.
  static const unsigned kOutputQueueSize = 16384;

  CommSerial();
  virtual ~CommSerial();
  CommSerial(const CommSerial&) = delete;
  CommSerial& operator=(const CommSerial&) = delete;

  // Called on the reader thread when bytes have arrived or the link turned
  // out lost, once until arrivalsSeen(); set it before the first OpenPort.
  void setWakeUp(std::function<void()> wake) { wakeUp = std::move(wake); }
  // The main thread is about to look at the ring: the next arrival wakes it again.
  void arrivalsSeen() { notified.store(false); }

  // Opens the device for this program alone (a lock and the terminal's
  // exclusive mode, given back by ClosePort); false also when another
  // program holds it.
  bool OpenPort(const char* path, unsigned long speed);
  void ClosePort();
  void clearSerialPortBuffers();
  // Queues all len bytes for the port, never waiting: the reader thread
  // writes them as the port takes them. Returns len when queued; 0 while
  // closed, or when the queue has no room for all of them (nothing is
  // queued); -1 once the link is lost.
  int write(const unsigned char* data, unsigned int len);
  unsigned int read(unsigned char* dst, unsigned int len);
  unsigned int getReadableBytes();
  // True once the open port has shown itself dead: it hung up (its reads
  // fail although it reports itself readable), or a write failed. Cleared
  // by OpenPort and ClosePort.
  bool linkLost() const;
  // Bytes queued that the port has not taken yet.
  unsigned int outputWaiting() const { return output.count(); }
  // Bytes the port has taken since it was opened, counting on across the wrap.
  uint32_t outputTaken() const { return taken.load(); }

  // Descriptor of the open port; -1 while closed. Also the reader's stop signal.
  std::atomic<int> fd;

private:
  static int readTaskMain(void* self);
  // One wait on the port and the wake-up pipe, without a time-out, and what
  // it found: bytes read into the ring, queued bytes written.
  void readerPass(unsigned char* chunk);
  unsigned int readProc(int port, unsigned char* dst, unsigned int len, bool broken);
  void writeQueued(int port);
  // Reader side: a read after a wait that reported the port readable, or
  // broken, brought nothing (result and errno of the read). Pauses the
  // reader and marks the port hung up after a run of them.
  void readFailed(long result, int error, bool broken);
  void notify();
  void wakeReader();
  void drainWakeUps();
  void resetLinkState();

  CRingBuff<unsigned char, kRingSize> ring;
  CRingBuff<unsigned char, kOutputQueueSize> output;
  SDL_Thread* readThread;
  // Read end, write end: a byte written wakes the reader from its wait.
  int wakePipe[2];
  std::function<void()> wakeUp;
  std::atomic<bool> notified{false};
  // The reader found the ring full and waits for the main thread to take some.
  std::atomic<bool> waitingForRoom{false};
  std::atomic<uint32_t> taken{0};
  // Reads in a row that failed after a readable wait; reader thread only.
  int failedReads;
  std::atomic<bool> hungUp;
  std::atomic<bool> writeFailed;
};
