// Running the whole program in-process against a scripted unit on a
// pseudo-terminal: the unit thread records what the program sends and
// answers version requests; the fixture points every seam of the program
// at a temporary directory, a closed firmware page and recorded alerts.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "app_files.h"
#include "pty_pair.h"

namespace app_test {

// Milliseconds on the steady clock, shared by the unit thread and probes.
double nowMs();

// The unit's side of the link, played on its own thread.
class ScriptedUnit {
public:
  // answerVersion: reply to each version request with version 1.2.3.4.
  // greeting: sent once, when the first keep-alive byte arrives.
  explicit ScriptedUnit(bool answerVersion = true, std::string greeting = "");
  ~ScriptedUnit() { unplug(); }
  ScriptedUnit(const ScriptedUnit&) = delete;
  ScriptedUnit& operator=(const ScriptedUnit&) = delete;

  bool ok() const { return pty.ok(); }
  const std::string& path() const { return pty.slavePath(); }
  int slaveFd() const { return pty.slaveFd(); }

  void send(const std::string& data) { pty.write(data); }
  // Stops playing and closes the master: the program's side hangs up.
  void unplug();

  std::string received() const;
  // Arrival times, in nowMs() milliseconds, of each keep-alive byte and
  // each version request.
  std::vector<double> keepAliveTimes() const;
  std::vector<double> versionRequestTimes() const;
  int versionRequests() const { return static_cast<int>(versionRequestTimes().size()); }

private:
  void run();

  PtyPair pty;
  const bool answerVersion;
  const std::string greeting;
  std::atomic<bool> stop{false};
  mutable std::mutex mutex;
  std::string bytes;
  std::vector<double> keepAlives, requests;
  std::thread thread;
};

void pushQuit();
void pushWindowEvent(const AppProbe& probe, Uint8 subEvent, int data1 = 0, int data2 = 0);

class AppTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_FALSE(dir.path().empty()); }

  // A configuration for a run against devicePath: prefs in the temporary
  // directory, fonts from the build, a firmware page nobody serves, alerts
  // recorded and answered with alertAnswer.
  AppConfig config(const std::string& devicePath);
  // Runs the program with the probe; a run still going after limitMs is
  // asked to quit and the test fails.
  int run(AppConfig cfg, std::function<void(const AppProbe&)> probe = nullptr, double limitMs = 60000);
  // Runs, calling probe at each main-loop pass until it returns false; then
  // the program is asked to quit.
  int runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe);

  std::string prefsPath() const { return dir.file("tavixDisp.prefs"); }
  std::string prefsText() const { return readFile(prefsPath()); }
  void writePrefs(const std::string& lines) { ASSERT_TRUE(writeFile(prefsPath(), lines)); }

  TempDir dir;
  std::vector<AlertRequest> alerts;
  int alertAnswer = 1;
  std::function<void(const AlertRequest&)> onAlert;
  std::vector<std::string> openedUrls;
};

}  // namespace app_test
