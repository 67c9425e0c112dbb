// A pseudo-terminal pair standing in for the unit's USB serial device. The
// code under test opens slavePath() like a real port; the test plays the
// unit on the master side with the helpers below.
#pragma once

#include <cstddef>
#include <string>

class PtyPair {
public:
  // Opens the pair. The slave starts in raw mode (no echo, no translation)
  // so nothing the peer writes before the port is configured comes back.
  // When keepSlaveOpen is true the pair holds one slave descriptor of its
  // own, so the master keeps working while the code under test closes and
  // reopens the port.
  explicit PtyPair(bool keepSlaveOpen = true);
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& slavePath() const { return slavePath_; }
  const char* path() const { return slavePath_.c_str(); }
  int masterFd() const { return master_; }
  // The pair's own slave descriptor, -1 when it holds none.
  int slaveFd() const { return slave_; }

  // Writes all bytes to the master side. Gives up when the slave side
  // accepts nothing for stallMs milliseconds. True when everything went.
  bool write(const void* data, std::size_t len, int stallMs = 5000);
  bool write(const std::string& bytes, int stallMs = 5000);

  // Returns the bytes that arrive within timeoutMs, at most maxBytes,
  // as soon as at least one has come (empty on time-out).
  std::string readSome(std::size_t maxBytes, int timeoutMs);
  // Collects exactly n bytes or what came before timeoutMs ran out.
  std::string readExactly(std::size_t n, int timeoutMs);
  // Reads and drops everything until the line has been quiet for quietMs.
  std::string drain(int quietMs = 50);

  // Closes the master: the slave side sees a hang-up.
  void closeMaster();
  // Closes the pair's own slave descriptor, if it holds one.
  void closeSlave();

private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};
