#include "app/HandshakeSteps.h"

#include "app/LinkDeadlines.h"

namespace {

const int kSettleIdlePolls = 200;
const int kVersionRequests = 10;
const int kVersionIdlePolls = 1000;
// A unit that never falls silent cannot hold up the handshake for longer
// than this: the settle step, and each wait after a version request.
const uint32_t kMaxSettleMs = 5000;
const uint32_t kMaxVersionWaitMs = 2000;

}  // namespace

HandshakeSteps::HandshakeSteps(uint32_t nowMs) : idle(kSettleIdlePolls), giveUp(nowMs + kMaxSettleMs) {}

HandshakeSteps::Action HandshakeSteps::next(bool byteWaiting, bool versionKnown, uint32_t nowMs) {
  switch (phase) {
    case Settling:
      return settle(byteWaiting, nowMs);
    case Requesting:
      // The unit is asked at least once, even when it told its version unasked.
      if (requests == kVersionRequests || (versionKnown && requests > 0)) {
        phase = Finished;
        return Done;
      }
      ++requests;
      phase = Requested;
      return SendRequest;
    case Requested:
      // The wait's bounds count from the end of the request's write.
      idle = kVersionIdlePolls;
      giveUp = nowMs + kMaxVersionWaitMs;
      phase = Waiting;
      return wait(byteWaiting, versionKnown, nowMs);
    case Waiting:
      return wait(byteWaiting, versionKnown, nowMs);
    case Finished:
      break;
  }
  return Done;
}

// Ends after a run of empty polls.
HandshakeSteps::Action HandshakeSteps::settle(bool byteWaiting, uint32_t nowMs) {
  if (idle == 0 || LinkDeadlines::passed(nowMs, giveUp)) {
    phase = Requesting;
    return ShowSettled;
  }
  if (byteWaiting) {
    idle = kSettleIdlePolls;
    return ParseByte;
  }
  --idle;
  return Pause;
}

// Ends at the first empty poll once the version is known, or when the unit
// has been silent for the idle budget; a byte that leaves the version
// unknown restores the budget.
HandshakeSteps::Action HandshakeSteps::wait(bool byteWaiting, bool versionKnown, uint32_t nowMs) {
  if (parsed && !versionKnown) {
    idle = kVersionIdlePolls;
  }
  parsed = false;
  if (LinkDeadlines::passed(nowMs, giveUp)) {
    phase = Requesting;
    return next(byteWaiting, versionKnown, nowMs);
  }
  if (byteWaiting) {
    parsed = true;
    return ParseByte;
  }
  if (versionKnown || --idle == 0) {
    phase = Requesting;
  }
  return Pause;
}
