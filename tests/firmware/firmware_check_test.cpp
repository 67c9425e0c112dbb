#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/alert.h"
#include "app/firmware_check.h"
#include "app/getServerFwVersion.h"
#include "app/prefs.h"
#include "app_files.h"
#include "app_http_server.h"

using app_test::HttpServer;
using app_test::TempDir;

namespace {

constexpr uint32_t packed(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

// 5 December 2026 and the day after, in the preference file's encoding.
const uint32_t kToday = (2026u << 16) | (11u << 8) | 5u;
const uint32_t kTomorrow = kToday + 1;

const std::string kPage = R"(<html><body><table>
<tr><td class="style_td">1.2.3.5</td><td class="style_td"><a href="v1235.zip">1.2.3.5</a></td></tr>
<tr><td class="style_td">1.2.3.4</td><td class="style_td"><a href="v1234.zip">1.2.3.4</a></td></tr>
</table></body></html>)";

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

  std::string prefsFile() const { return app_test::readFile(dir.file("tavixDisp.prefs")); }

  TempDir dir;
  std::unique_ptr<HttpServer> server;
  PreferenceMap prefs;
  std::vector<AlertRequest> alerts;
  std::vector<std::string> opened;
  int answer = 1;  // "Later"
};

TEST_F(FirmwareCheckTest, FirstRunOffersTheNewerVersion) {
  serve(kPage);
  checkOn(kToday, packed(1, 2, 3, 4));

  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].header, "A new firmware version is available.");
  EXPECT_EQ(alerts[0].message, "Latest Version: 1.2.3.5");
  EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Download", "Later"}));
  EXPECT_EQ(alerts[0].defaultButton, 0);
  EXPECT_TRUE(alerts[0].informational);
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 4));
  EXPECT_EQ(prefs["checked_date"], kToday);
  EXPECT_TRUE(opened.empty());
  EXPECT_NE(prefsFile().find("checked_date = 132778757\nchecked_fw_ver = 16909060\n"), std::string::npos)
      << prefsFile();
}

TEST_F(FirmwareCheckTest, LaterOffersAgainTheNextDayButNotTheSameDay) {
  serve(kPage);
  checkOn(kToday, packed(1, 2, 3, 4));
  ASSERT_EQ(alerts.size(), 1u);

  checkOn(kToday, packed(1, 2, 3, 4));
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(server->requestCount(), 1) << "the day's check is used up: no second fetch";

  checkOn(kTomorrow, packed(1, 2, 3, 4));
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].message, "Latest Version: 1.2.3.5");
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 4));
  EXPECT_EQ(prefs["checked_date"], kTomorrow);
}

TEST_F(FirmwareCheckTest, DownloadOpensThePageAndIsNotOfferedAgain) {
  serve(kPage);
  answer = 0;
  checkOn(kToday, packed(1, 2, 3, 4));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], server->url("/index.php?fw#firmware"));
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 5));

  checkOn(kTomorrow, packed(1, 2, 3, 4));
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 5));
}

TEST_F(FirmwareCheckTest, APromptThatCannotBeShownCountsAsLater) {
  serve(kPage);
  answer = -1;
  checkOn(kToday, packed(1, 2, 3, 4));
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 4));
}

TEST_F(FirmwareCheckTest, UnitAlreadyUpToDateGetsNoPrompt) {
  serve(kPage);
  checkOn(kToday, packed(1, 2, 3, 5));
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 5));

  checkOn(kTomorrow, packed(2, 0, 0, 0));
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(prefs["checked_fw_ver"], packed(2, 0, 0, 0));

  // A higher version stored earlier is kept when an older unit is plugged in.
  checkOn(kTomorrow + 1, packed(1, 0, 0, 0));
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(prefs["checked_fw_ver"], packed(2, 0, 0, 0));
}

