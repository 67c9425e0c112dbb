// Feeds arbitrary page bodies to the firmware version extraction: it must
// answer quickly on any body (no back-tracking blow-up, no deep recursion)
// and report a version only when the page publishes one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/getServerFwVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const uint32_t version = extractFirmwareVersion(body);
  if (version != 0 && body.find("</td><td class=\"style_td\"><a href") == std::string::npos) std::abort();
  return 0;
}
