// The daily firmware check against a page served on loopback, and the
// search for the published version in a page.
#include "app/CheckNewFirmware.h"
#include "app/getServerFwVersion.h"
#include "app_harness.h"
#include "app_http_server.h"

namespace app_test {
namespace {

constexpr uint32_t packed(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return (a << 24) | (b << 16) | (c << 8) | d; }
const uint32_t kToday = 132778757, k1234 = packed(1, 2, 3, 4), k1235 = packed(1, 2, 3, 5);
const std::string kCellTail = R"(</td><td class="style_td"><a href="fw.zip">)";
std::string row(const std::string& version) { return "<tr><td class=\"style_td\">" + version + kCellTail + "x</a></td></tr>"; }
const std::string kPage = "<table>" + row("1.2.3.5") + row("1.2.3.4") + "</table>";

TEST(FirmwareCheckTest, OffersANewerVersionOncePerDayAndOnlyDownloadRecordsIt) {
  TempDir dir;
  HttpServer server([](const std::string&) { return HttpServer::page(kPage); });
  const struct {
    const char* name;
    bool served;
    PreferenceMap before;
    uint32_t unit;
    int answer;
    const char* alert;
    uint32_t recorded;
    int fetches;
  } cases[] = {
      {"first run, Later", true, {}, k1234, 1, "Latest Version: 1.2.3.5", k1234, 1},
      {"Download", true, {}, k1234, 0, "Latest Version: 1.2.3.5", k1235, 1},
      {"no answer counts as Later", true, {}, k1234, -1, "Latest Version: 1.2.3.5", k1234, 1},
      {"checked yesterday", true, {{"checked_date", kToday - 1}}, k1234, 1, "Latest Version: 1.2.3.5", k1234, 1},
      {"unit up to date", true, {}, k1235, 0, "", k1235, 1},
      {"higher version kept", true, {{"checked_fw_ver", packed(2, 0, 0, 0)}}, k1234, 0, "", packed(2, 0, 0, 0), 1},
      {"checked today", true, {{"checked_date", kToday}, {"checked_fw_ver", 7}}, k1234, 0, "", 7, 0},
      {"fetch fails", false, {}, k1234, 0, "", k1234, 0},
  };
  for (const auto& c : cases) {
    std::string alerts, opened;
    Settings settings;
    settings.prefsDir = dir.path();
    settings.firmwarePageUrl = c.served ? server.url("/fw") : refusedUrl();
    settings.alertSink = [&](const AlertRequest& request) {
      EXPECT_EQ(request.header, "A new firmware version is available.");
      EXPECT_EQ(request.buttons, (std::vector<std::string>{"Download", "Later"}));
      return alerts += request.message, c.answer;
    };
    settings.urlOpener = [&](const std::string& url) { opened += url; };
    PreferenceMap prefs = c.before;
    const int fetchesBefore = server.requestCount();
    CheckNewFirmware(settings, c.unit, prefs, kToday);
    EXPECT_EQ(alerts, c.alert) << c.name;
    EXPECT_EQ(opened, c.answer == 0 && *c.alert ? server.url("/fw") : "") << c.name;
    EXPECT_EQ(server.requestCount() - fetchesBefore, c.fetches) << c.name;
    PreferenceMap written;
    readPrefsData(settings, "tavixDisp.prefs", written);
    EXPECT_EQ(written, (PreferenceMap{{"checked_date", kToday}, {"checked_fw_ver", c.recorded}})) << c.name;
  }
}

TEST(FirmwarePageTest, FollowsRedirectsOverHttpOnly) {
  HttpServer server([](const std::string& path) {
    if (path == "/old") return HttpServer::redirect("/new");
    if (path == "/elsewhere") return HttpServer::redirect("file:///etc/hostname");
    return path == "/new" ? HttpServer::page(kPage) : HttpServer::page("", "404 Not Found");
  });
  const std::pair<std::string, uint32_t> cases[] = {
      {server.url("/old"), k1235}, {server.url("/elsewhere"), 0}, {"file:///etc/hostname", 0}, {server.url("/x"), 0}};
  for (const auto& c : cases) {
    Settings settings;
    settings.firmwarePageUrl = c.first;
    EXPECT_EQ(getServerFwVersion(settings), c.second) << c.first;
  }
}

TEST(FirmwarePageTest, FindsTheFirstPublishedVersionQuicklyInAnyPage) {
  std::string dotted;
  while (dotted.size() < 1000000) dotted += "1.2.3.";
  const std::string filler(4u << 20, ' ');
  const std::pair<std::string, uint32_t> cases[] = {
      {kPage, k1235},
      {"v10.20.1.2.3.4" + kCellTail, k1234},
      {row("0.256.0.7"), packed(1, 0, 0, 7)},
      {row("0.0.0.2147483647"), 2147483647u},
      {row("1.2.3.2147483648"), 0},
      {row("1.2.3"), 0},
      {"1.2.3.4</td><td class=\"other\"><a href", 0},
      {std::string(1000000, '7'), 0},
      {dotted + "4" + kCellTail, k1234},
      {filler.substr(200) + row("9.8.7.6"), packed(9, 8, 7, 6)},
      {filler + row("1.2.3.5"), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(extractFirmwareVersion(c.first), c.second) << c.first.substr(0, 60);
}

}  // namespace
}  // namespace app_test
