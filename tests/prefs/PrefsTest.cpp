#include <gtest/gtest.h>

#include <SDL_filesystem.h>
#include <SDL_stdinc.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "app/prefs.h"

namespace {

namespace fs = std::filesystem;

const char kFile[] = "tavixDisp.prefs";

// The head every written file starts with.
const std::string kHead =
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n"
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n"
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n"
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,ボタン2=BS)\n"
    "; window_x, window_y: 前回終了時のウィンドウ位置\n";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void spit(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

PreferenceMap parse(const std::string& text, PreferenceMap m = PreferenceMap()) {
  size_t offset = 0;
  while (offset < text.size()) {
    int n = readDataToMap1Line(reinterpret_cast<const unsigned char*>(text.data()) + offset,
                               text.size() - offset, m);
    if (n <= 0) break;
    offset += static_cast<size_t>(n);
  }
  return m;
}

class PrefsTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tavix-prefs-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    setPrefsDirectory(dir.string() + "/");
  }
  void TearDown() override {
    setPrefsDirectory("");
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path file() const { return dir / kFile; }
  std::vector<std::string> dirEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  PreferenceMap readBack() const {
    PreferenceMap m;
    readPrefsData(kFile, m);
    return m;
  }

  fs::path dir;
};

TEST_F(PrefsTest, WrittenFileHasTheCommentHeadThenSortedEntries) {
  PreferenceMap m;
  m["window_x"] = 4294967276u;  // -20
  m["enable_joystick"] = 0;
  m["checked_fw_ver"] = (1u << 24) | (2u << 16) | (3u << 8) | 4u;
  m["checked_date"] = 132778757;
  m["baudrate"] = 230400;
  writePrefsData(kFile, m);

  EXPECT_EQ(kHead.size(), 491u);
  EXPECT_EQ(slurp(file()), kHead +
                               "baudrate = 230400\n"
                               "checked_date = 132778757\n"
                               "checked_fw_ver = 16909060\n"
                               "enable_joystick = 0\n"
                               "window_x = -20\n");
}

TEST_F(PrefsTest, EveryValueReadsBackUnchanged) {
  PreferenceMap m;
  const uint32_t values[] = {0u,          1u,          9u,          230400u,     999999999u,  1000000000u,
                             2147483647u, 2147483648u, 3294967295u, 3294967296u, 3294967297u, 4294967276u,
                             4294967295u};
  int i = 0;
  for (uint32_t v : values) m["v" + std::to_string(i++)] = v;
  m["baudrate"] = 230400;
  m["window_h"] = 768;
  m["window_w"] = 1280;
  m["window_y"] = 4294967295u;
  writePrefsData(kFile, m);
  EXPECT_NE(slurp(file()).find("v7 = -2147483648\n"), std::string::npos);
  EXPECT_EQ(readBack(), m);
}

TEST_F(PrefsTest, RewriteReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  PreferenceMap big;
  for (int i = 0; i < 100; ++i) big["name" + std::to_string(i)] = static_cast<uint32_t>(i);
  writePrefsData(kFile, big);
  PreferenceMap small{{"baudrate", 9600}};
  writePrefsData(kFile, small);
  EXPECT_EQ(slurp(file()), kHead + "baudrate = 9600\n");
  EXPECT_EQ(dirEntries(), std::vector<std::string>{kFile});
}

