#include "SimRunner.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace {

const int kMaxWaitMs = 50;
const size_t kReadChunk = 4096;

uint64_t nowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void SimRunner::hangUp() {
  if (linkUp && onHangUp) onHangUp();
  linkUp = false;
  session.hangUp();
}

void SimRunner::run(const std::atomic<bool>& stop) {
  std::string outgoing;
  uint8_t buffer[kReadChunk];
  while (!stop.load()) {
    uint64_t now = nowMs();
    session.tick(now);
    if (session.hasOutput()) outgoing += session.takeOutput();

    long wait = session.msUntilNextStep(now);
    if (wait < 0 || wait > kMaxWaitMs) wait = kMaxWaitMs;
    struct pollfd pfd;
    pfd.fd = port.masterFd();
    pfd.events = POLLIN | (outgoing.empty() ? 0 : POLLOUT);
    pfd.revents = 0;
    int ready = ::poll(&pfd, 1, static_cast<int>(wait));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;

    if (pfd.revents & POLLIN) {
      ssize_t n = ::read(port.masterFd(), buffer, sizeof buffer);
      if (n > 0) {
        if (record != nullptr) {
          std::fwrite(buffer, 1, static_cast<size_t>(n), record);
          std::fflush(record);
        }
        linkUp = true;
        session.receive(buffer, static_cast<size_t>(n), nowMs());
        if (session.hasOutput()) outgoing += session.takeOutput();
        continue;  // read on until only the hang-up is left
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // EIO: the program closed the slave.
        hangUp();
        outgoing.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(kMaxWaitMs));
        continue;
      }
    }
    if ((pfd.revents & POLLHUP) && !(pfd.revents & POLLIN)) {
      // Nobody has the slave open; poll would return at once, so wait here.
      hangUp();
      outgoing.clear();
      std::this_thread::sleep_for(std::chrono::milliseconds(kMaxWaitMs));
      continue;
    }
    if ((pfd.revents & POLLOUT) && !outgoing.empty()) {
      ssize_t n = ::write(port.masterFd(), outgoing.data(), outgoing.size());
      if (n > 0) {
        outgoing.erase(0, static_cast<size_t>(n));
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        hangUp();
        outgoing.clear();
      }
    }
  }
}
