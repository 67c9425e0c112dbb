// Reads arbitrary bytes as a recording (tavixDisp --record, or an earlier
// raw one) and, when they are one, prints its trace into nothing: every
// file is refused with a reason or read and decoded, in bounded time and
// memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/Recording.h"
#include "app/RecordingPlayback.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Recording recording;
  std::string error;
  const bool read = parseRecording(std::string(reinterpret_cast<const char*>(data), size), "fuzz", recording, error);
  if (read != error.empty()) std::abort();
  if (!read) return 0;
  decodeRecording(recording, [](const std::string& lines) {
    if (lines.empty() || lines.back() != '\n') std::abort();
    for (std::size_t at = 0, end; at < lines.size(); at = end + 1) {
      end = lines.find('\n', at);
      if (end - at > 65536) std::abort();
    }
  });
  return 0;
}
