// The preference file against a program killed at any moment while it
// writes: the file is always one of the complete versions, never a mix or
// a cut one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "app/Prefs.h"
#include "app_files.h"

namespace {

const char kFile[] = "tavixDisp.prefs";

PreferenceMap version(uint32_t n) {
  PreferenceMap prefs;
  prefs["baudrate"] = 230400 + n;
  prefs["checked_date"] = 132778757 + n;
  prefs["checked_fw_ver"] = 0x01020304 + n;
  prefs["enable_joystick"] = n & 1;
  prefs["window_x"] = static_cast<uint32_t>(-20 - static_cast<int>(n));
  prefs["window_y"] = n * 7;
  // Enough entries that a write takes several system calls.
  for (int i = 0; i < 20; ++i) prefs["extra_" + std::to_string(i)] = n * 100 + static_cast<uint32_t>(i);
  return prefs;
}

TEST(PrefsKillTest, FileIsAlwaysAWholeVersionWhenTheWriterIsKilled) {
  app_test::TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  setPrefsDirectory(dir.path() + "/");
  writePrefsData(kFile, version(0));

  std::mt19937 random(6061);
  const int kKills = 150;
  uint32_t written = 0;
  int killedMidWay = 0;
  for (int round = 0; round < kKills; ++round) {
    const uint32_t next = written + 1;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The writer: the next version over and over until killed.
      const PreferenceMap prefs = version(next);
      for (;;) writePrefsData(kFile, prefs);
    }
    usleep(static_cast<useconds_t>(random() % 4000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    PreferenceMap found;
    readPrefsData(kFile, found);
    if (found == version(next)) {
      written = next;
    } else {
      ASSERT_EQ(found, version(written)) << "round " << round << ": neither the old nor the new file";
      ++killedMidWay;
    }
  }
  setPrefsDirectory("");
  EXPECT_GT(written, 0u) << killedMidWay << " kills found the previous version";
}

}  // namespace
