// The whole program, in-process, against a unit that misbehaves: it hangs up
// in the middle of a sequence or a character, is unplugged and replugged
// again and again, stops reading while the user types, or floods the link
// with garbage.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "app_harness.h"
#include "fault_peer.h"
#include "protocol/EscSeqParser.h"
#include "screen/edispSDL.h"
#include "serial/CommSerial.h"

namespace fault_test {
namespace {

using app_test::nowMs;
using app_test::pushQuit;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

// Window focus (c == 0) or a typed character c, as the window would send it.
void pushWindowEvent(const AppProbe& probe, char c) {
  SDL_Event event{};
  event.type = c ? SDL_TEXTINPUT : SDL_WINDOWEVENT;
  if (c) {
    event.text.windowID = SDL_GetWindowID(probe.disp->getWindow());
    event.text.text[0] = c;
  } else {
    event.window.windowID = SDL_GetWindowID(probe.disp->getWindow());
    event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  }
  SDL_PushEvent(&event);
}

// "Not Connected." at row 11, column 33 leaves the cursor here.
const int kNotConnectedRow = 11;
const int kAfterNotConnectedCol = 33 + 14;

class FaultAppTest : public app_test::AppTest {
protected:
  // A run against the device link in the temporary directory; the probe
  // sees every stage. A run still going after limitMs is asked to quit and
  // the test fails.
  int run(std::function<void(const AppProbe&)> probe, double limitMs) {
    return AppTest::run(config(link()), std::move(probe), limitMs);
  }

  std::string link() const { return dir.file("cu.usbmodemMB0001"); }

  // Plugs in a new unit: the device link names its port from now on.
  void plug(std::unique_ptr<FaultPeer>& peer) {
    peer.reset();
    peer.reset(new FaultPeer);
    ASSERT_TRUE(peer->ok());
    ASSERT_TRUE(pointLink(link(), peer->path()));
  }