TEST_F(FirmwareCheckTest, UnusablePagesEndQuietlyWithTheDateRecorded) {
  std::string dotted;
  while (dotted.size() < 1000000) {
    dotted += "1.2.3.";
  }
  const std::vector<std::pair<const char*, std::string>> pages = {
      {"no matching cell", "<html><td>1.2.3.5</td></html>"},
      {"an empty page", ""},
      {"a 5 MB page without a version", std::string(5 * 1000 * 1000, 'x')},
      {"a million digits", std::string(1000000, '1')},
      {"a million digits and dots", dotted},
  };
  uint32_t day = kToday;
  for (const auto& page : pages) {
    serve(page.second);
    const auto start = std::chrono::steady_clock::now();
    checkOn(++day, packed(1, 2, 3, 4));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(alerts.empty()) << page.first;
    EXPECT_EQ(server->requestCount(), 1) << page.first;
    EXPECT_EQ(prefs["checked_date"], day) << page.first;
    EXPECT_NE(prefsFile().find("checked_date = " + std::to_string(day)), std::string::npos) << page.first;
    EXPECT_LT(seconds, 60) << page.first;
  }
}

TEST_F(FirmwareCheckTest, FailedFetchEndsQuietlyWithTheDateRecorded) {
  setFirmwarePageUrl("http://127.0.0.1:" + std::to_string(app_test::closedLoopbackPort()) + "/");
  checkOn(kToday, packed(1, 2, 3, 4));
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(prefs["checked_date"], kToday);
  EXPECT_EQ(prefs["checked_fw_ver"], packed(1, 2, 3, 4));
  EXPECT_NE(prefsFile().find("checked_date = 132778757"), std::string::npos);
}

TEST(FirmwarePageTest, FollowsRedirectsOverHttpOnly) {
  HttpServer server([](const std::string& path) {
    if (path == "/old") {
      return HttpServer::redirect("/new");
    }
    if (path == "/new") {
      return HttpServer::page(kPage);
    }
    if (path == "/elsewhere") {
      return HttpServer::redirect("file:///etc/hostname");
    }
    if (path == "/loop") {
      return HttpServer::redirect("/loop");
    }
    return std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  });
  ASSERT_TRUE(server.ok());
  setFirmwarePageUrl(server.url("/old"));
  EXPECT_EQ(getServerFwVersion(), packed(1, 2, 3, 5));
  setFirmwarePageUrl(server.url("/elsewhere"));
  EXPECT_EQ(getServerFwVersion(), 0u);
  setFirmwarePageUrl(server.url("/loop"));
  EXPECT_EQ(getServerFwVersion(), 0u);
  setFirmwarePageUrl("file:///etc/hostname");
  EXPECT_EQ(getServerFwVersion(), 0u);
  setFirmwarePageUrl("");
}

TEST(FirmwarePageTest, SearchesTheFirstPartOfAnOversizedPage) {
  const std::string version = R"(1.2.3.7</td><td class="style_td"><a href)";
  const std::string early = version + std::string(5 * 1000 * 1000, ' ');
  const std::string late = std::string(kMaxFirmwarePageBytes, ' ') + version;
  HttpServer server([&](const std::string& path) { return HttpServer::page(path == "/early" ? early : late); });
  ASSERT_TRUE(server.ok());
  setFirmwarePageUrl(server.url("/early"));
  EXPECT_EQ(getServerFwVersion(), packed(1, 2, 3, 7));
  setFirmwarePageUrl(server.url("/late"));
  EXPECT_EQ(getServerFwVersion(), 0u);
  setFirmwarePageUrl("");
}

TEST(FirmwarePageTest, ThePageAddressIsBuiltInUnlessReplaced) {
  setFirmwarePageUrl("");
  const std::string builtIn = firmwarePageUrl();
  EXPECT_EQ(builtIn.rfind("http", 0), 0u) << builtIn;
  EXPECT_NE(builtIn.find("/index.php?%E3%83%95"), std::string::npos) << builtIn;
  setFirmwarePageUrl("http://example.invalid/x");
  EXPECT_EQ(firmwarePageUrl(), "http://example.invalid/x");
  std::vector<std::string> opened;
  setUrlOpener([&](const std::string& url) { opened.push_back(url); });
  OpenFirmwareURL();
  EXPECT_EQ(opened, std::vector<std::string>{"http://example.invalid/x"});
  setUrlOpener(nullptr);
  setFirmwarePageUrl("");
  EXPECT_EQ(firmwarePageUrl(), builtIn);
}

}  // namespace
