#include "app/LinkJournal.h"

#include "protocol/EscSeqParser.h"
#include "protocol/StreamTrace.h"

LinkJournal::LinkJournal(const std::string& recordPath, const std::string& tracePath)
    : start(std::chrono::steady_clock::now()), recorder(recordPath), traceFile(tracePath, "trace") {}

LinkJournal::~LinkJournal() { flushTrace(); }

ScreenIntf* LinkJournal::screenFor(ScreenIntf* screen) {
  if (!traceFile.isOpen()) return screen;
  trace.reset(new StreamTrace(screen));
  return trace.get();
}

void LinkJournal::watch(EscSeqParser& parser) { parser.setObserver(trace.get()); }

uint64_t LinkJournal::now() const {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// Lines of the unit's bytes go out when the bytes that came together are
// parsed; the other lines at once.
void LinkJournal::flushTrace() {
  if (!trace || trace->lines().empty()) return;
  traceFile.write(trace->lines());
  trace->lines().clear();
}

void LinkJournal::begin(const std::string& device, unsigned long speed) { recorder.begin(device, speed); }

void LinkJournal::opened(const std::string& device, unsigned long speed) {
  const uint64_t ms = now();
  recorder.opened(ms);
  if (trace) {
    trace->opened(device, speed, ms);
    flushTrace();
  }
}

void LinkJournal::reconnected(const std::string& device) {
  const uint64_t ms = now();
  recorder.reconnected(ms);
  if (trace) {
    trace->reconnected(device, ms);
    flushTrace();
  }
}

void LinkJournal::lost() {
  const uint64_t ms = now();
  recorder.lost(ms);
  if (trace) {
    trace->lost(ms);
    flushTrace();
  }
}

void LinkJournal::firmware(uint32_t version) { recorder.firmware(version, now()); }

void LinkJournal::fromUnit(const unsigned char* bytes, unsigned count) {
  if (count == 0) return;
  chunkMs = now();
  chunkLeft += count;
  recorder.fromUnit(bytes, count, chunkMs);
}

void LinkJournal::parse(EscSeqParser& parser, unsigned char byte) {
  if (!trace) {
    parser.ParseByte(byte);
    return;
  }
  trace->parse(parser, byte, chunkMs);
  if (chunkLeft > 0 && --chunkLeft == 0) {
    trace->chunkParsed();
    flushTrace();
  }
}

void LinkJournal::discarded(const std::string& bytes) {
  if (bytes.empty()) return;
  const uint64_t ms = now();
  recorder.dropped(bytes.size(), ms);
  chunkLeft = 0;
  if (trace) {
    trace->discarded(bytes, ms);
    flushTrace();
  }
}

void LinkJournal::toUnit(const unsigned char* bytes, unsigned count) {
  const uint64_t ms = now();
  recorder.toUnit(bytes, count, ms);
  if (trace) {
    trace->toUnit(bytes, count, ms);
    flushTrace();
  }
}
