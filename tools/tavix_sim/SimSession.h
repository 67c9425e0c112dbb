// The simulated unit's side of one serial link, independent of how the
// bytes travel: it answers the firmware version request, ignores keep-alive
// bytes, and plays either the demonstration or a recording, with the timing
// rules the display program's connection phase needs.
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
#include "app/Recording.h"
#include "protocol/HostInputDecoder.h"

struct FirmwareVersion {
  unsigned a = 1, b = 0, c = 0, d = 0;
  // From the packed form the program and recordings keep.
  static FirmwareVersion unpacked(uint32_t v) { return {v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF}; }
  std::string text() const;
};

// Parses "a.b.c.d" with each part 0..255; false on anything else.
bool parseFirmwareVersion(const std::string& text, FirmwareVersion& version);

// What the unit sent in a recording, as the unit plays it again: the bytes
// the program parsed, each piece as long after the one before as it came
// then, or all at once when fast.
Script replayScript(const Recording& recording, bool fast);

class SimSession {
public:
  // How long after the start of a connection without a version request the
  // page is drawn anyway (a reopened port gets no connection phase).
  static constexpr unsigned kQuietStartMs = 1000;

  // Demonstration mode.
  explicit SimSession(const FirmwareVersion& version);
  // Replay mode: `replay` is played in place of the demonstration, once per
  // connection, from when the page would be drawn.
  SimSession(const FirmwareVersion& version, Script replay);

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
  Script replay;
  DemoScript script;
  HostInputDecoder decoder;
  State state = Idle;
  uint64_t pageDueMs = 0;
  std::deque<Timed> pending;
  std::string output;
  std::vector<HostEvent> events;
};
