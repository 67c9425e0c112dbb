#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "app/Globals.h"
#include "app/Prefs.h"
#include "app_harness.h"
#include "screen/edispSDL.h"

namespace app_test {
namespace {

const char kCommentLines[] =
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n"
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n"
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n"
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,"
    "ボタン2=BS)\n"
    "; window_x, window_y: 前回終了時のウィンドウ位置\n";

// What a probe saw of the window when start-up was done.
struct StartView {
  bool seen = false;
  double at = 0;
  std::string title, devicePath, prefsFile;
  int x = 0, y = 0, w = 0, h = 0, scale = 0;
};

// Records the start-up into view; quits at the first main-loop pass.
std::function<void(const AppProbe&)> recordStart(StartView& view, const std::string& prefsPath) {
  return [&view, prefsPath](const AppProbe& probe) {
    if (probe.stage == AppProbe::LoopPass) pushQuit();
    if (probe.stage != AppProbe::Started) return;
    view.seen = true;
    view.at = nowMs();
    view.title = SDL_GetWindowTitle(probe.disp->getWindow());
    view.devicePath = probe.devicePath;
    SDL_GetWindowPosition(probe.disp->getWindow(), &view.x, &view.y);
    probe.disp->getWindowSize(&view.w, &view.h);
    view.scale = probe.scale;
    view.prefsFile = readFile(prefsPath);
  };
}

void expectShutDown() {
  EXPECT_EQ(disp, nullptr);
  EXPECT_EQ(inputs, nullptr);
  EXPECT_EQ(serial, nullptr);
}

TEST_F(AppTest, MissingDeviceGivesUpAfterTwentyAttempts) {
  const std::string device = dir.file("cu.usbmodemMB-absent");
  StartView start;
  double alertAt = 0;
  bool looped = false;
  onAlert = [&](const AlertRequest&) {
    alertAt = nowMs();
    unlink(prefsPath().c_str());  // a write after this would bring it back
  };
  const auto record = recordStart(start, prefsPath());
  const int status = run(config(device), [&](const AppProbe& probe) {
    looped = looped || probe.stage == AppProbe::LoopPass;
    record(probe);
  });

  EXPECT_EQ(status, 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, "The connection with T.A.V.I.X cannot be established.");
  EXPECT_EQ(alerts[0].message, "Exit tavixDisp.");
  EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_GE(alertAt - start.at, 1900) << "20 attempts 100 ms apart";
  EXPECT_LE(alertAt - start.at, 20000);
  EXPECT_FALSE(looped);
  EXPECT_FALSE(fileExists(prefsPath())) << "the connection phase must not write the preference file";

  // The first run's start-up: defaults stored and written before the window opened.
  ASSERT_TRUE(start.seen);
  EXPECT_EQ(start.title, "T.A.V.I.X - " + device);
  EXPECT_EQ(std::vector<int>({start.x, start.y, start.w, start.h, start.scale}),
            std::vector<int>({40, 40, 640, 384, 1}));
  EXPECT_EQ(start.prefsFile, std::string(kCommentLines) + "baudrate = 230400\nenable_joystick = 0\n");
  expectShutDown();
}

TEST_F(AppTest, DiscoversTheUnitUnderTheDeviceDirectory) {
  ScriptedUnit unit;
  ASSERT_TRUE(unit.ok());
  const std::string devDir = dir.file("dev");
  ASSERT_EQ(mkdir(devDir.c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.file("nowhere").c_str(), (devDir + "/cu.usbmodemMB0000").c_str()), 0);
  ASSERT_EQ(symlink(unit.path().c_str(), (devDir + "/cu.usbmodemMB0001").c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", (devDir + "/cu.Bluetooth").c_str()), 0);

  AppConfig cfg = config("");
  cfg.devDir = devDir;
  StartView start;
  EXPECT_EQ(run(cfg, recordStart(start, prefsPath())), 0);

  EXPECT_EQ(start.devicePath, devDir + "/cu.usbmodemMB0001");
  EXPECT_EQ(start.title, "T.A.V.I.X - " + devDir + "/cu.usbmodemMB0001");
  EXPECT_EQ(unit.versionRequests(), 1);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(AppTest, StoredWindowGeometryIsAppliedAtStartUp) {
  const struct {
    const char* prefs;
    int x, y, w, h, scale;
  } cases[] = {
      {"window_w = 1300\nwindow_h = 700\n", 40, 40, 1300, 700, 2},
      {"window_w = 320\nwindow_h = 192\n", 40, 40, 320, 192, 1},
      {"window_w = 1300\n", 40, 40, 640, 384, 1},
      {"window_x = -20\nwindow_y = 100\nwindow_w = 1920\nwindow_h = 1152\n", -20, 100, 1920, 1152, 3},
      // A damaged file does not get a window it cannot have.
      {"window_w = -1\nwindow_h = 700\n", 40, 40, 640, 384, 1},
      {"window_w = 0\nwindow_h = 0\n", 40, 40, 640, 384, 1},
      {"window_w = 100000\nwindow_h = 100000\n", 40, 40, 640, 384, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefs);
    writePrefs(c.prefs);
    ScriptedUnit unit;
    ASSERT_TRUE(unit.ok());
    StartView start;
    EXPECT_EQ(run(config(unit.path()), recordStart(start, prefsPath())), 0);
    EXPECT_EQ(std::vector<int>({start.x, start.y, start.w, start.h, start.scale}),
              std::vector<int>({c.x, c.y, c.w, c.h, c.scale}));
  }
  EXPECT_TRUE(alerts.empty());
}

TEST_F(AppTest, BaudratePreferenceSetsTheLineSpeed) {
  const struct {
    const char* prefs;
    speed_t speed;
  } cases[] = {{"baudrate = 9600\n", B9600}, {"baudrate = 0\n", B230400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefs);
    writePrefs(c.prefs);
    ScriptedUnit unit;
    ASSERT_TRUE(unit.ok());
    termios settings;
    ASSERT_EQ(tcgetattr(unit.slaveFd(), &settings), 0);
    cfsetispeed(&settings, B50);
    cfsetospeed(&settings, B50);
    ASSERT_EQ(tcsetattr(unit.slaveFd(), TCSANOW, &settings), 0);

    speed_t seen = B0;
    EXPECT_EQ(runLoop(config(unit.path()),
                      [&](const AppProbe&) {
                        termios now;
                        if (tcgetattr(unit.slaveFd(), &now) == 0) seen = cfgetospeed(&now);
                        return false;
                      }),
              0);
    EXPECT_EQ(seen, c.speed);
    EXPECT_NE(prefsText().find(c.prefs), std::string::npos) << "kept as it was: " << prefsText();
  }
}

TEST_F(AppTest, FirstRunWithAnAnsweringUnitStoresTheCheckInOrder) {
  ScriptedUnit unit;
  ASSERT_TRUE(unit.ok());
  std::string fileAtLoop;
  EXPECT_EQ(runLoop(config(unit.path()),
                    [&](const AppProbe&) {
                      fileAtLoop = prefsText();
                      return false;
                    }),
            0);
  const std::string expected = std::string(kCommentLines) + "baudrate = 230400\nchecked_date = " +
                               std::to_string(static_cast<int32_t>(getTodayDate())) +
                               "\nchecked_fw_ver = 16909060\nenable_joystick = 0\n";
  EXPECT_EQ(fileAtLoop, expected);
  EXPECT_EQ(prefsText(), expected) << "the quit writes the same map again";
  EXPECT_TRUE(alerts.empty()) << "the firmware page could not be fetched: no prompt";
}

TEST_F(AppTest, ScreenThatCannotStartEndsWithStatusOne) {
  ScriptedUnit unit;
  ASSERT_TRUE(unit.ok());
  AppConfig cfg = config(unit.path());
  cfg.basePath = dir.path();  // no fonts here
  bool probed = false;
  EXPECT_EQ(run(cfg, [&](const AppProbe&) { probed = true; }), 1);
  EXPECT_FALSE(probed);
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ(alerts[0].header.rfind("Error: TTF_OpenFont", 0), 0u) << alerts[0].header;
  expectShutDown();
  EXPECT_EQ(unit.received(), "") << "no connection is attempted";
  EXPECT_EQ(prefsText().find("\nbaudrate = "), std::string::npos) << "start-up stopped before the speed";
  EXPECT_NE(prefsText().find("enable_joystick = 0\n"), std::string::npos);
}

TEST_F(AppTest, VideoThatCannotStartEndsWithStatusOne) {
  SDL_Quit();
  const char* driver = getenv("SDL_VIDEODRIVER");
  const std::string previous = driver ? driver : "";
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  const int status = run(config(dir.file("cu.none")));
  if (previous.empty()) {
    unsetenv("SDL_VIDEODRIVER");
  } else {
    setenv("SDL_VIDEODRIVER", previous.c_str(), 1);
  }
  EXPECT_EQ(status, 1);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, "Error: SDL_Init");
  EXPECT_FALSE(alerts[0].message.empty());
}

}  // namespace
}  // namespace app_test
