// Runs a SimSession over a PtyPair until asked to stop: reads what the
// program sends (optionally recording it raw to a file), writes the unit's
// output as the pseudo-terminal accepts it, and rides out the program
// closing and reopening the port.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>

#include "PtyPair.h"
#include "SimSession.h"

class SimRunner {
public:
  SimRunner(PtyPair& port, SimSession& session) : port(port), session(session) {}

  // Every byte received from the program is appended to `file` and flushed.
  void recordTo(std::FILE* file) { record = file; }

  // Loops until `stop` becomes true; checks it at least every 50 ms.
  void run(const std::atomic<bool>& stop);

  // Called (on the runner's thread) when the program closed the port.
  std::function<void()> onHangUp;

private:
  void hangUp();

  PtyPair& port;
  SimSession& session;
  std::FILE* record = nullptr;
  bool linkUp = false;
};
