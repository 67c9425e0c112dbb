// When the main loop next writes the keep-alive byte (port open) or tries to
// reopen the port (port closed). One deadline serves both; times are SDL
// ticks handed in by the caller and compared across the 32-bit wrap.
#pragma once

#include <cstdint>

#include "protocol/UnitWire.h"

class LinkDeadlines {
public:
  static constexpr uint32_t kKeepAliveIntervalMs = unit_wire::kKeepAliveIntervalMs;
  static constexpr uint32_t kReconnectIntervalMs = 1000;

  // True when now is later than deadline, as signed 32-bit tick values.
  static bool passed(uint32_t nowMs, uint32_t deadline) { return static_cast<int32_t>(nowMs - deadline) > 0; }
  // Milliseconds from now to the tick value deadline; 0 once it is reached.
  static uint32_t msLeft(uint32_t deadline, uint32_t nowMs) {
    const int32_t left = static_cast<int32_t>(deadline - nowMs);
    return left > 0 ? static_cast<uint32_t>(left) : 0;
  }

  // At loop entry: due at once, and again in the next pass.
  void start(uint32_t nowMs) { deadline = nowMs - kKeepAliveIntervalMs; }
  bool due(uint32_t nowMs) const { return passed(nowMs, deadline); }
  // Milliseconds until due; 0 when due now.
  uint32_t msUntilDue(uint32_t nowMs) const { return due(nowMs) ? 0 : msLeft(deadline, nowMs) + 1; }
  // From the old deadline, so a lagging one catches up a byte per pass.
  void keepAliveSent() { deadline += kKeepAliveIntervalMs; }
  void reconnectTried() { deadline += kReconnectIntervalMs; }
  // An input report written to the open port postpones the keep-alive byte;
  // while the port is closed nothing was written, and the reconnection
  // attempts keep their rhythm.
  void inputSent(uint32_t nowMs, bool portOpen) {
    if (portOpen) deadline = nowMs + kKeepAliveIntervalMs;
  }
  // A loss seen from the link itself: a reconnection is due at once.
  void lost(uint32_t nowMs) { deadline = nowMs - 1; }

private:
  uint32_t deadline = 0;
};
