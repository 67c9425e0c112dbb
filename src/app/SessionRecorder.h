// The recording of a session (--record FILE) in the format of Recording.h:
// the header once the device and its speed are known, then every event as
// it happens, each line written whole at once, so that a crash loses
// nothing that came before it. A failing file ends the recording with a
// message on standard error, never the session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/LogFile.h"

class SessionRecorder {
public:
  // Empty path: records nothing.
  explicit SessionRecorder(const std::string& path);

  void begin(const std::string& device, unsigned long speed);
  // Times in milliseconds since the program started.
  void opened(uint64_t ms) { event(ms, "opened"); }
  void reconnected(uint64_t ms) { event(ms, "reconnected"); }
  void lost(uint64_t ms) { event(ms, "lost"); }
  void firmware(uint32_t version, uint64_t ms);
  void fromUnit(const unsigned char* bytes, std::size_t count, uint64_t ms) { event(ms, "<", bytes, count); }
  void toUnit(const unsigned char* bytes, std::size_t count, uint64_t ms) { event(ms, ">", bytes, count); }
  // Of the bytes received, the last `count` were dropped unparsed.
  void dropped(std::size_t count, uint64_t ms) { event(ms, ("dropped " + std::to_string(count)).c_str()); }

private:
  void event(uint64_t ms, const char* what, const unsigned char* bytes = nullptr, std::size_t count = 0);

  LogFile file;
  std::string line;
};
