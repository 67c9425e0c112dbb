// A pseudo-terminal standing in for the unit's USB serial device: the display
// program opens the slave device as if it were the unit's port, and the unit
// (the simulator, a test, a benchmark) plays its part on the master side.
#pragma once

#include <cstddef>
#include <string>

class PtyPair {
public:
  // Opens the pair at once; ok() tells whether that worked and error() why
  // not. The line starts raw (no echo, no translation), so nothing the unit
  // writes before the program has set the line up comes back. With
  // keepSlaveOpen the pair holds a slave descriptor of its own and the
  // master keeps working while the program closes and reopens the port;
  // without it the master sees each close as a hang-up.
  explicit PtyPair(bool keepSlaveOpen = true);
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& error() const { return error_; }
  const std::string& slavePath() const { return slavePath_; }
  const char* path() const { return slavePath_.c_str(); }
  // Non-blocking master; -1 once closed.
  int masterFd() const { return master_; }
  // The pair's own slave descriptor, -1 when it holds none.
  int slaveFd() const { return slave_; }

  // Also makes linkPath a symbolic link to the slave device (an existing
  // symbolic link there is replaced, anything else is left alone); the link
  // is removed again by the destructor.
  bool makeLink(const std::string& linkPath, std::string& error);

  // Writes all bytes to the master side. Gives up when the slave side
  // accepts nothing for stallMs milliseconds. True when everything went.
  bool write(const void* data, std::size_t len, int stallMs = 5000);
  bool write(const std::string& bytes, int stallMs = 5000);

  // Returns the bytes that arrive within timeoutMs, at most maxBytes,
  // as soon as at least one has come (empty on time-out).
  std::string readSome(std::size_t maxBytes, int timeoutMs);
  // Collects exactly n bytes or what came before timeoutMs ran out.
  std::string readExactly(std::size_t n, int timeoutMs);
  // Reads everything until the line has been quiet for quietMs.
  std::string drain(int quietMs = 50);

  // Closes the master: the slave side sees a hang-up.
  void closeMaster();
  // Closes the pair's own slave descriptor, if it holds one.
  void closeSlave();

private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string link_;
  std::string error_;
};
