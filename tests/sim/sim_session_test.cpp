// The simulated unit's conversation with the program, on a made-up clock:
// the version answer, the quiet time around the program's connection phase,
// reconnection, replay and the demonstration's reactions.
#include <gtest/gtest.h>

#include <string>

#include "DemoScript.h"
#include "SimSession.h"
#include "UnitStream.h"

namespace {

const std::string kKeepAlive = "\xfe";
const std::string kVersionRequest = std::string("\x1b@999y\0", 7);

void send(SimSession& s, const std::string& bytes, uint64_t now) {
  s.receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), now);
}

FirmwareVersion version(unsigned a, unsigned b, unsigned c, unsigned d) {
  FirmwareVersion v;
  v.a = a;
  v.b = b;
  v.c = c;
  v.d = d;
  return v;
}

TEST(SimSessionTest, AnswersTheVersionRequestWithTheConfiguredVersion) {
  SimSession s(version(2, 10, 0, 255));
  send(s, kKeepAlive, 0);
  s.takeOutput();  // the splash
  send(s, kVersionRequest, 250);
  EXPECT_EQ(s.takeOutput(), "\x1b@2;10;0;255V");
  send(s, kVersionRequest, 1300);  // asked again: answered again
  EXPECT_EQ(s.takeOutput(), "\x1b@2;10;0;255V");
}

TEST(SimSessionTest, KeepsQuietBetweenTheVersionAnswerAndTheMainLoop) {
  SimSession s(version(1, 0, 0, 0));
  send(s, kKeepAlive, 0);
  EXPECT_FALSE(s.takeOutput().empty()) << "a splash while the program connects";
  send(s, kVersionRequest, 200);
  s.takeOutput();
  // Long after the quiet time: still nothing, the program might discard it.
  s.tick(200 + 5 * SimSession::kQuietStartMs);
  EXPECT_FALSE(s.hasOutput());
  EXPECT_EQ(s.msUntilNextStep(5200), -1);
  // The main loop's first keep-alive byte: the page begins.
  send(s, kKeepAlive, 6000);
  std::string page = s.takeOutput();
  EXPECT_EQ(page.rfind("\x1b@0Z", 0), 0u) << "the page starts from a clean screen";
}

TEST(SimSessionTest, KeepAliveBytesAloneDrawNothingMore) {
  SimSession s(version(1, 0, 0, 0));
  send(s, kKeepAlive, 0);
  send(s, kVersionRequest, 200);
  send(s, kKeepAlive, 300);
  s.tick(300 + 10 * DemoScript::kIntroStepMs);
  s.takeOutput();
  for (int i = 1; i <= 5; ++i) {
    send(s, kKeepAlive, 300 + 10 * DemoScript::kIntroStepMs + 3000 * i);
    EXPECT_FALSE(s.hasOutput()) << "keep-alive " << i;
  }
}

TEST(SimSessionTest, ReopenedPortGetsThePageAfterTheQuietTime) {
  SimSession s(version(1, 0, 0, 0));
  send(s, kKeepAlive, 0);
  send(s, kVersionRequest, 200);
  send(s, kKeepAlive, 300);
  s.takeOutput();
  s.hangUp();
  EXPECT_FALSE(s.connected());
  s.tick(10000);
  EXPECT_FALSE(s.hasOutput()) << "nothing is sent to a closed port";

  send(s, kKeepAlive, 20000);  // the reopened port's first keep-alive
  EXPECT_TRUE(s.connected());
  s.takeOutput();
  EXPECT_EQ(s.msUntilNextStep(20000), static_cast<long>(SimSession::kQuietStartMs));
  s.tick(20000 + SimSession::kQuietStartMs - 1);
  EXPECT_FALSE(s.hasOutput());
  s.tick(20000 + SimSession::kQuietStartMs);
  EXPECT_EQ(s.takeOutput().rfind("\x1b@0Z", 0), 0u);
}

TEST(SimSessionTest, InputOnAReopenedPortDrawsThePageAtOnceAndIsAnswered) {
  SimSession s(version(1, 0, 0, 0));
  send(s, "\x1b[C", 0);  // a key report as the first thing after reopening
  std::string out = s.takeOutput();
  EXPECT_NE(out.find("\x1b@0Z"), std::string::npos);
  // The whole intro was flushed before the answer, and the box moved right.
  EXPECT_EQ(s.msUntilNextStep(0), -1);
  EXPECT_EQ(s.demo().boxColumn(), 1);
}

TEST(SimSessionTest, ReplaysTheStreamByteForByteOncePerConnection) {
  std::string stream = "\x1b@0Z\x1b[5;10HA\x82\xa0\x00\xff\x1b@3;0;1;320;192;100;50;31z";
  stream.push_back('\0');
  SimSession s(version(1, 2, 3, 4), stream);
  send(s, kKeepAlive, 0);
  EXPECT_FALSE(s.hasOutput()) << "no splash in replay mode";
  send(s, kVersionRequest, 200);
  EXPECT_EQ(s.takeOutput(), "\x1b@1;2;3;4V");
  send(s, kKeepAlive, 300);
  EXPECT_EQ(s.takeOutput(), stream);
  send(s, "\x1b[A" + kKeepAlive, 400);
  EXPECT_FALSE(s.hasOutput()) << "input is not answered during a replay";

  s.hangUp();
  send(s, kKeepAlive, 5000);
  s.tick(5000 + SimSession::kQuietStartMs);
  EXPECT_EQ(s.takeOutput(), stream);
}

TEST(SimSessionTest, TitleIntroComesInTimedSteps) {
  SimSession s(version(1, 0, 0, 0));
  send(s, kKeepAlive, 0);
  send(s, kVersionRequest, 200);
  send(s, kKeepAlive, 300);
  std::string first = s.takeOutput();
  EXPECT_NE(first.find("\x1b@4Z"), std::string::npos) << "character size 0 first";
  EXPECT_EQ(s.msUntilNextStep(300), static_cast<long>(DemoScript::kIntroStepMs));
  s.tick(300 + DemoScript::kIntroStepMs);
  EXPECT_NE(s.takeOutput().find("\x1b@5Z"), std::string::npos) << "then size 1";
  s.tick(300 + 2 * DemoScript::kIntroStepMs);
  EXPECT_NE(s.takeOutput().find("\x1b@6Z"), std::string::npos) << "then size 2";
  EXPECT_EQ(s.msUntilNextStep(2000), -1);
}

TEST(FirmwareVersionTest, ParsesFourPartsUpTo255) {
  FirmwareVersion v;
  EXPECT_TRUE(parseFirmwareVersion("1.2.3.4", v));
  EXPECT_EQ(v.text(), "1.2.3.4");
  EXPECT_TRUE(parseFirmwareVersion("255.0.10.255", v));
  EXPECT_EQ(v.text(), "255.0.10.255");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "a.b.c.d", "1.2.3.4 ",
                          "-1.2.3.4", "0001.2.3.4"}) {
    FirmwareVersion untouched;
    EXPECT_FALSE(parseFirmwareVersion(bad, untouched)) << bad;
    EXPECT_EQ(untouched.text(), "1.0.0.0") << bad;
  }
}

}  // namespace
