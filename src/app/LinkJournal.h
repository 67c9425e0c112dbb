// What crosses the link, told as it happens to the recording (--record) and
// to the trace (--trace), on one clock: milliseconds since the program
// started. Either may be off. The unit's bytes reach the parser through it,
// so that the trace sees what each one does.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/LogFile.h"
#include "app/SessionRecorder.h"

class EscSeqParser;
class ScreenIntf;
class StreamTrace;

class LinkJournal {
public:
  // An empty path leaves that side off; the trace path "-" is standard error.
  LinkJournal(const std::string& recordPath, const std::string& tracePath);
  ~LinkJournal();
  LinkJournal(const LinkJournal&) = delete;
  LinkJournal& operator=(const LinkJournal&) = delete;

  // The screen to bind the parser to: the trace in front of `screen` when
  // tracing, else `screen` itself. The parser bound to it is then watched.
  ScreenIntf* screenFor(ScreenIntf* screen);
  void watch(EscSeqParser& parser);

  void begin(const std::string& device, unsigned long speed);
  void opened(const std::string& device, unsigned long speed);
  void reconnected(const std::string& device);
  void lost();
  void firmware(uint32_t version);
  // Bytes that came from the unit together, before they are parsed.
  void fromUnit(const unsigned char* bytes, unsigned count);
  // One of them, to the parser.
  void parse(EscSeqParser& parser, unsigned char byte);
  // The last bytes that came, dropped unparsed.
  void discarded(const std::string& bytes);
  // Bytes on their way to the unit.
  void toUnit(const unsigned char* bytes, unsigned count);

private:
  uint64_t now() const;
  void flushTrace();

  const std::chrono::steady_clock::time_point start;
  SessionRecorder recorder;
  LogFile traceFile;
  std::unique_ptr<StreamTrace> trace;
  // When the bytes being parsed came, and how many of them are left.
  uint64_t chunkMs = 0;
  unsigned chunkLeft = 0;
};
