// The link's supervision on a fake clock, over the program's own serial
// link on a pseudo-terminal where the test plays the unit.
#include <termios.h>

#include "app/ConnectionLog.h"
#include "app/LinkSupervisor.h"
#include "app/LinkJournal.h"
#include "app/Recording.h"
#include "app_harness.h"

namespace app_test {
namespace {

class LinkSupervisorTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(link.OpenPort(pty.path(), 230400)); }
  void report(const std::string& bytes) { supervisor.send(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()); }
  std::string recorded() {
    Recording recording;
    std::string error, bytes;
    EXPECT_TRUE(readRecording(dir.file("rec"), recording, error)) << error;
    for (const Recording::Event& e : recording.events) bytes += e.kind == Recording::Event::FromUnit ? e.bytes : "";
    return bytes;
  }
  // The parser sees each byte only once it is in the recording.
  void parse(unsigned char byte) {
    parsed += static_cast<char>(byte);
    EXPECT_EQ(recorded().substr(0, parsed.size()), parsed);
    now += msPerParsedByte;
  }

  TempDir dir;
  PtyPair pty;
  CommSerial link;
  LinkJournal journal{dir.file("rec"), ""};
  const ConnectionLog log{false};
  uint32_t now = 0xFFFFF000u, msPerParsedByte = 0;
  std::string parsed;
  int lost = 0;
  LinkSupervisor supervisor{link, pty.slavePath(), 230400, journal, log, {[this](unsigned char b) { parse(b); }, [this] { ++lost; }, [] {}},
                            [this] { return now; }};
};

TEST_F(LinkSupervisorTest, AStallShorterThanTheKeepAliveKeepsTheLinkAndEveryReportWholeAndALongerOneDropsIt) {
  supervisor.start();
  supervisor.pass(), ++now, supervisor.pass();
  EXPECT_EQ(pty.readExactly(2, 5000), "\xFE\xFE");
  ASSERT_TRUE(waitFor([&] { return link.outputWaiting() == 0; }));
  supervisor.pass();
  EXPECT_EQ(supervisor.idleMs(), 3000u) << "nothing to do until the next keep-alive byte";
  ASSERT_EQ(tcflow(pty.slaveFd(), TCOOFF), 0);  // the unit takes nothing
  std::string typed, wheel = "\x1b@995y";
  for (char c = 'a'; c <= 'p'; ++c) report(std::string(1, c)), typed += c;
  for (int i = 0; i < 3000; ++i) report(wheel);  // more than the queue holds: the newest wait for nothing
  now += 2999, supervisor.pass();
  EXPECT_EQ(supervisor.idleMs(), 1u);
  ASSERT_EQ(tcflow(pty.slaveFd(), TCOON), 0);
  std::string whole = typed;  // what the queue holds, in whole reports
  while (whole.size() + wheel.size() < CommSerial::kOutputQueueSize) whole += wheel;
  EXPECT_TRUE(pty.readExactly(whole.size(), 5000) == whole);
  EXPECT_TRUE(waitFor([&] { return link.outputWaiting() == 0; }));
  now += 10, supervisor.pass();  // a keep-alive byte is due: seen taken by the next pass
  EXPECT_TRUE(waitFor([&] { return link.outputWaiting() == 0; }));
  supervisor.pass();
  EXPECT_EQ(lost, 0);
  ASSERT_EQ(tcflow(pty.slaveFd(), TCOOFF), 0);
  report("q");
  now += 2999, supervisor.pass();
  EXPECT_EQ(lost, 0);
  now += 1, supervisor.pass();
  EXPECT_EQ(lost, 1) << "dropped, and reopened at once";
  ASSERT_EQ(tcflow(pty.slaveFd(), TCOON), 0);
}

TEST_F(LinkSupervisorTest, WhatTheUnitSentBeforeItWentAwayIsRecordedAndParsedBeforeTheLinkDrops) {
  supervisor.start();
  msPerParsedByte = 30;  // costly bytes: a pass parses four of them
  const std::string sent = "\x1b[2J0123456789";
  ASSERT_TRUE(pty.write(sent));
  ASSERT_TRUE(waitFor([&] { return link.getReadableBytes() == sent.size(); }));
  supervisor.pass();
  EXPECT_EQ(parsed, sent.substr(0, 4));
  pty.closeMaster();  // unplugged
  ASSERT_TRUE(waitFor([&] { return link.linkLost(); }));
  supervisor.pass();
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(parsed, sent);
  EXPECT_EQ(recorded(), sent);
}

}  // namespace
}  // namespace app_test
