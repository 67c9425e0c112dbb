// A recording of the session: every byte the unit sends, appended to a file
// as it arrives, in the form the simulator replays. A failing file ends the
// recording with a message on standard error, never the session.
#pragma once

#include <cstddef>
#include <string>

class SessionRecorder {
public:
  // Empty path: records nothing. A file that cannot be opened is reported
  // and leaves the recorder off.
  explicit SessionRecorder(const std::string& path);
  ~SessionRecorder();
  SessionRecorder(const SessionRecorder&) = delete;
  SessionRecorder& operator=(const SessionRecorder&) = delete;

  void add(const unsigned char* bytes, size_t count);

private:
  void stop(const char* what, int error);

  std::string path;
  int fd = -1;
};
