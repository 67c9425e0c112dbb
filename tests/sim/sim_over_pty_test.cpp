// The simulated unit on a real pseudo-terminal, with the test playing the
// display program on the slave side: version answer, replay byte for byte,
// recording of what the program sends, and closing and reopening the port.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "SimulatedUnit.h"
#include "app_files.h"

namespace {

using app_test::readFile;

const std::string kKeepAlive = "\xfe";
const std::string kVersionRequest = std::string("\x1b@999y\0", 7);

// The program's end of the link.
class ProgramSide {
public:
  explicit ProgramSide(const std::string& device) : fd(::open(device.c_str(), O_RDWR | O_NOCTTY)) {
    struct termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
  }
  ~ProgramSide() { ::close(fd); }
  bool ok() const { return fd >= 0; }

  void send(const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until n bytes came (or timeoutMs passed), or with n == 0 until
  // nothing has come for timeoutMs.
  std::string read(size_t n, int timeoutMs) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (n == 0 || got.size() < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      struct pollfd p = {fd, POLLIN, 0};
      if (::poll(&p, 1, n == 0 ? timeoutMs : static_cast<int>(left.count())) != 1 || !(p.revents & POLLIN)) break;
      char buf[65536];
      const ssize_t r = ::read(fd, buf, n == 0 ? sizeof buf : std::min(sizeof buf, n - got.size()));
      if (r <= 0) break;
      got.append(buf, static_cast<size_t>(r));
    }
    return got;
  }
  std::string drain(int quietMs) { return read(0, quietMs); }

private:
  int fd;
};

class SimOverPtyTest : public ::testing::Test {
protected:
  void TearDown() override { unit.stopBackground(); }

  void start(const SimOptions& options) {
    std::string error;
    ASSERT_TRUE(unit.start(options, error)) << error;
    unit.runInBackground();
  }

  // The program's connection phase: wake-up byte, quiet, version request.
  std::string connect(ProgramSide& program, const std::string& reply) {
    program.send(kKeepAlive);
    const std::string splash = program.drain(300);
    program.send(kVersionRequest);
    EXPECT_EQ(program.read(reply.size(), 5000), reply);
    return splash;
  }

  app_test::TempDir dir;
  SimulatedUnit unit;
};

TEST_F(SimOverPtyTest, AnswersTheVersionRequestWithTheConfiguredVersion) {
  SimOptions options;
  ASSERT_TRUE(parseFirmwareVersion("3.1.4.15", options.version));
  start(options);
  ProgramSide program(unit.devicePath());
  ASSERT_TRUE(program.ok());
  EXPECT_NE(connect(program, "\x1b@3;1;4;15V").find("3.1.4.15"), std::string::npos) << "the splash names it";
  // The main loop's keep-alive byte brings the title page.
  program.send(kKeepAlive);
  EXPECT_EQ(program.read(4, 5000), "\x1b@0Z");
}

TEST_F(SimOverPtyTest, ReplaysARecordedStreamByteForByte) {
  std::string stream;
  for (int i = 0; i < 256; ++i) stream.push_back(static_cast<char>(i));
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) stream.push_back(static_cast<char>(rng() & 0xFF));
  SimOptions options;
  options.replayFile = dir.file("stream.bin");
  ASSERT_TRUE(app_test::writeFile(options.replayFile, stream));
  start(options);
  ProgramSide program(unit.devicePath());
  ASSERT_TRUE(program.ok());
  EXPECT_EQ(connect(program, "\x1b@1;0;0;0V"), "") << "nothing but the stream in replay mode";
  program.send(kKeepAlive);
  const std::string got = program.read(stream.size(), 20000);
  EXPECT_TRUE(got == stream) << "the replayed bytes differ; " << got.size() << " of " << stream.size();
  EXPECT_EQ(program.drain(300), "") << "nothing after the stream";
}

TEST_F(SimOverPtyTest, RecordsEverythingTheProgramSendsAcrossReopenedPorts) {
  SimOptions options;
  options.recordFile = dir.file("received.bin");
  start(options);
  const std::string reports =
      kKeepAlive + "\x1b[A\r\b\x1b[1\x1bOP\x1b@995y\x1b[<1;150;100M\x1b[<9;150;100Ma~" + kKeepAlive;
  {
    ProgramSide program(unit.devicePath());
    ASSERT_TRUE(program.ok());
    connect(program, "\x1b@1;0;0;0V");
    program.send(reports);
    EXPECT_FALSE(program.drain(300).empty());
  }
  for (int round = 0; round < 2; ++round) {
    // Closed: the unit sees its end hang up. Let it notice, then reopen.
    usleep(200 * 1000);
    ProgramSide program(unit.devicePath());
    ASSERT_TRUE(program.ok()) << "round " << round;
    program.send(kKeepAlive);  // a reopened port: no connection phase
    EXPECT_FALSE(program.read(4, 5000).empty()) << "round " << round;
    program.send("\x1b[C");  // input: the page at once, and the box moves
    EXPECT_NE(program.drain(300).find("\x1b@0Z"), std::string::npos) << "round " << round;
  }
  usleep(200 * 1000);
  unit.stopBackground();
  EXPECT_EQ(readFile(options.recordFile),
            kKeepAlive + kVersionRequest + reports + kKeepAlive + "\x1b[C" + kKeepAlive + "\x1b[C");
}

}  // namespace
