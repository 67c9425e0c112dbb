// bench_e2e_runner: the program's own start-up, handshake and main loop on a
// unit's device, watched through the application probe, for the end-to-end
// measurements scripts/bench.sh makes. Presentations are timed by wrapping
// the renderer's present call of the linked library (linker --wrap).
//
//   --mode stream --device PATH --bytes N   intake rate, passes, memory
//   --mode idle --device PATH --seconds S   processor time while idle
//   --mode latency --bursts N               burst-to-presentation times; the
//                                           unit is played in-process on a
//                                           pseudo-terminal of its own
//   --mode animate --seconds S              processor time while the unit
//                                           animates at 30 frames a second,
//                                           played in-process like latency
//   --scale N (any mode)                    the window opens at N screens
//   --trace FILE, --record FILE (any mode)  the program traces or records
//                                           the session as it runs
//
// Results go to standard output as "name value" lines.
#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchUnit.h"
#include "app/App.h"
#include "app/Prefs.h"
#include "bench_streams.h"
#include "protocol/EscSeqParser.h"
#include "serial/CommSerial.h"

extern "C" int __real_SDL_RenderPresent(SDL_Renderer* renderer);

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Resident and peak resident size in KiB, from /proc/self/status.
long statusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

void requestQuit() {
  SDL_Event quit;
  SDL_zero(quit);
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

// User plus system time of this process in seconds, to the microsecond.
double cpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(use.ru_utime) + seconds(use.ru_stime);
}

void prepareProfile(const std::string& prefsDir, int scale) {
  Settings settings;
  settings.prefsDir = prefsDir;
  PreferenceMap prefs;
  readPrefsData(settings, kPrefsFile, prefs);
  prefs[kPrefCheckedDate] = getTodayDate();
  prefs.erase(kPrefWindowW);
  prefs.erase(kPrefWindowH);
  if (scale > 0) {
    prefs[kPrefWindowW] = 640u * static_cast<uint32_t>(scale);
    prefs[kPrefWindowH] = 384u * static_cast<uint32_t>(scale);
  }
  writePrefsData(settings, kPrefsFile, prefs);
}

// Presentations seen by the wrapper: the time and the parser's version
// value at each.
std::atomic<EscSeqParser*> watchedParser{nullptr};
std::mutex presentLock;
std::vector<std::pair<Clock::time_point, uint32_t>> presents;
std::atomic<bool> recordPresents{false};

// At the first pass of the main loop: presentations are watched from now
// on and the unit may start playing. Returns the loop's start.
Clock::time_point startWatching(const AppProbe& p, std::atomic<bool>& inLoop) {
  watchedParser = p.parser;
  recordPresents = true;
  inLoop = true;
  return Clock::now();
}

}  // namespace

extern "C" int __wrap_SDL_RenderPresent(SDL_Renderer* renderer) {
  const int result = __real_SDL_RenderPresent(renderer);
  EscSeqParser* parser = watchedParser.load();
  if (recordPresents.load() && parser) {
    std::lock_guard<std::mutex> hold(presentLock);
    presents.emplace_back(Clock::now(), parser->fwVersion);
  }
  return result;
}

