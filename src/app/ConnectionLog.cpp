#include "app/ConnectionLog.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <ctime>

#include "app/DeviceDiscovery.h"

void ConnectionLog::event(const std::string& text) const {
  if (verbose) {
    line(text);
  }
}

std::string ConnectionLog::unreachable(const std::string& devicePath, unsigned long baudrate) const {
  const std::string why = describeDeviceAccess(devicePath);
  const std::string reason = "cannot open " + devicePath + ": " +
      (why != kDeviceOpens ? why : "it opens, but not as a serial line at " + std::to_string(baudrate) + " bit/s");
  line(reason);
  return reason;
}

std::string ConnectionLog::unanswered(const std::string& devicePath) const {
  const std::string reason = devicePath + ": no answer to the version request";
  line(reason);
  return reason;
}

// "2026-01-31 12:34:56.789 tavixDisp: text" when verbose, else without the time.
void ConnectionLog::line(const std::string& text) const {
  char stamp[40] = "";
  if (verbose) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + length, sizeof stamp - length, ".%03ld ", millis);
  }
  std::fprintf(stderr, "%stavixDisp: %s\n", stamp, text.c_str());
  std::fflush(stderr);
}
