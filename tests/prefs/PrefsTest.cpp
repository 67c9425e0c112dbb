#include <gtest/gtest.h>

#include <SDL_filesystem.h>
#include <SDL_stdinc.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Prefs.h"
#include "app_files.h"

namespace {

namespace fs = std::filesystem;
using app_test::readFile;
using app_test::writeFile;

const char kFile[] = "tavixDisp.prefs";

// The head every written file starts with.
const std::string kHead =
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n"
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n"
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n"
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,ボタン2=BS)\n"
    "; window_x, window_y: 前回終了時のウィンドウ位置\n";

class PrefsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    setPrefsDirectory(dir.path() + "/");
  }
  void TearDown() override { setPrefsDirectory(""); }

  std::string file() const { return dir.file(kFile); }
  std::vector<std::string> dirEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    return names;
  }
  PreferenceMap readBack(PreferenceMap m = PreferenceMap()) const {
    readPrefsData(kFile, m);
    return m;
  }

  app_test::TempDir dir;
};

TEST_F(PrefsTest, WrittenFileHasTheCommentHeadThenSortedEntries) {
  PreferenceMap m;
  m["window_x"] = 4294967276u;  // -20
  m["enable_joystick"] = 0;
  m["checked_fw_ver"] = 0x01020304;
  m["checked_date"] = 132778757;
  m["baudrate"] = 230400;
  writePrefsData(kFile, m);
  EXPECT_EQ(readFile(file()), kHead +
                                  "baudrate = 230400\n"
                                  "checked_date = 132778757\n"
                                  "checked_fw_ver = 16909060\n"
                                  "enable_joystick = 0\n"
                                  "window_x = -20\n");
  // An empty map still gets the whole head, which reads back as nothing.
  writePrefsData(kFile, PreferenceMap());
  EXPECT_EQ(readFile(file()), kHead);
  EXPECT_TRUE(readBack().empty());
}

TEST_F(PrefsTest, EveryValueAndUnknownNameReadsBackAndIsWrittenInOrder) {
  PreferenceMap m;
  const uint32_t values[] = {0u,          1u,          9u,          230400u,     999999999u,  1000000000u, 2147483647u,
                             2147483648u, 3294967295u, 3294967296u, 3294967297u, 4294967276u, 4294967295u};
  int i = 0;
  for (uint32_t v : values) m["v" + std::to_string(i++)] = v;
  m["baudrate"] = 230400;
  m["window_y"] = 4294967295u;
  writePrefsData(kFile, m);
  EXPECT_NE(readFile(file()).find("v7 = -2147483648\n"), std::string::npos);
  EXPECT_EQ(readBack(), m);

  // Hand-added names the program does not know are kept at the next write.
  writeFile(file(), "zeta = 1\nbaudrate = 9600\nalpha = 2\n");
  writePrefsData(kFile, readBack());
  EXPECT_EQ(readFile(file()), kHead + "alpha = 2\nbaudrate = 9600\nzeta = 1\n");
}

