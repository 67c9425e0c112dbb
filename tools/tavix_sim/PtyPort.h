// The unit's end of a pseudo-terminal: the display program opens the slave
// device as if it were the unit's USB serial port. The master stays open for
// the whole life of the object, so the program may close and reopen the
// slave as often as it likes.
#pragma once

#include <string>

class PtyPort {
public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  // Creates the pseudo-terminal in raw mode; false (with `error` set) on failure.
  bool open(std::string& error);

  // Also makes `linkPath` a symbolic link to the slave device (an existing
  // symbolic link there is replaced, anything else is left alone); the link
  // is removed again by the destructor.
  bool makeLink(const std::string& linkPath, std::string& error);

  int fd() const { return master; }
  const std::string& devicePath() const { return slavePath; }

private:
  int master = -1;
  std::string slavePath;
  std::string link;
};
