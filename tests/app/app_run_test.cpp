// The whole program against a scripted unit: the handshake and first run,
// and the window events.
#include "app_harness.h"

namespace app_test {
namespace {

TEST_F(AppTest, FirstRunAsksTheAnsweringUnitOnceAndStoresTheDefaultsAndTheCheck) {
  ScriptedUnit unit;
  int passes = 0;
  EXPECT_EQ(runLoop(config(unit.path()), [&](const AppProbe&) { return ++passes < 2; }), 0);
  // The wake-up byte, one request, then a keep-alive byte in each of the first two passes.
  EXPECT_TRUE(waitFor([&] { return unit.received().size() >= 10; }));
  EXPECT_EQ(unit.received(), std::string("\xFE\x1b@999y\0\xFE\xFE", 10));
  EXPECT_EQ(prefsText(), kPrefsHead + "baudrate = 230400\nchecked_date = " + std::to_string(getTodayDate()) +
                             "\nchecked_fw_ver = 16909060\nenable_joystick = 0\n");
  EXPECT_TRUE(alerts.empty()) << "the firmware page could not be fetched: no prompt";
}

TEST_F(AppTest, ConnectedAndIdleTheLoopSleepsUntilSomethingHappens) {
  ScriptedUnit unit;
  int passes = 0;
  std::thread later;
  EXPECT_EQ(runLoop(config(unit.path()), [&](const AppProbe&) {
    if (passes++ == 0) later = std::thread([] { SDL_Delay(1000); SDL_Event quit{SDL_QUIT}; SDL_PushEvent(&quit); });
    return true;
  }, false), 0);
  later.join();
  EXPECT_LE(passes, 5) << "a pass every 10 ms would make a hundred";
}

TEST_F(AppTest, ResizesSnapAndMovesAndSizesAreStoredUntilQuit) {
  ScriptedUnit unit;
  int pass = 0, w = 0, h = 0, scale = 0;
  std::string fileBeforeQuit;
  EXPECT_EQ(runLoop(config(unit.path()),
                    [&](const AppProbe& probe) {
                      if (pass == 0) pushEvent(probe, SDL_WINDOWEVENT_RESIZED, 1000, 700);
                      if (pass == 1) pushEvent(probe, SDL_WINDOWEVENT_MOVED, -20, -5);
                      if (pass == 2) probe.disp->getWindowSize(&w, &h), scale = probe.scale, fileBeforeQuit = prefsText();
                      return ++pass < 3;
                    }),
            0);
  EXPECT_EQ(std::vector<int>({w, h, scale}), std::vector<int>({1280, 768, 2}));
  EXPECT_EQ(fileBeforeQuit.find("\nwindow_"), std::string::npos);
  EXPECT_NE(prefsText().find("window_h = 768\nwindow_w = 1280\nwindow_x = -20\nwindow_y = -5\n"), std::string::npos);
}

TEST_F(AppTest, QuitEndsTheRunWhateverWindowEventsFollowItInTheFrame) {
  ScriptedUnit unit;
  int pass = 0;
  EXPECT_EQ(runLoop(config(unit.path()),
                    [&](const AppProbe& probe) {
                      if (pass == 0) pushEvent(probe, SDL_WINDOWEVENT_MOVED, 30, 20);
                      SDL_Event quit{SDL_QUIT};
                      if (pass == 1) SDL_PushEvent(&quit), pushEvent(probe, SDL_WINDOWEVENT_RESIZED, 1000, 700);
                      return ++pass < 20;
                    }, false),
            0);
  EXPECT_EQ(pass, 2);
  EXPECT_NE(prefsText().find("window_x = 30\nwindow_y = 20\n"), std::string::npos) << "written at the quit";
}

TEST_F(AppTest, ADeviceThatCannotBeOpenedEndsTheRunWithItsOwnStatusAndTheAlertTellsWhy) {
  EXPECT_EQ(runLoop(config(dir.file("none")), [](const AppProbe&) { return false; }), kExitCannotConnect);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header + "|" + alerts[0].message,
            "The connection with T.A.V.I.X cannot be established.|Exit tavixDisp.\ncannot open " + dir.file("none") + ": not found");
  AppConfig quitting = config(dir.file("none"));
  quitting.probe = [](const AppProbe& probe) { SDL_Event quit{SDL_QUIT}; if (probe.stage == AppProbe::Started) SDL_PushEvent(&quit); };
  EXPECT_EQ(runTavixDisp(quitting), 0) << "a quit while the port is being opened ends the run at once";
  EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(AppTest, ScreenThatCannotBeMadeAlertsThroughTheSettingsAndTheRunFails) {
  AppConfig cfg = config("/dev/null");
  cfg.basePath = dir.path();  // no fonts there
  EXPECT_EQ(runLoop(cfg, [](const AppProbe&) { return false; }), 1);
  ASSERT_EQ(alerts.size(), 3u) << "one for each font";
  for (const AlertRequest& alert : alerts) EXPECT_EQ(alert.header, "Error: TTF_OpenFont");
}

TEST_F(AppTest, WithNoDisplayAndNoDriverAskedForTheProgramAlertsAndFails) {
  const std::string home = "HOME=" + dir.path() + " XDG_DATA_HOME=" + dir.path();
  FILE* program = popen(("env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY " + home + " " TAVIX_BUILD_DIR "tavixDisp 2>&1").c_str(), "r");
  std::string output(4096, '\0');
  output.resize(fread(&output[0], 1, output.size(), program));
  EXPECT_EQ(WEXITSTATUS(pclose(program)), 1);
  EXPECT_NE(output.find("Error: SDL_Init: No display found: only a video driver that shows nothing could be started.\n"),
            std::string::npos) << output;
}

}  // namespace
}  // namespace app_test