TEST_F(PrefsTest, RewriteKeepsTheFilePermissions) {
  writePrefsData(kFile, PreferenceMap{{"a", 1}});
  ASSERT_EQ(chmod(file().c_str(), 0600), 0);
  writePrefsData(kFile, PreferenceMap{{"a", 2}});
  struct stat st;
  ASSERT_EQ(stat(file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(readBack(), (PreferenceMap{{"a", 2}}));
}

TEST_F(PrefsTest, FailedReplaceLeavesWhatWasThereAndNoTemporaryFile) {
  // A directory in the file's place cannot be replaced by a file.
  fs::create_directory(file());
  spit(file() / "inside", "x");
  writePrefsData(kFile, PreferenceMap{{"a", 1}});
  EXPECT_TRUE(fs::is_directory(file()));
  EXPECT_EQ(slurp(file() / "inside"), "x");
  EXPECT_EQ(dirEntries(), std::vector<std::string>{kFile});
  PreferenceMap m{{"kept", 1}};
  readPrefsData(kFile, m);
  EXPECT_EQ(m, (PreferenceMap{{"kept", 1}}));
}

TEST_F(PrefsTest, WriterLeavesOutNamesTheReaderCouldNotGiveBack) {
  PreferenceMap m{{"", 1},          {"has blank", 2},  {"line\nbreak", 3},
                  {";comment", 4},  {std::string(32, 'n'), 5},
                  {std::string(31, 'n'), 6}, {"ok", 7}};
  writePrefsData(kFile, m);
  EXPECT_EQ(slurp(file()), kHead + std::string(31, 'n') + " = 6\nok = 7\n");
}

TEST_F(PrefsTest, MissingFileOrDirectoryChangesNothing) {
  PreferenceMap m{{"baudrate", 1}};
  readPrefsData(kFile, m);
  EXPECT_EQ(m, (PreferenceMap{{"baudrate", 1}}));

  setPrefsDirectory((dir / "no" / "such" / "dir").string());
  readPrefsData(kFile, m);
  writePrefsData(kFile, m);
  EXPECT_EQ(m, (PreferenceMap{{"baudrate", 1}}));
  EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST_F(PrefsTest, LineEndingsAndBlankLinesReadAlike) {
  const std::string bodies[] = {
      "a = 1\nb = 2\nc = 3\n",
      "a = 1\r\nb = 2\r\nc = 3\r\n",
      "a = 1\rb = 2\rc = 3",
      "\n\na = 1\n\n\n\nb = 2\r\n\r\n\rc = 3\n\n",
      "a = 1\n\r\n\rb = 2\nc = 3",
  };
  for (const std::string& body : bodies) {
    spit(file(), body);
    EXPECT_EQ(readBack(), (PreferenceMap{{"a", 1}, {"b", 2}, {"c", 3}})) << body;
  }
}

TEST_F(PrefsTest, FileLongerThan1024BytesIsReadWhole) {
  std::string body = kHead;
  PreferenceMap expected;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "hand_added_" + std::to_string(i);
    body += name + " = " + std::to_string(i) + "\n";
    expected[name] = static_cast<uint32_t>(i);
  }
  ASSERT_GT(body.size(), 4096u);
  spit(file(), body);
  EXPECT_EQ(readBack(), expected);
}

TEST_F(PrefsTest, ReaderStopsAtTheSizeBoundWithoutCutEntries) {
  const size_t bound = 64 * 1024;
  std::string body = "first = 1\n";
  // A comment line fills up to ten bytes before the bound, where an entry
  // begins that the bound cuts inside its number.
  const size_t cutAt = bound - 10;
  body += ";" + std::string(cutAt - body.size() - 2, 'x') + "\n";
  ASSERT_EQ(body.size(), cutAt);
  body += "cut = 123456789\nafter = 2\n";
  spit(file(), body);
  EXPECT_EQ(readBack(), (PreferenceMap{{"first", 1}}));

  // Exactly at the bound everything is read.
  std::string exact = "first = 1\n";
  exact += ";" + std::string(bound - exact.size() - 2 - 8, 'x') + "\n" + "last = 3";
  ASSERT_EQ(exact.size(), bound);
  spit(file(), exact);
  EXPECT_EQ(readBack(), (PreferenceMap{{"first", 1}, {"last", 3}}));
}

TEST_F(PrefsTest, EmptyAndCommentOnlyFilesStoreNothing) {
  spit(file(), "");
  EXPECT_TRUE(readBack().empty());
  // An empty map still gets the whole head, which reads back as nothing.
  writePrefsData(kFile, PreferenceMap());
  EXPECT_EQ(slurp(file()), kHead);
  EXPECT_TRUE(readBack().empty());
}

TEST_F(PrefsTest, PrefPathComesFromSdlUnderXdgDataHome) {
  setPrefsDirectory("");
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", dir.c_str(), 1);

  char* sdlPath = SDL_GetPrefPath("tavixProject", "tavixDisp");
  ASSERT_NE(sdlPath, nullptr);
  const std::string prefDir = sdlPath;
  SDL_free(sdlPath);
  EXPECT_EQ(prefDir, dir.string() + "/tavixProject/tavixDisp/");

  PreferenceMap m{{"baudrate", 230400}, {"enable_joystick", 1}};
  writePrefsData(kFile, m);
  EXPECT_EQ(slurp(prefDir + kFile), kHead + "baudrate = 230400\nenable_joystick = 1\n");
  PreferenceMap back;
  readPrefsData(kFile, back);
  EXPECT_EQ(back, m);

  // When SDL can make no directory (a file stands in the way) nothing fails.
  spit(dir / "plain", "");
  setenv("XDG_DATA_HOME", (dir / "plain").c_str(), 1);
  PreferenceMap untouched{{"x", 1}};
  readPrefsData(kFile, untouched);
  writePrefsData(kFile, untouched);
  EXPECT_EQ(untouched, (PreferenceMap{{"x", 1}}));

  if (old) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

TEST(PrefsLineTest, CommentOnlyWhenTheMarkIsTheFirstByte) {
  EXPECT_TRUE(parse("; a = 1\n;b = 2\n").empty());
  EXPECT_EQ(parse(" ;c = 3\n"), (PreferenceMap{{";c", 3}}));
  EXPECT_TRUE(parse("  ; d = 4\n").empty());
}

TEST(PrefsLineTest, LaterDuplicateWinsAndEarlierEntriesStay) {
  EXPECT_EQ(parse("baudrate = 2\nbaudrate = 3\n", {{"baudrate", 1}, {"other", 9}}),
            (PreferenceMap{{"baudrate", 3}, {"other", 9}}));
}

TEST(PrefsLineTest, AcceptedEntryForms) {
  EXPECT_EQ(parse("a = 1"), (PreferenceMap{{"a", 1}}));
  EXPECT_EQ(parse("  a\t=\t+7  trailing words"), (PreferenceMap{{"a", 7}}));
  EXPECT_EQ(parse("a =-20"), (PreferenceMap{{"a", 4294967276u}}));
  EXPECT_EQ(parse("a = -2147483648"), (PreferenceMap{{"a", 2147483648u}}));
  EXPECT_EQ(parse("a = 4294967295"), (PreferenceMap{{"a", 4294967295u}}));
  EXPECT_EQ(parse("a = 000000000000042"), (PreferenceMap{{"a", 42}}));
  EXPECT_EQ(parse(std::string(31, 'n') + " = 5"), (PreferenceMap{{std::string(31, 'n'), 5}}));
  // "=" glued to the name belongs to the name.
  EXPECT_EQ(parse("a= = 5"), (PreferenceMap{{"a=", 5}}));
}

TEST(PrefsLineTest, LinesWithoutNameAndNumberStoreNothing) {
  const char* bad[] = {
      "baudrate=5",         "baudrate= 5",        "baudrate",           "baudrate =",
      "baudrate = ",        "baudrate = abc",     "baudrate = -",       "baudrate = +",
      "= 5",                "baudrate 5",         "a = 4294967296",     "a = -2147483649",
      "a = 12345678901",    "a = 99999999999999999999999999",            "\t  \t",
  };
  for (const char* line : bad) EXPECT_TRUE(parse(line).empty()) << line;
  EXPECT_TRUE(parse(std::string(32, 'n') + " = 5").empty());
}

TEST(PrefsLineTest, ConsumesTheLineAndEveryLineBreakAfterIt) {
  PreferenceMap m;
  const std::string text = "a = 1\r\n\r\n\nb = 2";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  EXPECT_EQ(readDataToMap1Line(p, text.size(), m), 10);
  EXPECT_EQ(readDataToMap1Line(p + 10, text.size() - 10, m), 5);
  EXPECT_EQ(readDataToMap1Line(p, 3, m), 3);
  EXPECT_EQ(readDataToMap1Line(p, 0, m), 0);
  EXPECT_EQ(m, (PreferenceMap{{"a", 1}, {"b", 2}}));

  // A zero byte ends the line's text but not the line.
  const std::string withZero("c = 3\0 = 4\nd = 5\n", 17);
  PreferenceMap z;
  EXPECT_EQ(readDataToMap1Line(reinterpret_cast<const unsigned char*>(withZero.data()), withZero.size(), z), 11);
  EXPECT_EQ(z, (PreferenceMap{{"c", 3}}));
}

TEST(PrefsDateTest, EncodesYearMonthFromZeroAndDay) {
  struct tm t = {};
  t.tm_year = 2027 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 1;
  EXPECT_EQ(encodeDate(t), 132841473u);
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 31;
  EXPECT_EQ(encodeDate(t), 132778783u);
  t.tm_mday = 5;
  EXPECT_EQ(encodeDate(t), 132778757u);
}

}  // namespace
