// The program's command line, through the real program run as a child process.
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

#include <regex>

#include "app_harness.h"

namespace app_test {
namespace {

// build/tavixDisp started with args and extra environment, as nobody when asked; its output goes to files in dir.
class Program {
public:
  Program(const TempDir& dir, std::vector<std::string> args, std::vector<std::string> env = {}, bool asNobody = false)
      : outPath(dir.file("out" + std::to_string(++count))), errPath(outPath + ".err") {
    args.insert(args.begin(), TAVIX_BUILD_DIR "tavixDisp");
    if ((pid = fork()) != 0) return;
    for (std::string& e : env) putenv(&e[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (freopen(outPath.c_str(), "w", stdout) && freopen(errPath.c_str(), "w", stderr) &&
        (!asNobody || (setgid(65534) == 0 && setuid(65534) == 0)))
      execv(argv[0], argv.data());
    _exit(99);
  }
  int wait() {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out() const { return readFile(outPath); }
  std::string err() const { return readFile(errPath); }
  pid_t pid;

private:
  static inline int count = 0;
  const std::string outPath, errPath;
};

bool waitFor(std::function<bool()> done) {
  for (int i = 0; i < 2000 && !done(); ++i) usleep(10000);
  return done();
}

TEST(OptionsTest, PrintingOptionsEndAtOnceAndBadValuesEndWithStatusTwoAndOneLineBeforeAnyWindow) {
  TempDir dir;  // with no video driver, reaching the window would end with status 1
  const std::vector<std::string> noWindow{"SDL_VIDEODRIVER=none", "TAVIX_FIRMWARE_PAGE_URL=https://page.test/fw"};
  Program version(dir, {"--version"}, noWindow);
  EXPECT_EQ(version.wait(), 0);
  EXPECT_EQ(version.out(), "tavixDisp 1.0.0\nfirmware page: https://page.test/fw\n");
  Program help(dir, {"--help"}, noWindow);
  EXPECT_EQ(help.wait(), 0);
  EXPECT_NE(help.out().find("  --device PATH   use this serial device"), std::string::npos) << help.out();
  const std::vector<std::string> bad[] = {{"--baud", "fast"}, {"--baud", "0"},  {"--baud", "4294967296"}, {"--device", ""},
                                          {"--device"},       {"--record", ""}, {"--colour"},             {"--list", "x"}};
  for (const auto& args : bad) {
    Program run(dir, args, noWindow);
    EXPECT_EQ(run.wait(), 2) << args[0];
    const std::string err = run.err();
    EXPECT_TRUE(run.out().empty() && err.rfind("tavixDisp: ", 0) == 0 && std::count(err.begin(), err.end(), '\n') == 1)
        << err;
  }
}

TEST(OptionsTest, DeviceBaudRecordVerboseAndPageAddressApplyToARunOnADeviceDiscoveryNeverFinds) {
  TempDir dir;
  ScriptedUnit unit;
  HttpServer page([](const std::string&) { return HttpServer::page("no versions"); });
  std::filesystem::create_directories(dir.file("tavixProject/tavixDisp"));
  writeFile(dir.file("tavixProject/tavixDisp/tavixDisp.prefs"), "baudrate = 57600\n");
  writeFile(dir.file("rec"), "before|");
  Program run(dir, {"--device", unit.path(), "--baud", "115200", "--record", dir.file("rec"), "--verbose"},
              {"XDG_DATA_HOME=" + dir.path(), "TAVIX_FIRMWARE_PAGE_URL=" + page.url()});
  const std::string sent("\x1b[2JHi\x82\xa0\0\xfe\x1b@0;0;8;8;0;0;31744z", 30);
  EXPECT_TRUE(waitFor([&] { return unit.keepAlives() >= 3; }));
  unit.send(sent);
  EXPECT_TRUE(waitFor([&] { return readFile(dir.file("rec")).size() >= 47; }));
  termios line{};
  const int fd = open(unit.path().c_str(), O_RDWR | O_NOCTTY);
  EXPECT_TRUE(tcgetattr(fd, &line) == 0 && cfgetospeed(&line) == B115200);
  close(fd);
  unit.unplug();
  EXPECT_TRUE(waitFor([&] { return run.err().find("link lost") != std::string::npos; })) << run.err();
  kill(run.pid, SIGTERM);
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(readFile(dir.file("rec")), "before|\x1b@1;2;3;4V" + sent);
  EXPECT_NE(readFile(dir.file("tavixProject/tavixDisp/tavixDisp.prefs")).find("baudrate = 57600\n"), std::string::npos);
  EXPECT_EQ(page.requestCount(), 1);
  const std::regex events("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} tavixDisp: [^\\n]+\\n)+");
  EXPECT_TRUE(std::regex_match(run.err(), events)) << run.err();
  for (const std::string& event : {"device " + unit.path() + " (given)", "opened " + unit.path() + " at 115200 bit/s",
                                   std::string("the unit answered: firmware 1.2.3.4")})
    EXPECT_NE(run.err().find(event + "\n"), std::string::npos) << event;
}

TEST(OptionsTest, ListAndFailedConnectionsTellThisUserWhyADeviceCannotBeOpened) {
  if (getuid() != 0) GTEST_SKIP() << "makes devices under /dev and drops to nobody: root only";
  TempDir dir;
  chmod(dir.path().c_str(), 0777);
  PtyPair usable, busy, denied;
  chmod(usable.path(), 0666), chmod(busy.path(), 0666), chmod(denied.path(), 0600);
  const int exclusive = open(busy.path(), O_RDWR | O_NOCTTY);
  ioctl(exclusive, TIOCEXCL);
  const std::string base = "/dev/ttyUSBtavixTest" + std::to_string(getpid());
  const std::pair<std::string, std::string> cases[] = {  // device, what the user is told
      {usable.slavePath(), "can be opened"},
      {busy.slavePath(), "busy (another program holds it)"},
      {denied.slavePath(), "permission denied (install the udev rule packaging/70-tavix.rules, or join the group"},
      {"/dev/tavix-nothing", "not found"}};
  std::vector<std::unique_ptr<Program>> runs;
  for (size_t i = 0; i < 4; ++i) {
    symlink(cases[i].first.c_str(), (base + char('a' + i)).c_str());
    runs.emplace_back(new Program(dir, {"--device", base + char('a' + i)}, {"XDG_DATA_HOME=" + dir.path()}, true));
  }
  Program list(dir, {"--list"}, {}, true);
  EXPECT_EQ(list.wait(), 0);
  const std::string listed = list.out();
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '*'), 2) << listed;  // the legend and the chosen device
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NE(listed.find("  " + base + char('a' + i) + ": " + cases[i].second), std::string::npos) << listed;
    EXPECT_EQ(runs[i]->wait(), 0);
    const std::string told = i == 0 ? base + "a: no answer to the version request" : "cannot open " + base + char('a' + i) + ": " + cases[i].second;
    EXPECT_NE(runs[i]->err().find("tavixDisp: " + told), std::string::npos) << runs[i]->err();
    unlink((base + char('a' + i)).c_str());
  }
  close(exclusive);
}

}  // namespace
}  // namespace app_test