namespace {

struct Options {
  std::string mode;
  std::string device;
  std::string prefsDir;
  long bytes = 20L * 1024 * 1024;
  int seconds = 30;
  int bursts = 300;
  int scale = 0;
  std::string traceFile;
  std::string recordFile;
};

// The program's settings for a run: the benchmark's preferences, the trace
// and the recording asked for.
AppConfig appConfig(const Options& o) {
  AppConfig config;
  config.prefsDir = o.prefsDir;
  config.traceFile = o.traceFile;
  config.recordFile = o.recordFile;
  return config;
}

// ---- Stream: the unit sends a long stream with a numbered version report
// every kCheckpointBytes and 1.2.3.4 at its end.

int runStream(const Options& o) {
  const uint32_t kFinal = 0x01020304;
  const long kCheckpointBytes = 64 * 1024;
  struct State {
    bool started = false;
    Clock::time_point start, end, lastPass;
    uint32_t lastSeen = 0;
    uint32_t handshakeVersion = 0;
    bool orderBroken = false;
    long skipped = 0;
    std::vector<double> gaps;
    long checkpoints = 0;
    double longestPassGapMs = 0;
    long passes = 0;
    long rssAt5 = -1, rssAtEnd = -1;
    bool done = false;
  } st;
  const long at5 = 5L * 1024 * 1024 / kCheckpointBytes;
  AppConfig config = appConfig(o);
  config.devicePath = o.device;
  config.probe = [&](const AppProbe& p) {
    if (p.stage != AppProbe::LoopPass || st.done) return;
    const Clock::time_point now = Clock::now();
    const uint32_t v = p.parser->fwVersion;
    if (!st.started) {
      if (p.serial->getReadableBytes() == 0) return;
      st.started = true;
      st.lastSeen = 0;
      st.handshakeVersion = v;
      st.start = now;
      st.lastPass = now;
    }
    ++st.passes;
    const double gapMs = std::chrono::duration<double, std::milli>(now - st.lastPass).count();
    st.longestPassGapMs = std::max(st.longestPassGapMs, gapMs);
    st.gaps.push_back(gapMs);
    st.lastPass = now;
    if (v != st.lastSeen && v != kFinal && v != st.handshakeVersion) {
      // Checkpoints only ever count up; with at most one ring's worth of
      // bytes parsed per pass each one is seen, so a gap means lost bytes.
      if (v < st.lastSeen) st.orderBroken = true;
      if (v != st.lastSeen + 1) ++st.skipped;
      st.lastSeen = v;
      st.checkpoints = v;
      if (v >= at5 && st.rssAt5 < 0) st.rssAt5 = statusKiB("VmRSS:");
    }
    if (v == kFinal) {
      st.rssAtEnd = statusKiB("VmRSS:");
      st.end = now;
      st.done = true;
      requestQuit();
    }
  };
  runTavixDisp(config);
  if (!st.done) {
    std::printf("stream_complete 0\n");
    return 1;
  }
  const double seconds = std::chrono::duration<double>(st.end - st.start).count();
  std::printf("stream_complete %d\n", st.orderBroken ? 0 : 1);
  std::printf("stream_checkpoints %ld\n", st.checkpoints);
  std::printf("stream_seconds %.3f\n", seconds);
  std::printf("stream_kb_per_s %.1f\n", o.bytes / 1000.0 / seconds);
  std::printf("stream_checkpoints_skipped %ld\n", st.skipped);
  std::printf("stream_passes %ld\n", st.passes);
  std::sort(st.gaps.begin(), st.gaps.end());
  if (!st.gaps.empty()) std::printf("stream_pass_gap_p99_ms %.1f\n", st.gaps[st.gaps.size() * 99 / 100]);
  std::printf("stream_longest_pass_gap_ms %.1f\n", st.longestPassGapMs);
  std::printf("stream_rss_at_5mb_kib %ld\n", st.rssAt5);
  std::printf("stream_rss_at_end_kib %ld\n", st.rssAtEnd);
  std::printf("stream_peak_rss_kib %ld\n", statusKiB("VmHWM:"));
  return st.orderBroken ? 1 : 0;
}

// ---- Idle: connected, nothing arrives.

int runIdle(const Options& o) {
  double firstSeconds = -1;
  Clock::time_point first;
  double cpuPercent = -1;
  long passes = 0;
  AppConfig config = appConfig(o);
  config.devicePath = o.device;
  const Clock::time_point began = Clock::now();
  config.probe = [&](const AppProbe& p) {
    if (p.stage != AppProbe::LoopPass) return;
    if (firstSeconds < 0) {
      if (msSince(began) < 2000) return;  // let the start-up settle
      firstSeconds = cpuSeconds();
      first = Clock::now();
      return;
    }
    ++passes;
    if (cpuPercent < 0 && msSince(first) >= o.seconds * 1000.0) {
      const double used = cpuSeconds() - firstSeconds;
      cpuPercent = 100.0 * used / (msSince(first) / 1000.0);
      requestQuit();
    }
  };
  runTavixDisp(config);
  std::printf("idle_seconds %d\n", o.seconds);
  std::printf("idle_passes %ld\n", passes);
  std::printf("idle_cpu_percent %.2f\n", cpuPercent);
  return cpuPercent < 0 ? 1 : 0;
}

// ---- Latency: a unit played here writes short bursts, each ending with a
// numbered version report; the first presentation showing that number ends
// the burst's time.

int runLatency(const Options& o) {
  std::atomic<bool> inLoop{false};
  std::vector<Clock::time_point> sentAt(o.bursts + 2);
  std::mt19937 rng(7);
  int next = 1;
  Clock::time_point due = Clock::now();
  BenchUnit unit(bench::versionReport(9, 9, 9, 9), [&](PtyPair& pty) {
    if (!inLoop.load() || next > o.bursts || Clock::now() < due) return 2;
    std::string burst = "\x1B[" + std::to_string(next % 20) + ";0H" + bench::denseAscii(60, next);
    burst += bench::versionReport(0, 0, static_cast<unsigned>(next >> 8), static_cast<unsigned>(next & 0xFF));
    sentAt[next] = Clock::now();
    pty.write(burst);
    ++next;
    due = Clock::now() + std::chrono::milliseconds(15 + rng() % 40);
    return 2;
  });
  if (!unit.ok()) return 1;

  AppConfig config = appConfig(o);
  config.devicePath = unit.path();
  Clock::time_point loopStart;
  config.probe = [&](const AppProbe& p) {
    if (p.stage != AppProbe::LoopPass) return;
    if (!inLoop.load()) loopStart = startWatching(p, inLoop);
    if (p.parser->fwVersion == static_cast<uint32_t>(o.bursts) || msSince(loopStart) > 60000) requestQuit();
  };
  runTavixDisp(config);

  std::vector<double> latencies;
  uint32_t shown = 0;
  {
    std::lock_guard<std::mutex> hold(presentLock);
    for (const auto& pr : presents) {
      // Every burst up to this number is on the screen now.
      while (shown < pr.second && shown < static_cast<uint32_t>(o.bursts)) {
        ++shown;
        latencies.push_back(std::chrono::duration<double, std::milli>(pr.first - sentAt[shown]).count());
      }
    }
  }
  std::sort(latencies.begin(), latencies.end());
  const auto pct = [&](double q) {
    if (latencies.empty()) return -1.0;
    return latencies[std::min(latencies.size() - 1, static_cast<size_t>(q * latencies.size()))];
  };
  std::printf("latency_bursts %zu\n", latencies.size());
  std::printf("latency_p50_ms %.2f\n", pct(0.50));
  std::printf("latency_p99_ms %.2f\n", pct(0.99));
  std::printf("latency_max_ms %.2f\n", latencies.empty() ? -1.0 : latencies.back());
  return latencies.size() == static_cast<size_t>(o.bursts) ? 0 : 1;
}

// ---- Animate: a unit played here sends 30 frames a second, each a red box
// at (80, 60), 100 pixels high, 9 pixels wider than in the frame before,
// a line of text at row 2 and the command that shows layer 0, then a
// numbered version report; the presentations show which frames were seen.

int runAnimate(const Options& o) {
  const auto kFrame = std::chrono::microseconds(1000000 / 30);
  std::atomic<bool> inLoop{false};
  std::atomic<int> sent{0};
  int n = 1;
  Clock::time_point due = Clock::now();
  BenchUnit unit(bench::versionReport(9, 9, 9, 9), [&](PtyPair& pty) {
    const auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    const int waitMs = static_cast<int>(std::max<long long>(1, std::min<long long>(untilDue, 10)));
    if (!inLoop.load() || Clock::now() < due) return waitMs;
    const int width = 9 * (1 + n % 60);
    std::string frame = "\x1B@70Z\x1B@0;0;" + std::to_string(width) + ";100;80;60;31744z";
    frame += "\x1B[2;0HFrame " + std::to_string(n) + ", box " + std::to_string(width) + " pixels wide  ";
    frame += "\x1B@30Z" + bench::versionReport(0, 0, static_cast<unsigned>(n >> 8), static_cast<unsigned>(n & 0xFF));
    pty.write(frame);
    sent = n++;
    due += kFrame;
    return waitMs;
  });
  if (!unit.ok()) return 1;

  AppConfig config = appConfig(o);
  config.devicePath = unit.path();
  Clock::time_point loopStart, measureStart;
  double cpuStart = -1, cpuPercent = -1;
  int firstFrame = 0, lastFrame = 0;
  size_t firstPresent = 0;
  config.probe = [&](const AppProbe& p) {
    if (p.stage != AppProbe::LoopPass) return;
    if (!inLoop.load()) loopStart = startWatching(p, inLoop);
    if (cpuStart < 0 && msSince(loopStart) >= 2000) {  // let the window settle
      cpuStart = cpuSeconds();
      measureStart = Clock::now();
      firstFrame = sent.load();
      std::lock_guard<std::mutex> hold(presentLock);
      firstPresent = presents.size();
    } else if (cpuStart >= 0 && cpuPercent < 0 && msSince(measureStart) >= o.seconds * 1000.0) {
      cpuPercent = 100.0 * (cpuSeconds() - cpuStart) / (msSince(measureStart) / 1000.0);
      lastFrame = sent.load();
      requestQuit();
    }
  };
  runTavixDisp(config);

  // Frames sent in the measured time, and how many of them a presentation showed.
  std::vector<uint32_t> shown;
  size_t presentations = 0;
  {
    std::lock_guard<std::mutex> hold(presentLock);
    for (size_t i = firstPresent; i < presents.size(); ++i) {
      const uint32_t v = presents[i].second;
      if (v > static_cast<uint32_t>(firstFrame) && v <= static_cast<uint32_t>(lastFrame)) shown.push_back(v), ++presentations;
    }
  }
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  std::printf("animate_scale %d\n", o.scale > 0 ? o.scale : 1);
  std::printf("animate_frames_sent %d\n", lastFrame - firstFrame);
  std::printf("animate_frames_presented %zu\n", shown.size());
  std::printf("animate_presentations %zu\n", presentations);
  std::printf("animate_cpu_percent %.2f\n", cpuPercent);
  return cpuPercent < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--mode") o.mode = value;
    else if (key == "--device") o.device = value;
    else if (key == "--prefs") o.prefsDir = value;
    else if (key == "--bytes") o.bytes = std::atol(value.c_str());
    else if (key == "--seconds") o.seconds = std::atoi(value.c_str());
    else if (key == "--bursts") o.bursts = std::atoi(value.c_str());
    else if (key == "--scale") o.scale = std::atoi(value.c_str());
    else if (key == "--trace") o.traceFile = value;
    else if (key == "--record") o.recordFile = value;
  }
  if (o.prefsDir.empty()) {
    char tmpl[] = "/tmp/tavix-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    o.prefsDir = std::string(tmpl) + "/";
  }
  prepareProfile(o.prefsDir, o.scale);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (o.mode == "stream" && !o.device.empty()) return runStream(o);
  if (o.mode == "idle" && !o.device.empty()) return runIdle(o);
  if (o.mode == "latency") return runLatency(o);
  if (o.mode == "animate") return runAnimate(o);
  std::fprintf(stderr,
               "usage: %s --mode stream|idle|latency|animate [--device PATH] [--bytes N] [--seconds S] [--bursts N]"
               " [--scale N] [--trace FILE] [--record FILE]\n",
               argv[0]);
  return 2;
}
