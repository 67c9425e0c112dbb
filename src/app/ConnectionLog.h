// What happens to the connection, told on standard error: with --verbose one
// timestamped line per event, and always why the unit could not be reached.
#pragma once

#include <string>

class ConnectionLog {
public:
  explicit ConnectionLog(bool verbose) : verbose(verbose) {}

  // A connection event; shown only when verbose.
  void event(const std::string& text) const;
  // The port could not be opened at baudrate: what keeps this user from the
  // device. Returns the reason as told.
  std::string unreachable(const std::string& devicePath, unsigned long baudrate) const;
  // The port opened but the unit never answered the version request.
  // Returns the reason as told.
  std::string unanswered(const std::string& devicePath) const;

private:
  void line(const std::string& text) const;

  const bool verbose;
};
