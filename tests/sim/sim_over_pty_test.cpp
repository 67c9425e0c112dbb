// The simulated unit on a real pseudo-terminal, with the test playing the
// display program on the slave side: version answer, replay byte for byte,
// recording of what the program sends, and closing and reopening the port.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "SimulatedUnit.h"

namespace {

const std::string kKeepAlive = "\xfe";
const std::string kVersionRequest = std::string("\x1b@999y\0", 7);

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The program's end of the link.
class ProgramSide {
public:
  explicit ProgramSide(const std::string& device) {
    fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
      struct termios tio;
      ::tcgetattr(fd, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
  }
  ~ProgramSide() { close(); }
  void close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool ok() const { return fd >= 0; }

  void send(const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads until `n` bytes came or `timeoutMs` passed.
  std::string readExactly(size_t n, int timeoutMs) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < n) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                      .count());
      if (left <= 0 || !waitReadable(left)) break;
      char buf[65536];
      size_t want = std::min(sizeof buf, n - got.size());
      ssize_t r = ::read(fd, buf, want);
      if (r <= 0) break;
      got.append(buf, static_cast<size_t>(r));
    }
    return got;
  }

  // Reads until nothing has come for `quietMs`.
  std::string drain(int quietMs) {
    std::string got;
    while (waitReadable(quietMs)) {
      char buf[65536];
      ssize_t r = ::read(fd, buf, sizeof buf);
      if (r <= 0) break;
      got.append(buf, static_cast<size_t>(r));
    }
    return got;
  }

private:
  bool waitReadable(int ms) {
    struct pollfd p = {fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1 && (p.revents & POLLIN);
  }

  int fd = -1;
};

class SimOverPtyTest : public ::testing::Test {
protected:
  void TearDown() override {
    unit.stopBackground();
    for (const std::string& path : files) std::remove(path.c_str());
    if (!dir.empty()) ::rmdir(dir.c_str());
  }

  std::string tempPath(const char* name) {
    if (dir.empty()) {
      char pattern[] = "/tmp/tavix_sim_testXXXXXX";
      if (mkdtemp(pattern) == nullptr) ADD_FAILURE() << "no temporary directory";
      dir = pattern;
    }
    files.push_back(dir + "/" + name);
    return files.back();
  }

  void start(const SimOptions& options) {
    std::string error;
    ASSERT_TRUE(unit.start(options, error)) << error;
    unit.runInBackground();
  }

  // The program's connection phase: wake-up byte, quiet, version request.
  std::string connect(ProgramSide& program, const std::string& reply) {
    program.send(kKeepAlive);
    std::string splash = program.drain(300);
    program.send(kVersionRequest);
    std::string got = program.readExactly(reply.size(), 5000);
    EXPECT_EQ(got, reply);
    return splash;
  }

  SimulatedUnit unit;
  std::string dir;
  std::vector<std::string> files;
};

TEST_F(SimOverPtyTest, AnswersTheVersionRequestWithTheConfiguredVersion) {
  SimOptions options;
  ASSERT_TRUE(parseFirmwareVersion("3.1.4.15", options.version));
  start(options);
  ProgramSide program(unit.devicePath());
  ASSERT_TRUE(program.ok());
  std::string splash = connect(program, "\x1b@3;1;4;15V");
  EXPECT_NE(splash.find("3.1.4.15"), std::string::npos) << "the splash names the version";
  // The main loop's keep-alive byte brings the title page.
  program.send(kKeepAlive);
  EXPECT_EQ(program.readExactly(4, 5000), "\x1b@0Z");
}

TEST_F(SimOverPtyTest, ReplaysARecordedStreamByteForByte) {
  std::string stream;
  for (int i = 0; i < 256; ++i) stream.push_back(static_cast<char>(i));
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) stream.push_back(static_cast<char>(rng() & 0xFF));
  std::string file = tempPath("stream.bin");
  std::ofstream(file, std::ios::binary) << stream;

  SimOptions options;
  options.replayFile = file;
  start(options);
  ProgramSide program(unit.devicePath());
  ASSERT_TRUE(program.ok());
  EXPECT_EQ(connect(program, "\x1b@1;0;0;0V"), "") << "nothing but the stream in replay mode";
  program.send(kKeepAlive);
  std::string got = program.readExactly(stream.size(), 20000);
  ASSERT_EQ(got.size(), stream.size());
  EXPECT_TRUE(got == stream) << "the replayed bytes differ";
  EXPECT_EQ(program.drain(300), "") << "nothing after the stream";
}

TEST_F(SimOverPtyTest, RecordsEverythingTheProgramSends) {
  SimOptions options;
  options.recordFile = tempPath("received.bin");
  start(options);
  ProgramSide program(unit.devicePath());
  ASSERT_TRUE(program.ok());
  connect(program, "\x1b@1;0;0;0V");
  const std::string reports =
      kKeepAlive + "\x1b[A\r\b\x1b[1\x1bOP\x1b@995y\x1b[<1;150;100M\x1b[<9;150;100Ma~" + kKeepAlive;
  program.send(reports);
  program.drain(300);
  unit.stopBackground();
  EXPECT_EQ(readFile(options.recordFile), kKeepAlive + kVersionRequest + reports);
}

TEST_F(SimOverPtyTest, ServesTheProgramAgainAfterItClosedAndReopenedThePort) {
  SimOptions options;
  options.recordFile = tempPath("received.bin");
  start(options);
  {
    ProgramSide program(unit.devicePath());
    ASSERT_TRUE(program.ok());
    connect(program, "\x1b@1;0;0;0V");
    program.send(kKeepAlive);
    EXPECT_FALSE(program.drain(300).empty());
  }
  // Closed: the unit sees its end hang up. Let it notice, then reopen.
  usleep(200 * 1000);
  for (int round = 0; round < 2; ++round) {
    ProgramSide program(unit.devicePath());
    ASSERT_TRUE(program.ok()) << "round " << round;
    program.send(kKeepAlive);  // a reopened port: no connection phase
    EXPECT_FALSE(program.readExactly(4, 5000).empty()) << "round " << round;
    program.send("\x1b[C");  // input: the page at once, and the box moves
    std::string answer = program.drain(300);
    EXPECT_NE(answer.find("\x1b@0Z"), std::string::npos) << "round " << round;
    program.close();
    usleep(200 * 1000);
  }
  unit.stopBackground();
  EXPECT_EQ(readFile(options.recordFile),
            kKeepAlive + kVersionRequest + kKeepAlive + kKeepAlive + "\x1b[C" + kKeepAlive + "\x1b[C");
}

}  // namespace
