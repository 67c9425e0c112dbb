// The daily firmware check against a page served on loopback, and the
// search for the published version in a page.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/Alert.h"
#include "app/CheckNewFirmware.h"
#include "app/getServerFwVersion.h"
#include "app/Prefs.h"
#include "app_files.h"
#include "app_http_server.h"

using app_test::HttpServer;

namespace {

constexpr uint32_t packed(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}
const uint32_t kUnit = packed(1, 2, 3, 4);

// 5 December 2026 and the day after, in the preference file's encoding.
const uint32_t kToday = (2026u << 16) | (11u << 8) | 5u;
const uint32_t kTomorrow = kToday + 1;

const std::string kCellTail = R"(</td><td class="style_td"><a href="fw.zip">)";
std::string row(const std::string& version) {
  return R"(<tr><td class="style_td">)" + version + kCellTail + "download</a></td></tr>\n";
}
const std::string kPage = "<html><body><table>\n" + row("1.2.3.5") + row("1.2.3.4") + "</table></body></html>";

std::string dottedRun() {
  std::string dotted;
  while (dotted.size() < 1000000) dotted += "1.2.3.";
  return dotted;
}

// The check with every seam pointed at the test: prefs in a temporary
// directory, the page on a loopback server, alerts answered by a script and
// the browser replaced by a list of opened addresses.
class FirmwareCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    setPrefsDirectory(dir.path() + "/");
    setAlertSink([this](const AlertRequest& request) {
      alerts.push_back(request);
      return answer;
    });
    setUrlOpener([this](const std::string& url) { opened.push_back(url); });
  }
  void TearDown() override {
    setPrefsDirectory("");
    setAlertSink(nullptr);
    setUrlOpener(nullptr);
    setFirmwarePageUrl("");
  }

  void serve(const std::string& body) {
    server.reset(new HttpServer([body](const std::string&) { return HttpServer::page(body); }));
    ASSERT_TRUE(server->ok());
    setFirmwarePageUrl(server->url("/index.php?fw#firmware"));
  }

  // Runs the check with a fresh map read from the file, as a new run would.
  void checkOn(uint32_t today, uint32_t unitVersion) {
    prefs.clear();
    readPrefsData("tavixDisp.prefs", prefs);
    CheckNewFirmware(unitVersion, prefs, today);
  }
  bool fileHas(const std::string& text) const {
    return app_test::readFile(dir.file("tavixDisp.prefs")).find(text) != std::string::npos;
  }

  app_test::TempDir dir;
  std::unique_ptr<HttpServer> server;
  PreferenceMap prefs;
  std::vector<AlertRequest> alerts;
  std::vector<std::string> opened;
  int answer = 1;  // "Later"
};

TEST_F(FirmwareCheckTest, FirstRunOffersTheNewerVersionOncePerDay) {
  serve(kPage);
  checkOn(kToday, kUnit);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, "A new firmware version is available.");
  EXPECT_EQ(alerts[0].message, "Latest Version: 1.2.3.5");
  EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Download", "Later"}));
  EXPECT_EQ(alerts[0].defaultButton, 0);
  EXPECT_TRUE(alerts[0].informational);
  EXPECT_EQ(prefs["checked_fw_ver"], kUnit);
  EXPECT_EQ(prefs["checked_date"], kToday);
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(fileHas("checked_date = 132778757\nchecked_fw_ver = 16909060\n"));

  checkOn(kToday, kUnit);
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(server->requestCount(), 1) << "the day's check is used up: no second fetch";
}

