#include "serial/CommSerial.h"

#include <SDL_timer.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#ifdef __APPLE__
#include <sys/select.h>
#else
#include <poll.h>
#endif
#include <termios.h>
#include <unistd.h>

#include "serial/os_thread.h"
#include "serial/SerialSpeed.h"

namespace {

// Pause of the reader after its wait failed, and after a wake-up that
// brought no byte (a hung-up or failing port reports itself readable at
// once), so that neither spins.
const Uint32 kFailedWaitPauseMs = 20;
// A port that reports itself readable while its reads fail or bring nothing
// has hung up (the device is gone): after this many in a row the link is lost.
const Uint32 kFailedReadPauseMs = 20;
const int kHungUpAfterFailedReads = 3;
// While the queued output still moves, closing waits this long for it to go
// out; output that has not moved for kOutputStillMs is not going anywhere.
const Uint32 kCloseDrainMs = 500;
const Uint32 kOutputStillMs = 50;

// Builds the raw 8N1 line settings: receiver on, modem lines ignored, no
// flow control on output, no translation, no echo, no signals; a read
// returns as soon as a byte is there or after 0.1 s with nothing.
void makeRawSettings(struct termios* t, speed_t code) {
  std::memset(t, 0, sizeof *t);
  t->c_iflag = IGNBRK | IGNPAR | IXON | IXOFF;
  t->c_oflag = 0;
  t->c_cflag = CS8 | CREAD | CLOCAL;
  t->c_lflag = 0;
  cfsetispeed(t, code);
  cfsetospeed(t, code);
  cfmakeraw(t);
  t->c_cc[VMIN] = 0;
  t->c_cc[VTIME] = 1;
}

// What one wait found on the port; failed when the wait itself failed.
struct PortState {
  bool failed = false, readable = false, writable = false, broken = false, woken = false;
};

// Waits, without a time-out, until the port is readable (when asked), is
// writable (when asked), reports an error or a hang-up, or the wake-up
// descriptor becomes readable; a negative port waits for the wake-up only.
// macOS cannot poll() devices, so select() waits there.
PortState waitForPort(int port, bool forRead, bool forWrite, int wake) {
  PortState state;
#ifdef __APPLE__
  if (port >= FD_SETSIZE || wake >= FD_SETSIZE) return state.failed = true, state;
  fd_set readable, writable, broken;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&broken);
  if (port >= 0) {
    if (forRead) FD_SET(port, &readable);
    if (forWrite) FD_SET(port, &writable);
    FD_SET(port, &broken);
  }
  FD_SET(wake, &readable);
  const int n = select((port > wake ? port : wake) + 1, &readable, &writable, &broken, nullptr);
  if (n < 0) return state.failed = errno != EINTR, state;
  state.readable = port >= 0 && forRead && FD_ISSET(port, &readable);
  state.writable = port >= 0 && forWrite && FD_ISSET(port, &writable);
  state.broken = port >= 0 && FD_ISSET(port, &broken);
  state.woken = FD_ISSET(wake, &readable);
#else
  struct pollfd pfd[2] = {{port, static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0)), 0},
                          {wake, POLLIN, 0}};
  const int n = poll(pfd, 2, -1);
  if (n < 0) return state.failed = errno != EINTR, state;
  state.readable = (pfd[0].revents & POLLIN) != 0;
  state.writable = (pfd[0].revents & POLLOUT) != 0;
  state.broken = (pfd[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  state.woken = pfd[1].revents != 0;
#endif
  return state;
}

// Takes the device for this program alone, before anything touches the
// line: the lock other serial programs look for, and the terminal's
// exclusive mode, which turns away every further open but root's. False
// when another program holds the lock; a device that cannot be locked at
// all is left to its exclusive mode.
bool takeExclusively(int port) {
  if (flock(port, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  ioctl(port, TIOCEXCL);
  return true;
}

// Gives the device back and closes it; the lock goes with the descriptor.
void closePort(int port) {
  ioctl(port, TIOCNXCL);
  ::close(port);
}

}  // namespace

CommSerial::CommSerial() : fd(-1), readThread(nullptr), failedReads(0), hungUp(false), writeFailed(false) {
  // The closing side wakes the reader out of its wait through this pipe.
  if (pipe(wakePipe) != 0) {
    wakePipe[0] = wakePipe[1] = -1;
    return;
  }
  for (int end : wakePipe) {
    fcntl(end, F_SETFD, FD_CLOEXEC);
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
  }
}

CommSerial::~CommSerial() {
  ClosePort();
  for (int end : wakePipe) {
    if (end >= 0) ::close(end);
  }
}

bool CommSerial::OpenPort(const char* path, unsigned long speed) {
  // One connection at a time: a second reader on the same object would
  // leave the first one running unseen.
  if (fd.load() >= 0 || path == nullptr || speed == 0 || wakePipe[0] < 0) return false;

  speed_t code = 0;
  const bool haveCode = speedCodeFor(speed, &code);
  if (!haveCode && speed > UINT_MAX) return false;

  int port = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (port < 0) return false;
  if (!takeExclusively(port)) {
    ::close(port);
    return false;
  }

  // The descriptor stays non-blocking: the reader thread only reads and
  // writes what its wait has found the port ready for.
  tcflush(port, TCOFLUSH);
  tcflush(port, TCIFLUSH);

  struct termios saved;
  if (tcgetattr(port, &saved) != 0) {
    closePort(port);
    return false;
  }

  // A rate without a code is set in a second step; until then the line
  // keeps the speed it had.
  if (!haveCode) code = interimSpeedCode(cfgetospeed(&saved));
  struct termios settings;
  makeRawSettings(&settings, code);

  tcflush(port, TCIFLUSH);
  bool applied = tcsetattr(port, TCSANOW, &settings) == 0;
  if (applied && !haveCode) applied = setArbitrarySerialSpeed(port, static_cast<unsigned int>(speed));
  if (!applied) {
    tcflush(port, TCOFLUSH);
    tcflush(port, TCIFLUSH);
    tcsetattr(port, TCSANOW, &saved);
    closePort(port);
    return false;
  }

  resetLinkState();
  fd.store(port);
  clearSerialPortBuffers();
  readThread = os_thread_create(readTaskMain, nullptr, this);
  if (readThread == nullptr) {
    fd.store(-1);
    tcsetattr(port, TCSANOW, &saved);
    closePort(port);
    return false;
  }
  return true;
}

void CommSerial::ClosePort() {
  ring.clear();
  clearSerialPortBuffers();
  const int port = fd.load();
  if (port >= 0) {
    fd.store(-1);
    wakeReader();
    os_thread_join(readThread);
    readThread = nullptr;
    drainWakeUps();
    tcflush(port, TCOFLUSH);
    tcflush(port, TCIFLUSH);
    closePort(port);
  }
  // The reader may have stored one more byte before it saw the stop
  // signal; none of it, and none of the output still queued, may reach the
  // next connection.
  ring.clear();
  output.clear();
  resetLinkState();
}

void CommSerial::resetLinkState() {
  failedReads = 0;
  hungUp.store(false);
  writeFailed.store(false);
  notified.store(false);
  waitingForRoom.store(false);
  taken.store(0);
}

bool CommSerial::linkLost() const {
  return hungUp.load() || writeFailed.load();
}

void CommSerial::clearSerialPortBuffers() {
  const int port = fd.load();
  if (port < 0) return;
  struct termios t;
  if (tcgetattr(port, &t) != 0) return;
  // Applying the settings waits until the driver's output has gone out,
  // which a unit that stopped taking bytes never lets happen: the output,
  // ours queued and the driver's, gets a while as long as it keeps moving
  // (none on a link already known to be lost), and what is left then is
  // dropped.
  const Uint32 start = SDL_GetTicks();
  Uint32 lastMove = start;
  int queued = 0;
  int before = -1;
  while (!linkLost() && ioctl(port, TIOCOUTQ, &queued) == 0 && (queued += static_cast<int>(output.count())) > 0) {
    const Uint32 now = SDL_GetTicks();
    if (queued != before) lastMove = now;
    if (now - start >= kCloseDrainMs || now - lastMove >= kOutputStillMs) break;
    before = queued;
    SDL_Delay(1);
  }
  if (linkLost() || queued > 0) tcflush(port, TCOFLUSH);
  tcsetattr(port, TCSAFLUSH, &t);
  tcsetattr(port, TCSADRAIN, &t);
}

int CommSerial::write(const unsigned char* data, unsigned int len) {
  if (fd.load() < 0 || len == 0 || data == nullptr) return 0;
  if (linkLost()) return -1;
  if (len > kOutputQueueSize - 1) return 0;
  // The reader polls for room on the port while anything is queued; only
  // a queue that was empty needs to wake it.
  const bool wasEmpty = output.count() == 0;
  if (!output.put(data, len)) return 0;
  if (wasEmpty) wakeReader();
  return static_cast<int>(len);
}

unsigned int CommSerial::read(unsigned char* dst, unsigned int len) {
  if (len == 0 || dst == nullptr) return 0;
  const unsigned int got = ring.take(dst, len);
  if (got > 0 && waitingForRoom.exchange(false)) wakeReader();
  return got;
}

unsigned int CommSerial::getReadableBytes() {
  return ring.count();
}

void CommSerial::wakeReader() {
  const unsigned char wake = 1;
  if (wakePipe[1] >= 0) (void)!::write(wakePipe[1], &wake, 1);
}

// The wake-up pipe is non-blocking: this empties it and returns.
void CommSerial::drainWakeUps() {
  unsigned char drained[64];
  while (::read(wakePipe[0], drained, sizeof drained) > 0) {
  }
}

void CommSerial::notify() {
  if (!notified.exchange(true) && wakeUp) wakeUp();
}

int CommSerial::readTaskMain(void* self) {
  CommSerial* serial = static_cast<CommSerial*>(self);
  unsigned char chunk[kRingSize];
  while (serial->fd.load() >= 0) serial->readerPass(chunk);
  return 0;
}

void CommSerial::readerPass(unsigned char* chunk) {
  const int port = fd.load();
  if (port < 0) return;
  // A lost link waits for nothing but its close.
  const bool lost = linkLost();
  // Only this thread adds to the ring, so room seen here cannot shrink
  // before the bytes are stored, and nothing in the ring is overwritten.
  // With the ring full it waits until the main thread has taken some.
  uint32_t room = ring.freeSlots();
  if (room == 0) {
    waitingForRoom.store(true);
    room = ring.freeSlots();
    if (room > 0) waitingForRoom.store(false);
  }
  const PortState state = waitForPort(lost ? -1 : port, room > 0, output.count() > 0, wakePipe[0]);
  if (state.failed) {
    SDL_Delay(kFailedWaitPauseMs);
    return;
  }
  if (state.woken) drainWakeUps();
  if (lost) return;
  if (state.writable) writeQueued(port);
  if (state.readable || state.broken) {
    const unsigned int got = readProc(port, chunk, room < kRingSize ? room : kRingSize, state.broken);
    ring.put(chunk, got);  // within the room seen above
    if (got > 0 || linkLost()) notify();
  }
}

// One read of what the wait found: the number of bytes read (at most len),
// or 0 after a failed read.
unsigned int CommSerial::readProc(int port, unsigned char* dst, unsigned int len, bool broken) {
  const ssize_t got = len > 0 ? ::read(port, dst, len) : 0;
  if (got > 0) {
    failedReads = 0;
    return static_cast<unsigned int>(got);
  }
  readFailed(static_cast<long>(got), errno, broken);
  return 0;
}

// Writes as much of the queue as the port takes now; the rest stays queued.
void CommSerial::writeQueued(int port) {
  unsigned char bytes[kRingSize];
  const uint32_t n = output.peek(bytes, sizeof bytes);
  const ssize_t written = n > 0 ? ::write(port, bytes, n) : 0;
  if (written > 0) {
    // Counted before they leave the queue: an empty queue has its bytes counted.
    taken.fetch_add(static_cast<uint32_t>(written));
    output.skip(static_cast<uint32_t>(written));
  } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    writeFailed.store(true);
    notify();
  }
}

void CommSerial::readFailed(long result, int error, bool broken) {
  // Interrupted, or the bytes were flushed between the wait and the read:
  // the port itself is fine unless it reported an error or a hang-up.
  if (!broken && result < 0 && (error == EINTR || error == EAGAIN || error == EWOULDBLOCK)) return;
  if (++failedReads >= kHungUpAfterFailedReads) hungUp.store(true);
  SDL_Delay(kFailedReadPauseMs);
}
