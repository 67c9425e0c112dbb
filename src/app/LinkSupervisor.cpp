#include "app/LinkSupervisor.h"

#include <algorithm>

#include "app/ConnectionLog.h"
#include "app/PassIntake.h"
#include "app/LinkJournal.h"

LinkSupervisor::LinkSupervisor(CommSerial& link, std::string device, unsigned long baudrate,
                               LinkJournal& journal, const ConnectionLog& log, Hooks hooks, Clock clock)
    : link(link),
      device(std::move(device)),
      baudrate(baudrate),
      journal(journal),
      log(log),
      hooks(std::move(hooks)),
      clock(std::move(clock)) {}

void LinkSupervisor::start() {
  const uint32_t now = clock();
  deadlines.start(now);
  lastMoveMs = now;
}

void LinkSupervisor::pass() {
  const uint32_t now = clock();
  if (link.fd >= 0) {
    if (deadlines.due(now)) keepAlive(now);
    intake();
    if (link.linkLost() || stalled(now)) drop(now);
  }
  if (link.fd < 0 && deadlines.due(now)) reconnect();
}

uint32_t LinkSupervisor::idleMs() const {
  if (link.fd >= 0 && (parsed < takenCount || link.getReadableBytes() > 0 || link.linkLost())) return 0;
  uint32_t wait = deadlines.msUntilDue(clock());
  if (link.fd >= 0 && link.outputWaiting() > 0) {
    wait = std::min(wait, LinkDeadlines::msLeft(lastMoveMs + kStallMs, clock()));
  }
  return wait;
}

void LinkSupervisor::send(const unsigned char* bytes, unsigned len) {
  if (link.fd < 0) return;
  const uint32_t now = clock();
  if (queue(bytes, len, now)) {
    deadlines.inputSent(now, true);
  } else if (!link.linkLost()) {
    ++droppedReports;
  }
}

// A keep-alive byte that finds the queue full is not needed: the port is
// not taking what waits, and the stall rule watches that.
void LinkSupervisor::keepAlive(uint32_t now) {
  queue(&unit_wire::kKeepAlive, 1, now);
  deadlines.keepAliveSent();
}

bool LinkSupervisor::queue(const unsigned char* bytes, unsigned len, uint32_t now) {
  if (link.outputWaiting() == 0) lastMoveMs = now;
  const bool queued = link.write(bytes, len) == static_cast<int>(len);
  if (queued) journal.toUnit(bytes, len);
  return queued;
}

// What waits in the ring goes to the journal in one piece, then to the
// parser for at most the pass's budget; what is left is parsed in the
// passes that follow, before anything newer is taken.
void LinkSupervisor::intake() {
  if (parsed == takenCount) {
    link.arrivalsSeen();
    takeWaiting();
  }
  parsed += PassIntake::run(taken + parsed, takenCount - parsed, hooks.parse, clock);
}

void LinkSupervisor::takeWaiting() {
  takenCount = link.read(taken, sizeof taken);
  parsed = 0;
  journal.fromUnit(taken, takenCount);
}

// The port has taken nothing for kStallMs while output waited.
bool LinkSupervisor::stalled(uint32_t now) {
  const uint32_t count = link.outputTaken();
  if (link.outputWaiting() == 0 || count != lastTaken) {
    lastTaken = count;
    lastMoveMs = now;
    tellDropped();
    return false;
  }
  return now - lastMoveMs >= kStallMs;
}

// Everything the unit sent before it went away is journaled and parsed
// before the port closes; a reopening is due at once.
void LinkSupervisor::drop(uint32_t now) {
  do {
    for (; parsed < takenCount; ++parsed) hooks.parse(taken[parsed]);
    takeWaiting();
  } while (takenCount > 0);
  tellDropped();
  log.event("link lost");
  link.ClosePort();
  journal.lost();
  hooks.lost();
  deadlines.lost(now);
}

void LinkSupervisor::reconnect() {
  hooks.reconnecting();
  if (link.OpenPort(device.c_str(), baudrate)) {
    log.event("reconnected to " + device);
    journal.reconnected(device);
    lastTaken = 0;
    lastMoveMs = clock();
  }
  deadlines.reconnectTried();
}

void LinkSupervisor::tellDropped() {
  if (droppedReports == 0) return;
  log.event(std::to_string(droppedReports) + " input reports dropped: the unit took nothing while they waited");
  droppedReports = 0;
}
