// The simulator's reading of what the display program sends: every input
// report, the keep-alive byte and the version request, however the bytes
// are split, and nothing at all from malformed sequences.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "HostInputDecoder.h"

namespace {

HostEvent ev(HostEvent::Kind kind, int number = 0) {
  HostEvent e;
  e.kind = kind;
  e.number = number;
  return e;
}

HostEvent mouse(int code, int x, int y) {
  HostEvent e = ev(HostEvent::Mouse);
  e.code = code;
  e.x = x;
  e.y = y;
  return e;
}

std::vector<HostEvent> decode(const std::string& bytes, bool byteByByte = false) {
  HostInputDecoder d;
  std::vector<HostEvent> out;
  if (!byteByByte) d.feed(bytes, out);
  for (size_t i = 0; byteByByte && i < bytes.size(); ++i) d.feed(bytes.substr(i, 1), out);
  return out;
}

struct Case {
  const char* name;
  std::string bytes;
  std::vector<HostEvent> expected;
};

std::vector<Case> reportCases() {
  return {
      {"keep-alive", "\xfe", {ev(HostEvent::KeepAlive)}},
      {"version request with its zero", std::string("\x1b@999y\0", 7), {ev(HostEvent::VersionRequest)}},
      {"arrows", "\x1b[A\x1b[B\x1b[C\x1b[D",
       {ev(HostEvent::Up), ev(HostEvent::Down), ev(HostEvent::Right), ev(HostEvent::Left)}},
      {"enter and back", "\r\b", {ev(HostEvent::Enter), ev(HostEvent::Back)}},
      {"navigation keys", "\x1b[1\x1b[4\x1b[5\x1b[6",
       {ev(HostEvent::Home), ev(HostEvent::End), ev(HostEvent::PageUp), ev(HostEvent::PageDown)}},
      {"function keys F1 and F10", "\x1bOP\x1bOY", {ev(HostEvent::Function, 1), ev(HostEvent::Function, 10)}},
      {"wheel", "\x1b@995y\x1b@996y\x1b@997y\x1b@998y",
       {ev(HostEvent::WheelUp), ev(HostEvent::WheelDown), ev(HostEvent::WheelLeft),
        ev(HostEvent::WheelRight)}},
      {"typed characters, space to tilde", " a~", {ev(HostEvent::Char, ' '), ev(HostEvent::Char, 'a'), ev(HostEvent::Char, '~')}},
      {"mouse press and release", "\x1b[<1;150;100M\x1b[<9;150;100M", {mouse(1, 150, 100), mouse(9, 150, 100)}},
      {"mouse beyond the left edge", "\x1b[<0;65533;10M", {mouse(0, 65533, 10)}},
      {"Home directly followed by a typed digit", "\x1b[12", {ev(HostEvent::Home), ev(HostEvent::Char, '2')}},
      {"mouse report cut by the next report", "\x1b[<1;2\x1b[B", {ev(HostEvent::Down)}},
      {"version request cut by a keep-alive", "\x1b@99\xfe", {ev(HostEvent::KeepAlive)}},
  };
}

TEST(HostInputDecoderTest, DecodesEveryReportWholeAndSplit) {
  for (const Case& c : reportCases()) {
    EXPECT_EQ(decode(c.bytes), c.expected) << c.name;
    EXPECT_EQ(decode(c.bytes, true), c.expected) << c.name << " (byte by byte)";
  }
}

TEST(HostInputDecoderTest, DropsMalformedSequencesAndCarriesOn) {
  const std::vector<std::string> malformed = {
      "\x1b[<1;2M",           // two numbers
      "\x1b[<1;2;3;4M",       // four numbers
      "\x1b[<1;;3M",          // an empty field
      "\x1b[<1;2;3333333M",   // a number too long to be a position
      "\x1b@123y",            // not an "@" report
      "\x1b@99999999y",       // digits without end
      "\x1bOZ",               // past F10
  };
  for (const std::string& bad : malformed) {
    std::vector<HostEvent> events = decode(bad + "\x1b[A");
    ASSERT_FALSE(events.empty()) << "the report after " << bad.substr(1) << " was lost";
    EXPECT_EQ(events.back(), ev(HostEvent::Up)) << bad.substr(1);
    for (size_t i = 0; i + 1 < events.size(); ++i)
      EXPECT_EQ(events[i].kind, HostEvent::Char) << bad.substr(1) << " produced " << describe(events[i]);
  }
}

TEST(HostInputDecoderTest, ResetForgetsAHalfReceivedReport) {
  HostInputDecoder d;
  std::vector<HostEvent> out;
  d.feed(std::string("\x1b["), out);
  d.reset();
  d.feed(std::string("A"), out);
  EXPECT_EQ(out, std::vector<HostEvent>{ev(HostEvent::Char, 'A')});
}

TEST(HostInputDecoderTest, RandomBytesNeverMakeMoreEventsThanBytes) {
  std::mt19937 rng(1234);
  HostInputDecoder d;
  std::vector<HostEvent> out;
  std::string bytes;
  for (int i = 0; i < 200000; ++i) {
    // Mostly the characters reports are made of, so sequences get deep.
    static const char alphabet[] = "\x1b[<@O;0123456789My\xfe\r\bA";
    bytes.push_back(rng() % 4 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % (sizeof alphabet - 1)]);
  }
  d.feed(bytes, out);
  EXPECT_LE(out.size(), bytes.size());
  for (const HostEvent& e : out) EXPECT_TRUE(e.kind != HostEvent::Mouse || (e.x <= 999999 && e.y <= 999999));
}

}  // namespace
