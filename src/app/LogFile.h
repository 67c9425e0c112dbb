// A file that the program writes events to as they happen: created afresh
// (one that was there is replaced), or standard error for "-", written
// straight through without a buffer of its own. A file that cannot be opened
// or written is told on standard error and ends the writing, never the
// session. Opening never waits for a reader (a FIFO nobody reads is refused).
#pragma once

#include <cstddef>
#include <string>

class LogFile {
public:
  // Empty path: writes nothing. `what` names the file in messages
  // ("recording", "trace").
  LogFile(const std::string& path, const char* what);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  bool isOpen() const { return fd >= 0; }
  void write(const char* bytes, std::size_t count);
  void write(const std::string& text) { write(text.data(), text.size()); }

private:
  void stop(bool opening, int error);

  std::string path;
  const char* what;
  int fd = -1;
  bool owned = false;
};
