// The preference file against a writer killed at any moment: the file is
// always one of the complete versions, never a mix or a cut one.
#include <signal.h>
#include <sys/wait.h>

#include <random>

#include "app_harness.h"

namespace {

PreferenceMap version(uint32_t n) {
  PreferenceMap prefs{{"window_x", static_cast<uint32_t>(-20 - int(n))}};
  for (int i = 0; i < 20; ++i) prefs["extra_" + std::to_string(i)] = n * 100 + static_cast<uint32_t>(i);
  return prefs;
}

TEST(PrefsKillTest, FileIsAlwaysAWholeVersionWhenTheWriterIsKilled) {
  app_test::TempDir dir;
  Settings settings;
  settings.prefsDir = dir.path();
  writePrefsData(settings, "tavixDisp.prefs", version(0));
  std::mt19937 random(6061);
  uint32_t written = 0;
  for (int round = 0; round < 150; ++round) {
    const pid_t child = fork();
    if (child == 0) {  // the writer, rewriting the next version until it is killed
      const PreferenceMap prefs = version(written + 1);
      for (;;) writePrefsData(settings, "tavixDisp.prefs", prefs);
    }
    usleep(static_cast<useconds_t>(random() % 4000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    PreferenceMap found;
    readPrefsData(settings, "tavixDisp.prefs", found);
    written += found == version(written + 1);
    ASSERT_EQ(found, version(written)) << "round " << round << ": neither the old nor the new file";
  }
  EXPECT_GT(written, 0u);
}

}  // namespace
