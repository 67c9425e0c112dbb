#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>

#include "app/HandshakeSteps.h"
#include "app/LinkDeadlines.h"
#include "app/PassIntake.h"
#include "app/WindowRules.h"
#include "screen/ScreenPlacement.h"

namespace {

using Times = std::vector<uint32_t>;

TEST(WindowRulesTest, ResizesSnapStoredGeometryOpensUnsnappedWithinLimitsMovesAndSizesAreStored) {
  const int snaps[][3] = {{1000, 700, 2}, {1000, 500, 1}, {960, 576, 2},    {959, 700, 1},      {1280, 575, 1},
                          {300, 200, 1},  {-50, -50, 1},  {1920, 1152, 3}, {100000, 100000, 16}};
  for (const auto& c : snaps) EXPECT_EQ(snappedScale(c[0], c[1]), c[2]) << c[0] << " x " << c[1];
  const std::pair<PreferenceMap, std::vector<int>> cases[] = {  // x, y, sized, w, h, scale
      {{}, {40, 40, 0, 640, 384, 1}},
      {{{"window_w", 1300}, {"window_h", 700}}, {40, 40, 1, 1300, 700, 2}},
      {{{"window_w", 320}, {"window_h", 192}}, {40, 40, 1, 320, 192, 1}},
      {{{"window_w", 1300}, {"window_x", 4294967276u}, {"window_y", 100}}, {-20, 100, 0, 640, 384, 1}},
      {{{"window_w", 10240}, {"window_h", 6144}}, {40, 40, 1, 10240, 6144, 16}},
      {{{"window_w", 0}, {"window_h", 6145}}, {40, 40, 0, 640, 384, 1}},
  };
  for (const auto& c : cases) {
    const WindowGeometry g = startWindow(c.first);
    EXPECT_EQ(std::vector<int>({g.x, g.y, g.sized, g.w, g.h, g.scale}), c.second);
  }
  // Uneven windows and fullscreen desktops: the largest whole scale that fits, centred (scale, x, y).
  const int places[][5] = {{640, 384, 1, 0, 0},    {1920, 1152, 3, 0, 0},    {1400, 800, 2, 60, 16},
                           {1920, 1080, 2, 320, 156}, {3840, 2160, 5, 320, 120}, {1366, 768, 2, 43, 0},
                           {1280, 1024, 2, 0, 128}, {600, 400, 1, -20, 8}};
  for (const auto& c : places) {
    const ScreenPlacement p = placeScreen(c[0], c[1]);
    EXPECT_EQ(std::vector<int>({p.scale, p.x, p.y}), std::vector<int>(c + 2, c + 5)) << c[0] << " x " << c[1];
  }
  PreferenceMap prefs;
  storeWindowMove(prefs, -20, 7);
  storeWindowScale(prefs, 2);
  EXPECT_EQ(prefs, (PreferenceMap{{"window_h", 768}, {"window_w", 1280}, {"window_x", 4294967276u}, {"window_y", 7}}));
}

// The main loop on a fake clock, a pass every 10 ms for 7 s; events by pass: 'T' an input report
// ('H' one in every pass from then on: a held key), 'U' the unit gone unnoticed, 'L' a loss the link
// reports, 'P' the unit back. Gives the times of the keep-alive bytes and of the reconnection attempts.
std::pair<Times, Times> runLoop(uint32_t start, const std::map<int, char>& events) {
  LinkDeadlines deadlines;
  deadlines.start(start);
  Times keepAlives, reconnects;
  bool open = true, plugged = true, held = false;
  for (int i = 0; i < 700; ++i) {
    const uint32_t now = start + 10u * static_cast<uint32_t>(i);
    const char event = events.count(i) ? events.at(i) : ' ';
    plugged = event == 'P' || (plugged && event != 'U' && event != 'L');
    if (open && deadlines.due(now) && (open = plugged)) keepAlives.push_back(now - start), deadlines.keepAliveSent();
    if (open && event == 'L') open = false, deadlines.lost(now);
    if (!open && deadlines.due(now)) reconnects.push_back(now - start), deadlines.reconnectTried(), open = plugged;
    if (event == 'T' || (held |= event == 'H')) deadlines.inputSent(now, open);
  }
  return {keepAlives, reconnects};
}

TEST(LinkDeadlinesTest, KeepAliveAndReconnectionFollowTheirIntervals) {
  const std::tuple<const char*, uint32_t, std::map<int, char>, std::pair<Times, Times>> cases[] = {
      {"two passes, then every 3000 ms", 100000, {}, {{0, 10, 3010, 6010}, {}}},
      {"across the wrap of the tick", 0xFFFFF000u, {}, {{0, 10, 3010, 6010}, {}}},
      {"tick still below 3000", 100, {}, {{0, 10, 3010, 6010}, {}}},
      {"typing postpones", 100000, {{100, 'T'}, {200, 'T'}, {300, 'T'}}, {{0, 10, 6010}, {}}},
      {"reported loss", 0xFFFFFF00u, {{50, 'L'}, {300, 'P'}}, {{0, 10, 4500}, {500, 1500, 2500, 3500}}},
      {"failed keep-alive write", 100000, {{100, 'U'}, {450, 'P'}}, {{0, 10, 6010}, {3010, 4010, 5010}}},
      {"key held while unplugged", 100000, {{50, 'L'}, {60, 'H'}}, {{0, 10}, {500, 1500, 2500, 3500, 4500, 5500, 6500}}},
      {"key held, unit back", 100000, {{50, 'L'}, {60, 'H'}, {200, 'P'}}, {{0, 10}, {500, 1500, 2500}}},
  };
  for (const auto& [name, start, events, expected] : cases) EXPECT_EQ(runLoop(start, events), expected) << name;
}

// Passes one after another over n waiting bytes on a fake clock that each parsed byte advances by
// msPerByte; gives the bytes each pass parsed. Every byte is parsed once, in order.
std::vector<unsigned> intakePasses(unsigned n, uint32_t start, uint32_t msPerByte) {
  std::string stream, parsed;
  for (unsigned i = 0; i < n; ++i) stream += static_cast<char>(i * 7 + i / 256);
  unsigned next = 0;
  uint32_t clock = start;
  std::vector<unsigned> passes;
  while (next < n && passes.size() < 100) {
    passes.push_back(PassIntake::run(reinterpret_cast<const unsigned char*>(&stream[next]), n - next,
                                     [&](unsigned char b) { parsed += b, clock += msPerByte; }, [&] { return clock; }));
    next += passes.back();
  }
  EXPECT_EQ(parsed, stream);
  return passes;
}

TEST(PassIntakeTest, APassParsesForAbout20MsAndLeavesTheRestInOrderToTheNext) {
  EXPECT_EQ(intakePasses(4095, 100000, 0), (std::vector<unsigned>{4095})) << "cheap bytes";
  EXPECT_EQ(intakePasses(50, 100000, 1), (std::vector<unsigned>{20, 20, 10}));
  EXPECT_EQ(intakePasses(50, 0xFFFFFFF0u, 1), (std::vector<unsigned>{20, 20, 10})) << "across the wrap of the tick";
  EXPECT_EQ(intakePasses(10, 100000, 7), (std::vector<unsigned>{4, 4, 2})) << "the clock is read every four bytes";
}

// The handshake against a fake unit: a pause is 1 ms, a parsed byte parseMs. The unit greets with some
// bytes (a negative count: with its version), answers request answerOn (0: never) with 10; gives the
// requests, the settle's end and the end.
Times handshake(uint32_t start, int greeting, uint32_t answerOn, uint32_t parseMs, bool chatty) {
  HandshakeSteps steps(start);
  uint32_t now = start, requests = 0, settledAt = 0;
  int waiting = std::abs(greeting);
  bool known = false, replying = greeting < 0;
  for (;;) {
    switch (steps.next(chatty || waiting > 0, known, now)) {
      case HandshakeSteps::ParseByte: now += parseMs, waiting -= waiting > 0, known |= replying && waiting == 0; break;
      case HandshakeSteps::Pause: now += 1; break;
      case HandshakeSteps::ShowSettled: settledAt = now - start; break;
      case HandshakeSteps::SendRequest: replying = ++requests == answerOn, waiting += replying ? 10 : 0; break;
      case HandshakeSteps::Done: return {requests, settledAt, now - start};
    }
  }
}

TEST(HandshakeStepsTest, SettlesThenAsksUntilTheVersionIsKnownAtMostTenTimes) {
  EXPECT_EQ(handshake(5000, 0, 0, 0, false), (Times{10, 200, 10200})) << "silent unit";
  EXPECT_EQ(handshake(5000, 5, 1, 0, false), (Times{1, 200, 201})) << "answers at once";
  EXPECT_EQ(handshake(5000, -5, 0, 0, false), (Times{1, 200, 201})) << "tells its version unasked: asked once all the same";
  EXPECT_EQ(handshake(5000, 5, 1, 3, false), (Times{1, 215, 246})) << "each byte restarts the idle count";
  EXPECT_EQ(handshake(5000, 0, 3, 0, false), (Times{3, 200, 2201})) << "answers the third request";
  EXPECT_EQ(handshake(0xFFFFFF00u, 0, 0, 1, true), (Times{10, 5001, 25011})) << "never falls silent";
}

}  // namespace
