#include "app/Prefs.h"
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "app_harness.h"

namespace app_test {
namespace {

class PrefsTest : public ::testing::Test {
protected:
  void SetUp() override { settings.prefsDir = dir.path(); }
  PreferenceMap readBack(PreferenceMap m = PreferenceMap()) const { return readPrefsData(settings, kFile, m), m; }
  const char* const kFile = "tavixDisp.prefs";
  TempDir dir;
  Settings settings;
};

TEST_F(PrefsTest, WrittenFileHasTheHeadThenSortedEntriesAndReadsBack) {
  PreferenceMap m{{"window_x", 4294967276u}, {"zeta", 1}, {"baudrate", 230400}, {"window_y", 4294967295u},
                  {"checked_fw_ver", 0x01020304}, {"has blank", 2}, {std::string(32, 'n'), 3}};
  writePrefsData(settings, kFile, m);
  EXPECT_EQ(readFile(dir.file(kFile)),
            kPrefsHead + "baudrate = 230400\nchecked_fw_ver = 16909060\nwindow_x = -20\nwindow_y = -1\nzeta = 1\n");
  m.erase("has blank");
  m.erase(std::string(32, 'n'));
  EXPECT_EQ(readBack(), m);
}

TEST_F(PrefsTest, FileContentsReadAsEntriesOverWhatTheMapHeld) {
  const PreferenceMap abc{{"a", 1}, {"b", 2}, {"c", 3}};
  const std::pair<std::string, PreferenceMap> cases[] = {
      {"a = 1\nb = 2\r\nc = 3", abc},
      {"a = 1\rb = 2\r\n\r\n\nc = 3\n\n", abc},
      {"; a = 1\n;b = 2\n", {}},
      {" ;c = 3\n", {{";c", 3}}},
      {"a = 2\na = 3\nkept = 8", {{"a", 3}, {"kept", 8}}},
      {"a =-20", {{"a", 4294967276u}}},
      {"a = 4294967295 words", {{"a", 4294967295u}}},
      {"a= = 5", {{"a=", 5}}},
      {"a=5\nb 5\nc =\nd = x\ne = 4294967296\n" + std::string(32, 'n') + " = 5\nok = 1", {{"ok", 1}}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(writeFile(dir.file(kFile), c.first));
    PreferenceMap expected = c.second;
    expected.emplace("kept", 9);
    EXPECT_EQ(readBack({{"kept", 9}}), expected) << c.first;
  }
  settings.prefsDir = dir.file("no/such");
  writePrefsData(settings, kFile, abc);
  EXPECT_EQ(readBack({{"kept", 9}}), (PreferenceMap{{"kept", 9}})) << "a missing directory changes nothing";
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST_F(PrefsTest, WritesThroughSymbolicLinksToTheirTargetsAndKeepsTheLinks) {
  std::filesystem::create_directory(dir.file("kept"));
  std::filesystem::create_symlink("chained.prefs", dir.file("kept/hop"));
  // link, what it holds, the file written (there before, but for the last)
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"relative", "kept/r.prefs", "kept/r.prefs"}, {"absolute", dir.file("kept/a.prefs"), "kept/a.prefs"},
      {"chain", "kept/hop", "kept/chained.prefs"}, {"dangling", "kept/new.prefs", "kept/new.prefs"}};
  for (const auto& [link, to, target] : cases) {
    ASSERT_TRUE(link == "dangling" || writeFile(dir.file(target), "a = 1\n"));
    std::filesystem::create_symlink(to, dir.file(link));
    writePrefsData(settings, link.c_str(), {{"b", 2}});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file(link)) && std::filesystem::is_symlink(dir.file("kept/hop"))) << link;
    EXPECT_EQ(readFile(dir.file(target)), kPrefsHead + "b = 2\n") << link;
  }
}

TEST_F(PrefsTest, InAFolderTheUserCannotWriteTheFileIsWrittenInPlaceOrKeptWithAWord) {
  const passwd* user = getpwnam("nobody");
  if (geteuid() != 0 || user == nullptr) GTEST_SKIP() << "needs root and a user nobody";
  const std::string file = dir.file(kFile), errors = dir.file("stderr"), old = "; by hand\na = 1\n";
  // the user owns the file, most bytes a file may get, the file afterwards, the reason given on standard error
  const std::tuple<bool, rlim_t, std::string, std::string> cases[] = {{true, RLIM_INFINITY, kPrefsHead + "b = 2\n", ""},
      {false, RLIM_INFINITY, old, "Permission denied"}, {true, 300, old, "File too large"}};
  for (const auto& [owned, limit, after, reason] : cases) {
    ASSERT_TRUE(writeFile(file, old) && writeFile(errors, "") && !chmod(dir.path().c_str(), 0755) &&
                !chown(errors.c_str(), user->pw_uid, 0) && !chown(file.c_str(), owned ? user->pw_uid : 0, 0));
    const rlimit size{limit, limit};
    const pid_t child = fork();
    if (child == 0 && dup2(open(errors.c_str(), O_WRONLY), 2) == 2 && !setrlimit(RLIMIT_FSIZE, &size) && !setuid(user->pw_uid))
      signal(SIGXFSZ, SIG_IGN), writePrefsData(settings, kFile, {{"b", 2}});
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(readFile(file), after) << reason;
    EXPECT_EQ(readFile(errors), reason.empty() ? "" : "tavixDisp: preferences not saved to " + file + ": " + reason + "\n");
  }
}

TEST(PrefsDateTest, DatesEncodeYearMonthFromZeroAndDay) {
  const auto date = [](int year, int month, int day) {
    tm t{};
    t.tm_year = year - 1900, t.tm_mon = month, t.tm_mday = day;
    return t;
  };
  EXPECT_EQ(encodeDate(date(2027, 0, 1)), 132841473u);
  EXPECT_EQ(encodeDate(date(2026, 11, 31)), 132778783u);
}

}  // namespace
}  // namespace app_test
