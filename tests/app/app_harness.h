// Running the whole program in-process against a scripted unit on a
// pseudo-terminal: the unit thread records what the program sends and
// answers version requests; the fixture points every seam of the program
// at a temporary directory, a closed firmware page and recorded alerts.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "app_files.h"
#include "pty_pair.h"

namespace app_test {

using Clock = std::chrono::steady_clock;

// Milliseconds on the steady clock, shared by the unit thread and probes.
double nowMs();

extern const std::string kVersionRequest;  // 1B 40 39 39 39 79 00
extern const std::string kVersionReply;     // reports 1.2.3.4

// The unit's side of the link, played on its own thread.
class ScriptedUnit {
public:
  // answerVersion: reply to each version request with kVersionReply.
  // greeting: sent once, when the first keep-alive byte arrives.
  explicit ScriptedUnit(bool answerVersion = true, std::string greeting = "");
  ~ScriptedUnit();
  ScriptedUnit(const ScriptedUnit&) = delete;
  ScriptedUnit& operator=(const ScriptedUnit&) = delete;

  bool ok() const { return pty.ok(); }
  const std::string& path() const { return pty.slavePath(); }
  int slaveFd() const { return pty.slaveFd(); }

  // Sends bytes to the program.
  void send(const std::string& bytes);
  // Stops playing and closes the master: the program's side hangs up.
  void unplug();

  std::string received() const;
  int versionRequests() const;
  // Arrival times of each keep-alive byte, in nowMs() milliseconds.
  std::vector<double> keepAliveTimes() const;
  std::vector<double> versionRequestTimes() const;

private:
  void run();

  PtyPair pty;
  const bool answerVersion;
  const std::string greeting;
  std::atomic<bool> stop{false};
  mutable std::mutex mutex;
  std::string bytes;
  std::vector<double> keepAlives;
  std::vector<double> requests;
  std::thread thread;
};

void pushQuit();
void pushWindowEvent(Uint32 windowId, Uint8 subEvent, int data1, int data2);
// The id of the program's window.
Uint32 windowIdOf(const AppProbe& probe);

class AppTest : public ::testing::Test {
protected:
  void SetUp() override;

  // A configuration for a run against devicePath: prefs in the temporary
  // directory, fonts from the build, a firmware page nobody serves, alerts
  // recorded and answered with alertAnswer.
  AppConfig config(const std::string& devicePath);
  // Runs the program with the probe; a run still going after limitMs is
  // asked to quit and the test fails.
  int run(AppConfig cfg, std::function<void(const AppProbe&)> probe = nullptr, double limitMs = 60000);

  std::string prefsPath() const { return dir.file("tavixDisp.prefs"); }
  std::string prefsText() const { return readFile(prefsPath()); }
  // Writes a preference file holding only these lines.
  void writePrefs(const std::string& lines);

  TempDir dir;
  std::vector<AlertRequest> alerts;
  int alertAnswer = 1;
  std::function<void(const AlertRequest&)> onAlert;
  std::vector<std::string> openedUrls;
};

}  // namespace app_test
