// Feeds arbitrary parameter texts to the escape-sequence parameter splitter.
// The first byte picks the number of values asked for (-1..14); the splitter
// must answer -1 or a count within that number and write no further.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/EscSeqParser.h"

namespace {

const int kSlots = 16;
const int kGuard = 0x5A5A5A5A;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int maxCount = static_cast<int>(data[0] % kSlots) - 1;
  const std::string params(reinterpret_cast<const char*>(data + 1), size - 1);
  int values[kSlots];
  for (int& v : values) v = kGuard;

  const int count = EscSeqParser::ExtractParamString(params, values, maxCount);

  if (count < -1) std::abort();
  if (maxCount < 1 && count != 0) std::abort();
  if (maxCount >= 1 && count > maxCount) std::abort();
  const int written = count > 0 ? count : 0;
  for (int i = maxCount > 0 ? maxCount : 0; i < kSlots; ++i) {
    if (values[i] != kGuard) std::abort();
  }
  for (int i = 0; i < written; ++i) {
    if (values[i] < 0) std::abort();
  }
  return 0;
}
