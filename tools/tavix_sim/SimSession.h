// The simulated unit's side of one serial link, independent of how the
// bytes travel: it answers the firmware version request, ignores keep-alive
// bytes, and plays either the demonstration or a recorded byte stream, with
// the timing rules the display program's connection phase needs.
//
// Connection: the program's first byte after the port was (re)opened starts
// a connection. During the program's connection phase the unit shows a
// splash; once the version is answered it holds everything back until the
// next keep-alive byte (the program discards what arrives in between), then
// draws the page. A program that reopens the port later sends no version
// request: the page is drawn after a short quiet time or at its first input.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "DemoScript.h"
#include "HostInputDecoder.h"

struct FirmwareVersion {
  unsigned a = 1, b = 0, c = 0, d = 0;
  std::string text() const;
};

// Parses "a.b.c.d" with each part 0..255; false on anything else.
bool parseFirmwareVersion(const std::string& text, FirmwareVersion& version);

class SimSession {
public:
  // How long after the start of a connection without a version request the
  // page is drawn anyway (a reopened port gets no connection phase).
  static constexpr unsigned kQuietStartMs = 1000;

  // Demonstration mode.
  explicit SimSession(const FirmwareVersion& version);
  // Replay mode: `stream` is sent as it is, in place of the demonstration,
  // once per connection.
  SimSession(const FirmwareVersion& version, const std::string& stream);

  // Called with the current time in milliseconds of a monotonic clock.
  void receive(const uint8_t* data, size_t len, uint64_t nowMs);
  void tick(uint64_t nowMs);
  void hangUp();  // the program closed the port

  // Output waiting to be sent, in order; takeOutput() empties it.
  bool hasOutput() const { return !output.empty(); }
  std::string takeOutput();

  // Milliseconds until the next timed output; -1 when nothing is scheduled.
  long msUntilNextStep(uint64_t nowMs) const;

  bool connected() const { return state != Idle; }
  const DemoScript& demo() const { return script; }

  // Called with every decoded event (for logs).
  std::function<void(const HostEvent&)> onEvent;

private:
  enum State { Idle, Greeting, AwaitingMainLoop, Running };

  void handle(const HostEvent& event, uint64_t nowMs);
  void startPage(uint64_t nowMs);
  void schedule(const Script& steps, uint64_t nowMs);
  void flushSchedule();

  struct Timed {
    uint64_t dueMs;
    std::string bytes;
  };

  FirmwareVersion version;
  bool replayMode = false;
  std::string replayStream;
  DemoScript script;
  HostInputDecoder decoder;
  State state = Idle;
  uint64_t pageDueMs = 0;
  std::deque<Timed> pending;
  std::string output;
  std::vector<HostEvent> events;
};
