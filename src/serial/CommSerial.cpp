#include "serial/CommSerial.h"

#include <SDL_timer.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
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

// How long the reader waits for a byte before it looks at the stop signal
// again; closing the port also wakes it at once.
const int kReadWaitMs = 500;
// Pause of the reader while the ring is full, and after a wake-up that
// brought no byte (a hung-up or failing port reports itself readable at once).
const Uint32 kReaderPauseMs = 1;
// A port that reports itself readable while its reads fail or bring nothing
// has hung up (the device is gone). The reader pauses this long after each
// such read, and after this many in a row it marks the link lost.
const Uint32 kFailedReadPauseMs = 20;
const int kHungUpAfterFailedReads = 3;
// Queued output that has not moved for this long is not going anywhere.
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

enum WaitResult { Ready, NotReady, WaitFailed };

// Waits at most timeoutMs for the port to become readable (or writable),
// and returns early, as NotReady, when wake (if not negative) becomes
// readable. macOS cannot poll() devices, so select() waits there.
WaitResult waitForPort(int port, bool forWrite, int wake, int timeoutMs) {
#ifdef __APPLE__
  if (port >= FD_SETSIZE || wake >= FD_SETSIZE) return WaitFailed;
  fd_set readable, writable;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_SET(port, forWrite ? &writable : &readable);
  if (wake >= 0) FD_SET(wake, &readable);
  struct timeval timeout;
  timeout.tv_sec = timeoutMs / 1000;
  timeout.tv_usec = (timeoutMs % 1000) * 1000;
  const int n = select((port > wake ? port : wake) + 1, &readable, &writable, nullptr, &timeout);
  if (n < 0) return errno == EINTR ? NotReady : WaitFailed;
  if (n == 0 || (wake >= 0 && FD_ISSET(wake, &readable))) return NotReady;
  return FD_ISSET(port, forWrite ? &writable : &readable) ? Ready : NotReady;
#else
  struct pollfd pfd[2];
  pfd[0].fd = port;
  pfd[0].events = forWrite ? POLLOUT : POLLIN;
  pfd[0].revents = 0;
  pfd[1].fd = wake;
  pfd[1].events = POLLIN;
  pfd[1].revents = 0;
  const int n = poll(pfd, wake >= 0 ? 2 : 1, timeoutMs);
  if (n < 0) return errno == EINTR ? NotReady : WaitFailed;
  if (n == 0 || pfd[1].revents != 0) return NotReady;
  return pfd[0].revents != 0 ? Ready : NotReady;
#endif
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
  if (fd.load() >= 0 || path == nullptr || speed == 0) return false;

  speed_t code = 0;
  const bool haveCode = speedCodeFor(speed, &code);
  if (!haveCode && speed > UINT_MAX) return false;

  int port = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (port < 0) return false;

  tcflush(port, TCOFLUSH);
  tcflush(port, TCIFLUSH);
  int flags = fcntl(port, F_GETFL);
  if (flags != -1) fcntl(port, F_SETFL, flags & ~O_NONBLOCK);

  struct termios saved;
  if (tcgetattr(port, &saved) != 0) {
    ::close(port);
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
    ::close(port);
    return false;
  }

  resetLinkState();
  fd.store(port);
  clearSerialPortBuffers();
  readThread = os_thread_create(readTaskMain, nullptr, this);
  if (readThread == nullptr) {
    fd.store(-1);
    tcsetattr(port, TCSANOW, &saved);
    ::close(port);
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
    const unsigned char wake = 1;
    const bool woken = wakePipe[1] >= 0 && ::write(wakePipe[1], &wake, 1) == 1;
    os_thread_join(readThread);
    readThread = nullptr;
    unsigned char drained[8];
    while (woken && ::read(wakePipe[0], drained, sizeof drained) > 0) {
    }
    tcflush(port, TCOFLUSH);
    tcflush(port, TCIFLUSH);
    ::close(port);
  }
  // The reader may have stored one more byte before it saw the stop
  // signal; none of it may reach the next connection.
  ring.clear();
  resetLinkState();
}

void CommSerial::resetLinkState() {
  failedReads = 0;
  hungUp.store(false);
  writeFailed.store(false);
}

bool CommSerial::linkLost() const {
  return hungUp.load() || writeFailed.load();
}

void CommSerial::retryWrites() {
  writeFailed.store(false);
}