TEST_F(FirmwareCheckTest, OnlyDownloadRecordsTheVersionAndEndsTheOffers) {
  const struct {
    int answer;
    const char* name;
    size_t opened;
    uint32_t recorded;
  } cases[] = {
      {1, "Later", 0, kUnit},
      {0, "Download", 1, packed(1, 2, 3, 5)},
      {-1, "prompt that cannot be shown counts as Later", 0, kUnit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    alerts.clear();
    opened.clear();
    ASSERT_TRUE(app_test::writeFile(dir.file("tavixDisp.prefs"), ""));
    serve(kPage);
    answer = c.answer;
    checkOn(kToday, kUnit);
    EXPECT_EQ(alerts.size(), 1u);
    ASSERT_EQ(opened.size(), c.opened);
    if (c.opened) {
      EXPECT_EQ(opened[0], server->url("/index.php?fw#firmware"));
    }
    EXPECT_EQ(prefs["checked_fw_ver"], c.recorded);

    checkOn(kTomorrow, kUnit);
    ASSERT_EQ(alerts.size(), c.opened ? 1u : 2u) << "offered again the next day";
    EXPECT_EQ(alerts.back().message, "Latest Version: 1.2.3.5");
    EXPECT_EQ(prefs["checked_fw_ver"], c.recorded);
    EXPECT_EQ(prefs["checked_date"], kTomorrow);
  }
}

TEST_F(FirmwareCheckTest, UnitAlreadyUpToDateGetsNoPrompt) {
  serve(kPage);
  // A higher version stored earlier is kept when an older unit is plugged in.
  const uint32_t units[] = {packed(1, 2, 3, 5), packed(2, 0, 0, 0), packed(1, 0, 0, 0)};
  const uint32_t recorded[] = {packed(1, 2, 3, 5), packed(2, 0, 0, 0), packed(2, 0, 0, 0)};
  for (int i = 0; i < 3; ++i) {
    checkOn(kToday + i, units[i]);
    EXPECT_TRUE(alerts.empty()) << i;
    EXPECT_EQ(prefs["checked_fw_ver"], recorded[i]) << i;
  }
}

TEST_F(FirmwareCheckTest, UnusablePagesEndQuietlyWithTheDateRecorded) {
  const struct {
    const char* name;
    bool served;
    std::string body;
  } pages[] = {
      {"a failed fetch", false, ""},
      {"no matching cell", true, "<html><td>1.2.3.5</td></html>"},
      {"an empty page", true, ""},
      {"a 5 MB page without a version", true, std::string(5 * 1000 * 1000, 'x')},
      {"a million digits", true, std::string(1000000, '1')},
      {"a million digits and dots", true, dottedRun()},
  };
  uint32_t day = kToday;
  for (const auto& page : pages) {
    SCOPED_TRACE(page.name);
    server.reset();
    if (page.served) {
      serve(page.body);
    } else {
      setFirmwarePageUrl("http://127.0.0.1:" + std::to_string(app_test::closedLoopbackPort()) + "/");
    }
    const auto start = std::chrono::steady_clock::now();
    checkOn(day, kUnit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_TRUE(alerts.empty());
    if (server) {
      EXPECT_EQ(server->requestCount(), 1);
    }
    EXPECT_EQ(prefs["checked_date"], day);
    EXPECT_EQ(prefs["checked_fw_ver"], kUnit);
    EXPECT_TRUE(fileHas("checked_date = " + std::to_string(day)));
    ++day;
  }
}

TEST(FirmwarePageTest, FollowsRedirectsOverHttpOnlyAndReadsTheStartOfAHugePage) {
  const std::string huge = row("1.2.3.7") + std::string(5 * 1000 * 1000, ' ');
  HttpServer server([&](const std::string& path) {
    if (path == "/old") return HttpServer::redirect("/new");
    if (path == "/new") return HttpServer::page(kPage);
    if (path == "/elsewhere") return HttpServer::redirect("file:///etc/hostname");
    if (path == "/loop") return HttpServer::redirect("/loop");
    if (path == "/huge") return HttpServer::page(huge);
    return std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  });
  ASSERT_TRUE(server.ok());
  const std::pair<std::string, uint32_t> cases[] = {
      {server.url("/old"), packed(1, 2, 3, 5)}, {server.url("/elsewhere"), 0},
      {server.url("/loop"), 0},                 {"file:///etc/hostname", 0},
      {server.url("/huge"), packed(1, 2, 3, 7)}, {server.url("/missing"), 0},
  };
  for (const auto& c : cases) {
    setFirmwarePageUrl(c.first);
    EXPECT_EQ(getServerFwVersion(), c.second) << c.first;
  }
  setFirmwarePageUrl("");
}

TEST(FirmwareVersionExtractionTest, FindsTheFirstPublishedVersion) {
  const std::string filler(kMaxFirmwarePageBytes, ' ');
  const std::string digits(1000000, '7');
  const struct {
    const char* name;
    std::string body;
    uint32_t expected;
  } cases[] = {
      {"one row", "<table>" + row("1.2.3.5") + "</table>", packed(1, 2, 3, 5)},
      {"first of several, whatever its value", row("1.0.0.9") + row("3.0.0.0"), packed(1, 0, 0, 9)},
      {"digits before the version are not part of it", "v10.20.1.2.3.4" + kCellTail, packed(1, 2, 3, 4)},
      {"leading zeros", row("01.002.0003.4"), packed(1, 2, 3, 4)},
      {"a part above 255 spills into the next", row("0.256.0.7"), packed(1, 0, 0, 7)},
      {"spilled bits are or-ed in", row("1.256.3.4"), packed(1, 0, 3, 4)},
      {"the largest part that fits", row("0.0.0.2147483647"), 2147483647u},
      {"bytes that are not text around it", std::string("\xff\xfe\x00", 3) + row("4.3.2.1"), packed(4, 3, 2, 1)},
      {"an empty page", "", 0},
      {"three parts", row("1.2.3"), 0},
      {"another cell class", "1.2.3.4</td><td class=\"other\"><a href", 0},
      {"no link in the next cell", "1.2.3.4</td><td class=\"style_td\">text", 0},
      {"a part too large for 32 bits", row("1.2.3.2147483648"), 0},
      {"a part of many digits", row("1.2.3." + std::string(40, '9')), 0},
      // Long runs of digits, alone or dotted, end the search quickly.
      {"a million digits", digits, 0},
      {"a million digits as a part", digits + ".1.2.3" + kCellTail, 0},
      {"a million leading zeros", std::string(1000000, '0') + "1.2.3.4" + kCellTail, packed(1, 2, 3, 4)},
      {"dotted digits that never match", dottedRun(), 0},
      {"dotted digits that finally match", dottedRun() + "4" + kCellTail, packed(1, 2, 3, 4)},
      // Only the first part of a huge page is searched.
      {"version before the cap", row("1.2.3.5") + filler, packed(1, 2, 3, 5)},
      {"version after the cap", filler + row("1.2.3.5"), 0},
      {"cap cuts the match", filler.substr(0, kMaxFirmwarePageBytes - 20) + "1.2.3.6" + kCellTail, 0},
      {"match just inside the cap", filler.substr(0, kMaxFirmwarePageBytes - 200) + "9.8.7.6" + kCellTail,
       packed(9, 8, 7, 6)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(extractFirmwareVersion(c.body), c.expected) << c.name;
  }
}

}  // namespace
