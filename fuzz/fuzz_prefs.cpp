// Feeds arbitrary bytes to the preference line reader the way the file
// reader does and checks that every step makes progress within the input
// and that no stored name breaks the format's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/Prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PreferenceMap prefs;
  size_t offset = 0;
  while (offset < size) {
    const size_t remaining = size - offset;
    const int consumed = readDataToMap1Line(data + offset, remaining, prefs);
    if (consumed <= 0 || static_cast<size_t>(consumed) > remaining) std::abort();
    offset += static_cast<size_t>(consumed);
  }
  for (const auto& entry : prefs) {
    const std::string& name = entry.first;
    if (name.empty() || name.size() > 31) std::abort();
    for (unsigned char c : name) {
      if (c == 0 || c == ' ' || c == '\t' || c == '\n' || c == '\r') std::abort();
    }
  }
  return 0;
}