  // The parser is not reset when the link drops: what was open when the
  // unit went away continues with the first byte of the next connection.
  // Sends before, unplugs the unit once pending(parser) holds, plugs in a
  // new one and sends after as its first bytes; reports the cursor then.
  struct HangUpResult {
    int row = -1, col = -1;
    double reconnectMs = -1;
    bool pendingAcrossLoss = false;
  };
  HangUpResult hangUpCase(const std::string& before, std::function<bool(const EscSeqParser&)> pending,
                          const std::string& after) {
    HangUpResult r;
    std::unique_ptr<FaultPeer> unit;
    plug(unit);
    enum { Connecting, Sending, Unplugging, WaitingForLoss, WaitingForReopen, WaitingForText, Done } step = Connecting;
    double replugAt = 0;
    double textSentAt = 0;
    run(
        [&](const AppProbe& probe) {
          if (probe.stage != AppProbe::LoopPass) return;
          switch (step) {
            case Connecting:
              if (unit->keepAlives() >= 2) step = Sending;
              break;
            case Sending:
              unit->send(before);
              step = Unplugging;
              break;
            case Unplugging:
              if (pending(*probe.parser)) {
                unit->unplug();
                step = WaitingForLoss;
              }
              break;
            case WaitingForLoss:
              if (probe.serial->fd < 0) {
                r.pendingAcrossLoss = pending(*probe.parser);
                plug(unit);
                replugAt = nowMs();
                step = WaitingForReopen;
              }
              break;
            case WaitingForReopen:
              if (probe.serial->fd >= 0) {
                r.reconnectMs = nowMs() - replugAt;
                unit->send(after);
                textSentAt = nowMs();
                step = WaitingForText;
              }
              break;
            case WaitingForText:
              if (probe.serial->getReadableBytes() == 0 && nowMs() - textSentAt > 300) {
                r.row = probe.disp->getCursorRow();
                r.col = probe.disp->getCursorCol();
                step = Done;
                pushQuit();
              }
              break;
            case Done:
              break;
          }
        },
        30000);
    EXPECT_EQ(step, Done);
    return r;
  }
};

TEST_F(FaultAppTest, HangUpInsideASequenceOrAShiftJisPairContinuesOnTheNextConnection) {
  struct Case {
    const char* name;
    std::string before;
    std::function<bool(const EscSeqParser&)> pending;
    std::string after;
    int row, col;
  };
  auto halfSequence = [](const EscSeqParser& p) { return p.seqBuffer == "[5;"; };
  auto halfPair = [](const EscSeqParser& p) { return p.sjisLead == 0x82; };
  const std::vector<Case> cases = {
      // The new unit's "10H" completes ESC [ 5 ; 10 H, then "A" is drawn there.
      {"half sequence", "\x1b[5;", halfSequence, "10HA", 5, 11},
      // A new unit that starts with ESC abandons the half sequence.
      {"abandoned sequence", "\x1b[5;", halfSequence, "\x1b[2;3HZ", 2, 4},
      // The trail byte completes the pair: one full-width character, two
      // columns after "Not Connected.".
      {"half pair", "\x1b[4;2H\x82", halfPair, "\xA0", kNotConnectedRow, kAfterNotConnectedCol + 2},
      // A byte that cannot be a trail byte drops the lead byte and is drawn.
      {"broken pair", "\x1b[4;2H\x82", halfPair, "1", kNotConnectedRow, kAfterNotConnectedCol + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HangUpResult r = hangUpCase(c.before, c.pending, c.after);
    EXPECT_TRUE(r.pendingAcrossLoss) << "the half received stays in the parser over the loss";
    EXPECT_EQ(r.row, c.row);
    EXPECT_EQ(r.col, c.col);
    EXPECT_GE(r.reconnectMs, 0);
    EXPECT_LE(r.reconnectMs, 1100 * 1.5);
  }
  EXPECT_TRUE(alerts.empty());
}

TEST_F(FaultAppTest, HundredUnplugsAndReplugsReconnectEachTimeAndLeakNothing) {
  const int kCycles = 100;
  std::unique_ptr<FaultPeer> unit;
  plug(unit);
  int cycle = 0;
  bool connected = false;
  double replugAt = 0;
  std::vector<double> reconnectMs;
  int fdsAtStart = -1, tasksAtStart = -1, fdsAtEnd = -1, tasksAtEnd = -1;
  bool waitingForLoss = false;
  int rowOf = 0, colOf = 0;

  auto markCycle = [&]() {
    rowOf = 1 + cycle % 20;
    colOf = 1 + cycle / 20;
    char marker[32];
    std::snprintf(marker, sizeof marker, "\x1b[%d;%dH", rowOf, colOf);
    unit->repeat(marker);
  };
  markCycle();
  replugAt = nowMs();

  const int status = run(
      [&](const AppProbe& probe) {
        if (probe.stage != AppProbe::LoopPass) return;
        if (waitingForLoss) {
          if (probe.serial->fd < 0) {
            waitingForLoss = false;
            plug(unit);
            markCycle();
            replugAt = nowMs();
          }
          return;
        }
        if (!connected) {
          if (probe.serial->fd >= 0 && probe.disp->getCursorRow() == rowOf && probe.disp->getCursorCol() == colOf) {
            connected = true;
            if (cycle > 0) reconnectMs.push_back(nowMs() - replugAt);
          }
          return;
        }
        // Connected in this cycle.
        if (cycle == 5) {
          fdsAtStart = proc_counts::openDescriptors();
          tasksAtStart = proc_counts::threadCount();
        }
        if (cycle == kCycles) {
          fdsAtEnd = proc_counts::openDescriptors();
          tasksAtEnd = proc_counts::threadCount();
          pushQuit();
          return;
        }
        ++cycle;
        connected = false;
        unit->unplug();
        if (cycle % 2 == 0) {
          // Replugged at once: the reconnection follows the hang-up.
          plug(unit);
          markCycle();
          replugAt = nowMs();
        } else {
          // Replugged after the program has noticed the loss: the next
          // reconnection attempt, a second later at most, finds it.
          waitingForLoss = true;
        }
      },
      kCycles * 2500.0);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(cycle, kCycles);
  ASSERT_EQ(reconnectMs.size(), static_cast<size_t>(kCycles));
  const double slowest = *std::max_element(reconnectMs.begin(), reconnectMs.end());
  EXPECT_LE(slowest, 1100 * 1.5);
  const int late = static_cast<int>(std::count_if(reconnectMs.begin(), reconnectMs.end(), [](double ms) { return ms > 1100; }));
  EXPECT_LE(late, kCycles / 10) << "reconnections later than 1.1 s";
  EXPECT_EQ(fdsAtEnd, fdsAtStart);
  EXPECT_EQ(tasksAtEnd, tasksAtStart);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(FaultAppTest, UnitThatStopsReadingWhileTheUserTypesIsDroppedAndTheWindowKeepsRunning) {
  std::unique_ptr<FaultPeer> unit;
  plug(unit);
  enum { Connecting, Focusing, Typing, AfterLoss, Recovering, Done } step = Connecting;
  double stalledAt = 0, lossAt = 0, lastPass = 0, longestGap = 0, recoveredAt = 0;
  int passesAfterLoss = 0, keepAlivesAtResume = 0, typed = 0;
  size_t filled = 0;

  const int status = run(
      [&](const AppProbe& probe) {
        if (probe.stage != AppProbe::LoopPass) return;
        const double now = nowMs();
        if (step == Typing || step == AfterLoss) longestGap = std::max(longestGap, now - lastPass);
        lastPass = now;
        switch (step) {
          case Connecting:
            if (unit->keepAlives() >= 2) {
              pushWindowEvent(probe, 0);
              step = Focusing;
            }
            break;
          case Focusing:
            unit->stopReading();
            filled = unit->fillLineTowardsUnit();
            stalledAt = now;
            step = Typing;
            break;
          case Typing:
            // The line stays full: whatever room opens up is taken again.
            unit->fillLineTowardsUnit();
            pushWindowEvent(probe, 'a');
            ++typed;
            // Seen as the lost link itself, or as "Not Connected." drawn by
            // a reconnection that followed in the same pass.
            if (probe.serial->fd < 0 || probe.serial->linkLost() ||
                (probe.disp->getCursorRow() == kNotConnectedRow && probe.disp->getCursorCol() == kAfterNotConnectedCol)) {
              lossAt = now;
              step = AfterLoss;
            }
            break;
          case AfterLoss:
            pushWindowEvent(probe, 'b');
            if (now - lossAt < 1000) {
              ++passesAfterLoss;
            } else {
              keepAlivesAtResume = unit->keepAlives();
              unit->resumeReading();
              step = Recovering;
            }
            break;
          case Recovering:
            if (probe.serial->fd >= 0 && unit->keepAlives() > keepAlivesAtResume) {
              recoveredAt = now;
              step = Done;
              pushQuit();
            }
            break;
          case Done:
            break;
        }
      },
      30000);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(step, Done);
  EXPECT_GT(filled, 0u);
  EXPECT_GT(typed, 0);
  ASSERT_GT(lossAt, 0);
  EXPECT_LE(lossAt - stalledAt, 3000) << "the link is declared lost although the user keeps typing";
  EXPECT_LE(longestGap, CommSerial::kWriteWaitMs * 3) << "a stalled write holds the window for long";
  EXPECT_GE(passesAfterLoss, 20) << "passes keep coming";
  EXPECT_GT(recoveredAt, 0) << "the unit that reads again is served again";
  EXPECT_TRUE(alerts.empty());
}

// Random bytes with long runs of parameter digits and of lead bytes mixed in.
std::string floodChunk(std::mt19937& random, size_t size) {
  std::string chunk(size, '\0');
  std::uniform_int_distribution<int> byte(0, 255);
  for (char& c : chunk) c = static_cast<char>(byte(random));
  switch (random() % 8) {
    case 0:
      chunk.replace(0, 4, "\x1b[1;");
      std::fill(chunk.begin() + 4, chunk.end(), '7');
      break;
    case 1:
      std::fill(chunk.begin(), chunk.end(), '\x82');
      break;
    case 2:
      chunk.replace(0, 2, "\x1b@");
      std::fill(chunk.begin() + 2, chunk.end(), ';');
      break;
    default:
      break;
  }
  return chunk;
}

TEST_F(FaultAppTest, FloodOfGarbageKeepsMemoryBoundedAndQuitPrompt) {
  // 50 MB, or what the link carries in the time a test may take; at least
  // a few megabytes must get through. The memory checkers hold freed memory
  // back for a while, which the bound allows for.
  const size_t kFloodBytes = (kSanitized ? 8u : 50u) << 20;
  const size_t kLeastFloodBytes = 4u << 20;
  const double kFloodTimeMs = kSanitized ? 90000 : 150000;
  const long kGrowthBoundKb = kSanitized ? 400L << 10 : 64L << 10;
  std::unique_ptr<FaultPeer> unit;
  plug(unit);
  std::atomic<size_t> sent{0};
  std::atomic<bool> stopFlood{false};
  std::thread flood;
  long rssAtStart = -1, rssPeak = -1;
  double quitAt = 0, floodStart = 0;
  bool started = false;

  const int status = run(
      [&](const AppProbe& probe) {
        if (probe.stage != AppProbe::LoopPass) return;
        if (!started) {
          if (unit->keepAlives() < 2) return;
          started = true;
          floodStart = nowMs();
          rssAtStart = residentKb();
          flood = std::thread([&] {
            std::mt19937 random(20261206);
            while (!stopFlood) {
              const std::string chunk = floodChunk(random, 4096);
              if (!unit->send(chunk, 2000)) break;
              sent += chunk.size();
            }
          });
          return;
        }
        rssPeak = std::max(rssPeak, residentKb());
        if (quitAt == 0 && (sent >= kFloodBytes || nowMs() - floodStart > kFloodTimeMs)) {
          // The flood goes on while the program is asked to quit.
          quitAt = nowMs();
          pushQuit();
        }
      },
      kFloodTimeMs + 60000);
  const double quitMs = nowMs() - quitAt;
  stopFlood = true;
  if (flood.joinable()) flood.join();
  unit->unplug();

  EXPECT_EQ(status, 0);
  ASSERT_GT(quitAt, 0) << "sent " << sent << " bytes";
  EXPECT_GE(sent, kLeastFloodBytes);
  EXPECT_LE(rssPeak - rssAtStart, kGrowthBoundKb) << "flood of " << sent << " bytes from " << rssAtStart << " kB";
  EXPECT_LE(quitMs, 1500) << "quit within a second, with slack for a loaded machine";
}

}  // namespace
}  // namespace fault_test
