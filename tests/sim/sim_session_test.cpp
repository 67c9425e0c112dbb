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
const std::string kPageStart = "\x1b@0Z";

void send(SimSession& s, const std::string& bytes, uint64_t now) {
  s.receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), now);
}

FirmwareVersion version(const char* text) {
  FirmwareVersion v;
  EXPECT_TRUE(parseFirmwareVersion(text, v)) << text;
  return v;
}

TEST(SimSessionTest, ConnectionPhaseThenTitleIntroInTimedSteps) {
  SimSession s(version("2.10.0.255"));
  send(s, kKeepAlive, 0);
  EXPECT_FALSE(s.takeOutput().empty()) << "a splash while the program connects";
  send(s, kVersionRequest, 250);
  EXPECT_EQ(s.takeOutput(), "\x1b@2;10;0;255V");
  send(s, kVersionRequest, 300);  // asked again: answered again
  EXPECT_EQ(s.takeOutput(), "\x1b@2;10;0;255V");
  // Long after the quiet time still nothing: the program might discard it.
  const uint64_t late = 300 + 5 * SimSession::kQuietStartMs;
  s.tick(late);
  EXPECT_FALSE(s.hasOutput());
  EXPECT_EQ(s.msUntilNextStep(late), -1);

  // The main loop's first keep-alive byte: the page begins from a clean
  // screen, with the character sizes shown one step at a time.
  const uint64_t t = 6000, step = DemoScript::kIntroStepMs;
  send(s, kKeepAlive, t);
  const std::string first = s.takeOutput();
  EXPECT_EQ(first.rfind(kPageStart, 0), 0u);
  EXPECT_NE(first.find("\x1b@4Z"), std::string::npos) << "character size 0 first";
  EXPECT_EQ(s.msUntilNextStep(t), static_cast<long>(step));
  s.tick(t + step);
  EXPECT_NE(s.takeOutput().find("\x1b@5Z"), std::string::npos) << "then size 1";
  s.tick(t + 2 * step);
  EXPECT_NE(s.takeOutput().find("\x1b@6Z"), std::string::npos) << "then size 2";
  s.tick(t + 10 * step);
  s.takeOutput();
  EXPECT_EQ(s.msUntilNextStep(t + 10 * step), -1);
  // Keep-alive bytes alone draw nothing more.
  for (int i = 1; i <= 5; ++i) {
    send(s, kKeepAlive, t + 10 * step + 3000 * i);
    EXPECT_FALSE(s.hasOutput()) << "keep-alive " << i;
  }
}

TEST(SimSessionTest, ReopenedPortGetsThePageAfterTheQuietTimeOrAtOnceOnInput) {
  SimSession s(version("1.0.0.0"));
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
  EXPECT_EQ(s.takeOutput().rfind(kPageStart, 0), 0u);

  // A key report as the first thing after reopening: the whole intro is
  // flushed before the answer, and the box moves right.
  SimSession fresh(version("1.0.0.0"));
  send(fresh, "\x1b[C", 0);
  EXPECT_NE(fresh.takeOutput().find(kPageStart), std::string::npos);
  EXPECT_EQ(fresh.msUntilNextStep(0), -1);
  EXPECT_EQ(fresh.demo().boxColumn(), 1);
}

TEST(SimSessionTest, ReplaysTheStreamByteForByteOncePerConnection) {
  const std::string stream("\x1b@0Z\x1b[5;10HA\x82\xa0\x00\xff\x1b@3;0;1;320;192;100;50;31z\0", 43);
  SimSession s(version("1.2.3.4"), stream);
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

TEST(FirmwareVersionTest, ParsesFourPartsUpTo255) {
  FirmwareVersion v;
  EXPECT_TRUE(parseFirmwareVersion("255.0.10.255", v));
  EXPECT_EQ(v.text(), "255.0.10.255");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "a.b.c.d", "1.2.3.4 ", "-1.2.3.4",
                          "0001.2.3.4"}) {
    FirmwareVersion untouched;
    EXPECT_FALSE(parseFirmwareVersion(bad, untouched)) << bad;
    EXPECT_EQ(untouched.text(), "1.0.0.0") << bad;
  }
}

}  // namespace
