// The whole program run in-process against a scripted unit on a
// pseudo-terminal, with its preferences in a temporary directory, a
// firmware page nobody serves and its alerts recorded.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/App.h"
#include "app_files.h"
#include "pty_pair.h"

namespace app_test {

// The comment lines every written preference file starts with.
const std::string kPrefsHead =
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n"
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n"
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n"
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,ボタン2=BS)\n"
    "; window_x, window_y: 前回終了時のウィンドウ位置\n";

// The unit's side of the link, played on its own thread: records what the
// program sends, answers each version request with version 1.2.3.4, can
// stop reading (a hung unit) and can be unplugged.
class ScriptedUnit {
public:
  ScriptedUnit();
  ~ScriptedUnit() { unplug(); }
  bool ok() const { return pty.ok(); }
  const std::string& path() const { return pty.slavePath(); }
  bool send(const std::string& bytes) { return pty.write(bytes); }
  void stopReading() { reading = false; }
  void resumeReading() { reading = true; }
  // Fills the line towards the unit until it takes nothing more; returns
  // the bytes it took.
  size_t fillLineTowardsUnit();
  // Closes the master: the program's port hangs up.
  void unplug() {
    stop = true;
    if (thread.joinable()) thread.join();
    pty.closeMaster();
  }
  std::string received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return bytes;
  }
  int keepAlives() const {
    const std::string all = received();
    return static_cast<int>(std::count(all.begin(), all.end(), '\xFE'));
  }

private:
  PtyPair pty;
  std::atomic<bool> stop{false}, reading{true};
  mutable std::mutex mutex;
  std::string bytes;
  std::thread thread;
};

// Points the symbolic link at target, replacing any previous one in one step.
bool pointLink(const std::string& link, const std::string& target);
void pushWindowEvent(const AppProbe& probe, Uint8 subEvent, int data1 = 0, int data2 = 0);
void pushText(const AppProbe& probe, char c);

class AppTest : public ::testing::Test {
protected:
  AppConfig config(const std::string& devicePath);
  // Runs the program; probe is called at each main-loop pass until it
  // returns false, then the program is asked to quit. A run still going
  // after limitMs is asked to quit and the test fails.
  int runLoop(AppConfig cfg, std::function<bool(const AppProbe&)> probe, double limitMs = 30000);
  std::string prefsText() const { return readFile(dir.file("tavixDisp.prefs")); }

  TempDir dir;
  std::vector<AlertRequest> alerts;
};

}  // namespace app_test
