// The polling of the connection handshake, one decision at a time: the
// settle step that lets the unit's first output reach the screen, then up
// to ten firmware version requests, each followed by a wait for the reply.
// The caller polls the link, tells what it found and the tick, and carries
// out the action; a pause is 1 ms.
#pragma once

#include <cstdint>

class HandshakeSteps {
public:
  enum Action { ParseByte, Pause, ShowSettled, SendRequest, Done };

  explicit HandshakeSteps(uint32_t nowMs);
  Action next(bool byteWaiting, bool versionKnown, uint32_t nowMs);

private:
  enum Phase { Settling, Requesting, Requested, Waiting, Finished };

  Action settle(bool byteWaiting, uint32_t nowMs);
  Action wait(bool byteWaiting, bool versionKnown, uint32_t nowMs);

  Phase phase = Settling;
  int idle;
  int requests = 0;
  bool parsed = false;
  uint32_t giveUp;
};
