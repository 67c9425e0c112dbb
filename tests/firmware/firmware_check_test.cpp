#include "app/CheckNewFirmware.h"
#include "app/getServerFwVersion.h"
#include "app_harness.h"
#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#endif

namespace app_test {
namespace {

constexpr uint32_t packed(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return (a << 24) | (b << 16) | (c << 8) | d; }
const uint32_t kToday = 132778757, k1234 = packed(1, 2, 3, 4), k1235 = packed(1, 2, 3, 5);
const std::string kOffer = "A new firmware version is available.|Latest Version: 1.2.3.5|Download|Later";
const std::string kCellTail = R"(</td><td class="style_td"><a href="fw.zip">)";
std::string row(const std::string& version) { return "<tr><td class=\"style_td\">" + version + kCellTail + "x</a></td></tr>"; }
const std::string kPage = "<table>" + row("1.2.3.5") + row("1.2.3.4") + "</table>";

HttpServer& server() {
  static HttpServer server([](const std::string& path) {
    if (path == "/old") return HttpServer::redirect("/fw");
    if (path == "/elsewhere") return HttpServer::redirect("file:///etc/hostname");
    return path == "/fw" ? HttpServer::page(kPage) : HttpServer::page("", "404 Not Found\r\n");
  });
  return server;
}

TEST(FirmwareCheckTest, OffersANewerVersionOncePerDayAndOnlyDownloadRecordsIt) {
  TempDir dir;
  // name, page, preferences before, unit's version, answer, fetches, alert, version recorded
  const std::tuple<const char*, std::string, PreferenceMap, uint32_t, int, int, std::string, uint32_t> cases[] = {
      {"first run, Later", "/fw", {}, k1234, 1, 1, kOffer, k1234},
      {"Download", "/fw", {}, k1234, 0, 1, kOffer, k1235},
      {"checked yesterday", "/fw", {{"checked_date", kToday - 1}}, k1234, 1, 1, kOffer, k1234},
      {"unit up to date", "/fw", {}, k1235, 0, 1, "", k1235},
      {"higher version kept", "/fw", {{"checked_fw_ver", packed(2, 0, 0, 0)}}, k1234, 0, 1, "", packed(2, 0, 0, 0)},
      {"checked today", "/fw", {{"checked_date", kToday}, {"checked_fw_ver", 7}}, k1234, 0, 0, "", 7},
      {"no page", "/missing", {}, k1234, 0, 1, "", k1234},
  };
  for (const auto& [name, page, before, unit, answer, fetches, alert, recorded] : cases) {
    std::string alerts, opened;
    const int reply = answer;  // lambdas capture no structured binding before C++20
    Settings settings{dir.path(), [&](const AlertRequest& r) {
                        return alerts += r.header + "|" + r.message + "|" + r.buttons.at(0) + "|" + r.buttons.at(1), reply;
                      }, server().url(page), [&](const std::string& url) { opened += url; }};
    PreferenceMap prefs = before, written;
    const int fetchesBefore = server().requestCount();
    CheckNewFirmware(settings, unit, prefs, kToday);
    readPrefsData(settings, "tavixDisp.prefs", written);
    EXPECT_EQ(alerts, alert) << name;
    EXPECT_EQ(opened, answer == 0 && !alert.empty() ? server().url("/fw") : "") << name;
    EXPECT_EQ(server().requestCount() - fetchesBefore, fetches) << name;
    EXPECT_EQ(written, (PreferenceMap{{"checked_date", kToday}, {"checked_fw_ver", recorded}})) << name;
  }
}

TEST(FirmwarePageTest, FollowsRedirectsOverHttpOnlyAndFindsTheFirstPublishedVersionQuickly) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir.file("page.html"), kPage));
  const std::pair<std::string, uint32_t> pages[] = {{server().url("/old"), k1235}, {server().url("/elsewhere"), 0},
                                                    {"file://" + dir.file("page.html"), 0}, {refusedUrl(), 0}};
  for (const auto& c : pages) EXPECT_EQ(getServerFwVersion(Settings{"", nullptr, c.first, nullptr}), c.second) << c.first;
  std::string dotted;
  while (dotted.size() < 1000000) dotted += "1.2.3.";
  const std::string filler(4u << 20, ' ');
  const std::pair<std::string, uint32_t> bodies[] = {
      {kPage, k1235},
      {row("0.256.0.7"), packed(1, 0, 0, 7)},
      {std::string(1000000, '7'), 0},
      {dotted + "4" + kCellTail, k1234},
      {filler.substr(200) + row("9.8.7.6"), packed(9, 8, 7, 6)},
      {filler + row("1.2.3.5"), 0},
  };
  for (const auto& c : bodies) EXPECT_EQ(extractFirmwareVersion(c.first), c.second) << c.first.substr(0, 60);
}

TEST(FirmwarePageTest, FetchEndsWithinItsTimeOutWhenNameServersNeverAnswer) {
#ifdef __linux__
  TempDir dir;  // three name servers that never answer, each waited for 30 s: twice the fetch's time-out
  ASSERT_TRUE(writeFile(dir.file("resolv.conf"), "options timeout:30 attempts:1\nnameserver 127.0.0.77\n"
                                                 "nameserver 127.0.0.78\nnameserver 127.0.0.79\n"));
  const pid_t child = geteuid() == 0 ? fork() : -1;
  if (child == 0) {  // in a mount namespace of its own, where the resolver reads that file
    if (unshare(CLONE_NEWNS) || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount(dir.file("resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr))
      _exit(255);
    for (const char* server : {"127.0.0.77", "127.0.0.78", "127.0.0.79"}) {
      sockaddr_in address{};
      address.sin_family = AF_INET, address.sin_port = htons(53), inet_pton(AF_INET, server, &address.sin_addr);
      if (bind(socket(AF_INET, SOCK_DGRAM, 0), reinterpret_cast<sockaddr*>(&address), sizeof address)) _exit(255);
    }
    const auto start = std::chrono::steady_clock::now();
    getServerFwVersion(Settings{"", nullptr, "https://firmware.tavix-unit.invalid/fw", nullptr});
    _exit(int(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count()));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || status == 255 << 8) GTEST_SKIP() << "needs root and unshare";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 30) << "15 s time-out plus one more; took " << (status >> 8) << " s";
#else
  GTEST_SKIP() << "name servers are swapped on Linux only";
#endif
}

}  // namespace
}  // namespace app_test