void CommSerial::clearSerialPortBuffers() {
  const int port = fd.load();
  if (port < 0) return;
  struct termios t;
  if (tcgetattr(port, &t) != 0) return;
  // Applying the settings waits until the queued output has gone out, which
  // a unit that stopped taking bytes never lets happen: the output gets as
  // long as a write would while it keeps moving (no wait on a link already
  // known to be lost), and what is left then is dropped.
  const Uint32 start = SDL_GetTicks();
  Uint32 lastMove = start;
  int queued = 0;
  int before = -1;
  while (!linkLost() && ioctl(port, TIOCOUTQ, &queued) == 0 && queued > 0) {
    const Uint32 now = SDL_GetTicks();
    if (queued != before) lastMove = now;
    if (now - start >= static_cast<Uint32>(kWriteWaitMs) || now - lastMove >= kOutputStillMs) break;
    before = queued;
    SDL_Delay(kReaderPauseMs);
  }
  if (linkLost() || queued > 0) tcflush(port, TCOFLUSH);
  tcsetattr(port, TCSAFLUSH, &t);
  tcsetattr(port, TCSADRAIN, &t);
}

// A unit that stops taking bytes (firmware hang, flow control) must not
// hold the main thread: the descriptor is non-blocking for the length of
// the call, and the call gives up once the port has accepted nothing more
// for kWriteWaitMs. A link that refused or timed out counts as lost, and
// later writes on it return 0 at once until the port is closed.
int CommSerial::write(const unsigned char* data, unsigned int len) {
  const int port = fd.load();
  if (port < 0 || len == 0 || data == nullptr) return 0;
  if (writeFailed.load()) return 0;
  if (len > INT_MAX) len = INT_MAX;

  const int flags = fcntl(port, F_GETFL);
  const bool madeNonBlocking =
      flags != -1 && (flags & O_NONBLOCK) == 0 && fcntl(port, F_SETFL, flags | O_NONBLOCK) == 0;
  const Uint32 deadline = SDL_GetTicks() + kWriteWaitMs;
  unsigned int done = 0;
  bool refused = false;
  while (done < len) {
    const ssize_t n = ::write(port, data + done, len - done);
    if (n > 0) {
      done += static_cast<unsigned int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      refused = true;
      break;
    }
    const int left = static_cast<int>(deadline - SDL_GetTicks());
    if (left <= 0) break;
    if (waitForPort(port, true, -1, left) == WaitFailed) {
      refused = true;
      break;
    }
  }
  if (madeNonBlocking) fcntl(port, F_SETFL, flags);

  if (done < len) writeFailed.store(true);
  if (done == 0 && refused) return -1;
  return static_cast<int>(done);
}

unsigned int CommSerial::read(unsigned char* dst, unsigned int len) {
  if (len == 0 || dst == nullptr) return 0;
  return ring.take(dst, len);
}

unsigned int CommSerial::getReadableBytes() {
  return ring.count();
}

int CommSerial::readTaskMain(void* self) {
  CommSerial* serial = static_cast<CommSerial*>(self);
  // Each wake-up takes as many waiting bytes as the ring has room for; only
  // this thread adds to the ring, so that room cannot shrink before they
  // are stored, and nothing in the ring is ever overwritten.
  unsigned char chunk[kRingSize];
  while (serial->fd.load() >= 0) {
    const uint32_t room = serial->ring.freeSlots();
    if (room > 0) {
      const unsigned int got = serial->readProc(chunk, room < sizeof chunk ? room : sizeof chunk);
      for (unsigned int i = 0; i < got; ++i) serial->ring.write1(chunk[i]);
    } else {
      SDL_Delay(kReaderPauseMs);
    }
  }
  return 0;
}

// One bounded wait and read: the number of bytes read (at most len), or 0
// after a time-out or a failed read.
unsigned int CommSerial::readProc(unsigned char* dst, unsigned int len) {
  const int port = fd.load();
  if (port < 0) return 0;
  if (waitForPort(port, false, wakePipe[0], kReadWaitMs) != Ready) return 0;
  const ssize_t got = ::read(port, dst, len);
  if (got > 0) {
    failedReads = 0;
    return static_cast<unsigned int>(got);
  }
  readFailed(static_cast<long>(got), errno);
  return 0;
}

void CommSerial::readFailed(long result, int error) {
  // Interrupted, or the bytes were flushed between the wait and the read:
  // the port itself is fine.
  if (result < 0 && (error == EINTR || error == EAGAIN || error == EWOULDBLOCK)) {
    SDL_Delay(kReaderPauseMs);
    return;
  }
  if (++failedReads >= kHungUpAfterFailedReads) hungUp.store(true);
  SDL_Delay(kFailedReadPauseMs);
}
