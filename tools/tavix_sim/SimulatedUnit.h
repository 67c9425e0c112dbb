// A complete simulated unit: the pseudo-terminal, the session (demonstration
// or replay), the optional recording, and the loop that serves them, in the
// calling thread or in a thread of its own.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "PtyPair.h"
#include "SimOptions.h"
#include "SimRunner.h"
#include "SimSession.h"

class SimulatedUnit {
public:
  SimulatedUnit() = default;
  ~SimulatedUnit();
  SimulatedUnit(const SimulatedUnit&) = delete;
  SimulatedUnit& operator=(const SimulatedUnit&) = delete;

  // Sets everything up; false with `error` set when something cannot be.
  bool start(const SimOptions& options, std::string& error);

  const std::string& devicePath() const { return port.slavePath(); }

  // Serves the link until `stop` becomes true.
  void run(const std::atomic<bool>& stop);

  // Serves the link on a thread of its own until stopBackground().
  void runInBackground();
  void stopBackground();

private:
  // No slave of its own: the runner sees the program close the port.
  PtyPair port{false};
  std::unique_ptr<SimSession> session;
  std::unique_ptr<SimRunner> runner;
  std::FILE* record = nullptr;
  std::atomic<bool> stopFlag{false};
  std::thread worker;
};
