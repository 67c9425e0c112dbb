// The link to the unit while the program runs, one pass at a time: send the
// keep-alive byte when it is due, take in what the unit sent (journaled
// before it is parsed), notice a lost link, reopen the port; and say when the
// next pass is needed. Reports to the unit go through it too, and what it
// sends and the link's events go to the journal. Driven by the main loop;
// the time comes from the clock it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/LinkDeadlines.h"
#include "protocol/ByteSink.h"
#include "serial/CommSerial.h"

class ConnectionLog;
class LinkJournal;

class LinkSupervisor : public ByteSink {
public:
  // Output that waits while the port takes nothing for this long means the
  // unit is gone.
  static constexpr uint32_t kStallMs = unit_wire::kKeepAliveIntervalMs;

  using Clock = std::function<uint32_t()>;
  // What the application does at the link's moments.
  struct Hooks {
    std::function<void(unsigned char)> parse;  // a byte from the unit, in order, once journaled
    std::function<void()> lost;                // the link was dropped
    std::function<void()> reconnecting;        // a reopening is about to be tried
  };

  LinkSupervisor(CommSerial& link, std::string device, unsigned long baudrate, LinkJournal& journal,
                 const ConnectionLog& log, Hooks hooks, Clock clock);

  // The main loop begins: the keep-alive byte is due at once.
  void start();
  void pass();
  // Milliseconds until the link needs the next pass; 0 when it needs one now.
  uint32_t idleMs() const;
  // An input report, whole or not at all; it postpones the keep-alive byte.
  void send(const unsigned char* bytes, unsigned len) override;

private:
  void keepAlive(uint32_t now);
  void intake();
  // Takes what waits in the ring, journaled in one piece, to be parsed.
  void takeWaiting();
  bool stalled(uint32_t now);
  void drop(uint32_t now);
  void reconnect();
  // Writes a report; false when the queue had no room for it.
  bool queue(const unsigned char* bytes, unsigned len, uint32_t now);
  void tellDropped();

  CommSerial& link;
  const std::string device;
  const unsigned long baudrate;
  LinkJournal& journal;
  const ConnectionLog& log;
  const Hooks hooks;
  const Clock clock;
  LinkDeadlines deadlines;
  // Bytes taken from the ring and journaled, parsed up to `parsed`.
  unsigned char taken[CommSerial::kRingSize];
  unsigned takenCount = 0;
  unsigned parsed = 0;
  // The port's count of bytes taken, and when it last moved (or nothing waited).
  uint32_t lastTaken = 0;
  uint32_t lastMoveMs = 0;
  unsigned droppedReports = 0;
};