TEST_F(PrefsTest, RewriteReplacesTheWholeFileKeepsItsModeAndLeavesNoTemporaryFile) {
  PreferenceMap big;
  for (int i = 0; i < 100; ++i) big["name" + std::to_string(i)] = static_cast<uint32_t>(i);
  writePrefsData(kFile, big);
  ASSERT_EQ(chmod(file().c_str(), 0600), 0);
  writePrefsData(kFile, PreferenceMap{{"baudrate", 9600}});
  EXPECT_EQ(readFile(file()), kHead + "baudrate = 9600\n");
  EXPECT_EQ(dirEntries(), std::vector<std::string>{kFile});
  struct stat st;
  ASSERT_EQ(stat(file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PrefsTest, FailedReplaceLeavesWhatWasThereAndNoTemporaryFile) {
  // A directory in the file's place cannot be replaced by a file.
  fs::create_directory(file());
  writeFile(file() + "/inside", "x");
  writePrefsData(kFile, PreferenceMap{{"a", 1}});
  EXPECT_EQ(readFile(file() + "/inside"), "x");
  EXPECT_EQ(dirEntries(), std::vector<std::string>{kFile});
  EXPECT_EQ(readBack({{"kept", 1}}), (PreferenceMap{{"kept", 1}}));
}

TEST_F(PrefsTest, WriterLeavesOutNamesTheReaderCouldNotGiveBack) {
  PreferenceMap m{{"", 1}, {"has blank", 2}, {"line\nbreak", 3}, {";comment", 4}, {std::string(32, 'n'), 5},
                  {std::string(31, 'n'), 6}, {"ok", 7}};
  writePrefsData(kFile, m);
  EXPECT_EQ(readFile(file()), kHead + std::string(31, 'n') + " = 6\nok = 7\n");
}

TEST_F(PrefsTest, MissingFileOrDirectoryChangesNothing) {
  EXPECT_EQ(readBack({{"baudrate", 1}}), (PreferenceMap{{"baudrate", 1}}));
  setPrefsDirectory(dir.file("no/such/dir"));
  EXPECT_EQ(readBack({{"baudrate", 1}}), (PreferenceMap{{"baudrate", 1}}));
  writePrefsData(kFile, PreferenceMap{{"baudrate", 1}});
  EXPECT_FALSE(fs::exists(dir.file("no")));
}

// Each row is a whole file read over the map in `before`.
struct ReadCase {
  const char* name;
  std::string text;
  PreferenceMap before, after;
};

TEST_F(PrefsTest, FileContentsReadAsEntries) {
  const PreferenceMap abc{{"a", 1}, {"b", 2}, {"c", 3}};
  const std::string n31(31, 'n');
  const std::vector<ReadCase> cases = {
      {"LF", "a = 1\nb = 2\nc = 3\n", {}, abc},
      {"CR LF", "a = 1\r\nb = 2\r\nc = 3\r\n", {}, abc},
      {"CR, no final break", "a = 1\rb = 2\rc = 3", {}, abc},
      {"blank lines", "\n\na = 1\n\n\n\nb = 2\r\n\r\n\rc = 3\n\n", {}, abc},
      {"mixed breaks", "a = 1\n\r\n\rb = 2\nc = 3", {}, abc},
      {"empty file", "", {}, {}},
      {"comment at the first byte", "; a = 1\n;b = 2\n", {}, {}},
      {"mark after a blank is a name", " ;c = 3\n", {}, {{";c", 3}}},
      {"mark after two blanks", "  ; d = 4\n", {}, {}},
      {"later duplicate wins", "baudrate = 2\nbaudrate = 3\n", {{"baudrate", 1}, {"other", 9}},
       {{"baudrate", 3}, {"other", 9}}},
      {"blanks, sign and trailing words", "  a\t=\t+7  trailing words", {}, {{"a", 7}}},
      {"negative", "a =-20", {}, {{"a", 4294967276u}}},
      {"sign and ten digits", "a = -2147483648", {}, {{"a", 2147483648u}}},
      {"largest", "a = 4294967295", {}, {{"a", 4294967295u}}},
      {"leading zeros", "a = 000000000000042", {}, {{"a", 42}}},
      {"longest name", n31 + " = 5", {}, {{n31, 5}}},
      {"'=' glued to the name", "a= = 5", {}, {{"a=", 5}}},
      {"zero byte ends the text", std::string("c = 3\0 = 4\nd = 5\n", 17), {}, {{"c", 3}, {"d", 5}}},
  };
  for (const ReadCase& c : cases) {
    writeFile(file(), c.text);
    EXPECT_EQ(readBack(c.before), c.after) << c.name;
  }
  // A line without both a name and a number stores nothing.
  for (const std::string& bad : std::vector<std::string>{
       {"baudrate=5", "baudrate= 5", "baudrate", "baudrate =", "baudrate = ", "baudrate = abc", "baudrate = -",
        "baudrate = +", "= 5", "baudrate 5", "a = 4294967296", "a = -2147483649", "a = 12345678901",
        "a = 99999999999999999999999999", "\t  \t", std::string(32, 'n') + " = 5"}}) {
    writeFile(file(), bad + "\nok = 1\n");
    EXPECT_EQ(readBack(), (PreferenceMap{{"ok", 1}})) << bad;
  }
}

TEST(PrefsLineTest, ConsumesTheLineAndEveryLineBreakAfterIt) {
  PreferenceMap m;
  const std::string text = "a = 1\r\n\r\n\nb = 2";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  EXPECT_EQ(readDataToMap1Line(p, text.size(), m), 10);
  EXPECT_EQ(readDataToMap1Line(p + 10, text.size() - 10, m), 5);
  EXPECT_EQ(readDataToMap1Line(p, 0, m), 0);
  EXPECT_EQ(m, (PreferenceMap{{"a", 1}, {"b", 2}}));
}

TEST_F(PrefsTest, WholeFileIsReadUpToTheSizeBoundWithoutCutEntries) {
  std::string body = kHead;
  PreferenceMap expected;
  for (int i = 0; i < 300; ++i) {
    body += "hand_added_" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    expected["hand_added_" + std::to_string(i)] = static_cast<uint32_t>(i);
  }
  writeFile(file(), body);
  EXPECT_EQ(readBack(), expected);

  // A comment fills up to ten bytes before the 64 KiB bound, where an entry
  // begins that the bound cuts inside its number.
  const size_t bound = 64 * 1024;
  body = "first = 1\n;" + std::string(bound - 10 - 12, 'x') + "\n";
  ASSERT_EQ(body.size(), bound - 10);
  writeFile(file(), body + "cut = 123456789\nafter = 2\n");
  EXPECT_EQ(readBack(), (PreferenceMap{{"first", 1}}));
  // Exactly at the bound everything is read.
  body = "first = 1\n;" + std::string(bound - 8 - 12, 'x') + "\nlast = 3";
  ASSERT_EQ(body.size(), bound);
  writeFile(file(), body);
  EXPECT_EQ(readBack(), (PreferenceMap{{"first", 1}, {"last", 3}}));
}

TEST_F(PrefsTest, PrefPathComesFromSdlUnderXdgDataHome) {
  setPrefsDirectory("");
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", dir.path().c_str(), 1);

  char* sdlPath = SDL_GetPrefPath("tavixProject", "tavixDisp");
  ASSERT_NE(sdlPath, nullptr);
  const std::string prefDir = sdlPath;
  SDL_free(sdlPath);
  EXPECT_EQ(prefDir, dir.path() + "/tavixProject/tavixDisp/");
  const PreferenceMap m{{"baudrate", 230400}, {"enable_joystick", 1}};
  writePrefsData(kFile, m);
  EXPECT_EQ(readFile(prefDir + kFile), kHead + "baudrate = 230400\nenable_joystick = 1\n");
  EXPECT_EQ(readBack(), m);

  // When SDL can make no directory (a file stands in the way) nothing fails.
  writeFile(dir.file("plain"), "");
  setenv("XDG_DATA_HOME", dir.file("plain").c_str(), 1);
  EXPECT_EQ(readBack({{"x", 1}}), (PreferenceMap{{"x", 1}}));
  writePrefsData(kFile, m);

  if (old) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

TEST(PrefsDateTest, DatesEncodeYearMonthFromZeroAndDay) {
  const struct {
    int year, month, day;
    uint32_t code;
  } cases[] = {{2027, 0, 1, 132841473u}, {2026, 11, 31, 132778783u}, {2026, 11, 5, 132778757u}};
  for (const auto& c : cases) {
    struct tm t = {};
    t.tm_year = c.year - 1900;
    t.tm_mon = c.month;
    t.tm_mday = c.day;
    EXPECT_EQ(encodeDate(t), c.code) << c.year << "-" << c.month << "-" << c.day;
  }
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  const uint32_t today = getTodayDate();
  EXPECT_TRUE(today == encodeDate(local) || today == encodeDate(local) + 1) << today;
}

}  // namespace
