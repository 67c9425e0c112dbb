// The unit's side of the link for fault tests: a pseudo-terminal played on a
// thread of its own that records what the program sends, answers version
// requests, can stop reading (a hung unit), can send a marker over and over
// (so a test sees when the program is connected), and can be unplugged.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "proc_counts.h"
#include "pty_pair.h"

namespace fault_test {

extern const std::string kVersionRequest;  // 1B 40 39 39 39 79 00
extern const std::string kVersionReply;     // reports 1.2.3.4

class FaultPeer {
public:
  FaultPeer();
  ~FaultPeer();
  FaultPeer(const FaultPeer&) = delete;
  FaultPeer& operator=(const FaultPeer&) = delete;

  bool ok() const { return pty.ok(); }
  const std::string& path() const { return pty.slavePath(); }

  // Bytes to the program; false when the line stayed blocked for stallMs.
  bool send(const std::string& bytes, int stallMs = 5000);
  // Sends marker every few milliseconds until cleared with an empty text.
  void repeat(const std::string& marker);
  // A unit that stops reading: the program's bytes pile up in the line.
  void stopReading() { reading = false; }
  void resumeReading() { reading = true; }
  // Fills the line towards the unit until it takes nothing more (the unit
  // must have stopped reading). Returns the bytes it took.
  size_t fillLineTowardsUnit();
  // Stops playing and closes the master: the program's port hangs up.
  void unplug();

  std::string received() const;
  int keepAlives() const;

private:
  void run();

  PtyPair pty;
  std::atomic<bool> stop{false};
  std::atomic<bool> reading{true};
  mutable std::mutex mutex;
  std::string marker;
  std::string bytes;
  size_t scanned = 0;
  std::thread thread;
};

// Points the symbolic link at target, replacing any previous one in one step.
bool pointLink(const std::string& link, const std::string& target);

// Resident set size of this process in kB.
long residentKb();

}  // namespace fault_test
