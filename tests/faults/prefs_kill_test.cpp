// The preference file against a writer killed at any moment: the file is
// always one of the complete versions, never a mix or a cut one.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <random>

#include "app_harness.h"

namespace {

PreferenceMap version(uint32_t n) {
  PreferenceMap prefs{{"window_x", static_cast<uint32_t>(-20 - int(n))}};
  for (int i = 0; i < 20; ++i) prefs["extra_" + std::to_string(i)] = n * 100 + static_cast<uint32_t>(i);
  return prefs;
}

// The writer tells over a pipe when each whole write is done. Every round
// waits for two of them, which gives this machine's time for one write,
// then kills the writer a random part of that time (up to twice it) after
// the second: some kills land mid-write, some between writes, however fast
// or busy the machine is.
TEST(PrefsKillTest, FileIsAlwaysAWholeVersionWhenTheWriterIsKilled) {
  app_test::TempDir dir;
  Settings settings;
  settings.prefsDir = dir.path();
  writePrefsData(settings, "tavixDisp.prefs", version(0));
  std::mt19937 random(6061);
  for (uint32_t round = 1; round <= 150; ++round) {
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {  // the writer, rewriting the next version until it is killed
      const PreferenceMap prefs = version(round);
      for (;;) writePrefsData(settings, "tavixDisp.prefs", prefs), (void)!write(done[1], "w", 1);
    }
    close(done[1]);
    char signal[1];
    ASSERT_EQ(read(done[0], signal, 1), 1) << "round " << round << ": the writer never finished a write";
    const auto first = std::chrono::steady_clock::now();
    ASSERT_EQ(read(done[0], signal, 1), 1);
    const auto oneWrite = std::chrono::steady_clock::now() - first;
    std::this_thread::sleep_for(oneWrite * std::uniform_real_distribution<>(0, 2)(random));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(done[0]);
    PreferenceMap found;
    readPrefsData(settings, "tavixDisp.prefs", found);
    ASSERT_EQ(found, version(round)) << "round " << round << ": not the whole version written last";
  }
  writePrefsData(settings, "tavixDisp.prefs", version(0));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "the killed writers' new files are gone";
}

}  // namespace
