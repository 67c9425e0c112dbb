// The program's command line, through the real program run by a shell.
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

#include <SDL_image.h>

#include <regex>

#include "app_harness.h"
#include "picture_dir.h"

namespace {
using namespace app_test;

// Runs "prefix program args" in a shell with standard output and error into dir/out and dir/out.err.
int shell(const TempDir& dir, const std::string& prefix, const std::string& args, const std::string& program = TAVIX_BUILD_DIR "tavixDisp",
          const std::string& out = "out") {
  const int status = std::system((prefix + " " + program + " " + args + " >" + dir.file(out) + " 2>" + dir.file(out + ".err")).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OptionsTest, PrintingOptionsEndAtOnceAndBadValuesEndWithStatusTwoAndOneLineBeforeAnyWindow) {
  TempDir dir;  // with no video driver, reaching the window would end with status 1
  const std::tuple<std::string, int, std::string> cases[] = {  // status, start of stdout or else of stderr
      {"--version", 0, "tavixDisp 1.0.0\nfirmware page: https://page.test/fw\n"}, {"-V", 0, "tavixDisp 1.0.0\n"}, {"--help", 0, "Usage: tavixDisp [options]\n"},
      {"-h", 0, "Usage: tavixDisp [options]\n"}, {"--baud fast", 2, "tavixDisp: bad value for --baud: \"fast\"\n"}, {"--baud=fast", 2, "tavixDisp: bad value for --baud: \"fast\"\n"},
      {"--version=1", 2, "tavixDisp: --version takes no value\n"}, {"-x", 2, "tavixDisp: unknown option \"-x\""}, {"-- --list", 2, "tavixDisp: unknown option \"--list\""}, {"--baud 0", 2, "tavixDisp: bad value"}, {"--baud 4294967296", 2, "tavixDisp: bad value"},
      {"--device ''", 2, "tavixDisp: bad value for --device"}, {"--device", 2, "tavixDisp: --device needs a value"}, {"--record ''", 2, "tavixDisp: bad value"}, {"--trace", 2, "tavixDisp: --trace needs"},
      {"--colour", 2, "tavixDisp: unknown option \"--colour\""}, {"--list x", 2, "tavixDisp: unknown option \"x\""}};
  for (const auto& [args, status, told] : cases) {
    EXPECT_EQ(shell(dir, "SDL_VIDEODRIVER=none TAVIX_FIRMWARE_PAGE_URL=https://page.test/fw", args), status) << args;
    const std::string out = readFile(dir.file("out")), err = readFile(dir.file("out.err"));
    EXPECT_TRUE(status == 0 ? err.empty() && out.rfind(told, 0) == 0
                            : out.empty() && err.rfind(told, 0) == 0 && std::count(err.begin(), err.end(), '\n') == 1) << out << err;
  }
}

TEST(OptionsTest, DeviceBaudRecordTraceVerboseAndPageAddressApplyToARunOnADeviceDiscoveryNeverFinds) {
  TempDir dir;  // a pseudo-terminal's /dev/pts path is never discovered
  ScriptedUnit unit;
  HttpServer page([](const std::string&) { return HttpServer::page("no versions"); });
  const std::string prefs = dir.file("tavixProject/tavixDisp/tavixDisp.prefs");
  EXPECT_TRUE(std::filesystem::create_directories(dir.file("tavixProject/tavixDisp")) && writeFile(prefs, "baudrate = 57600\n") && writeFile(dir.file("rec"), "before|"));
  std::thread run([&] {
    EXPECT_EQ(shell(dir, "XDG_DATA_HOME=" + dir.path() + " TAVIX_FIRMWARE_PAGE_URL=" + page.url() + " sh -c 'echo $$ >" + dir.file("pid") + "; exec \"$0\" \"$@\"'",
                    "--device=" + unit.path() + " --baud 115200 --record=" + dir.file("rec") + " --trace " + dir.file("trace") + " --verbose --"), 0);
  });
  const std::string sent("\x1b[2JH\x1b[9;99;9;9;9;9m\x82\xa0\0\xfe\x1b@0;0;8;8;0;0;31744z", 44);
  EXPECT_TRUE(waitFor([&] { return unit.keepAlives() >= 3; }));
  // A second program on the same device is turned away; the first keeps its link and its line.
  EXPECT_EQ(shell(dir, "XDG_DATA_HOME=" + dir.path() + " timeout 60", "--device " + unit.path(), TAVIX_BUILD_DIR "tavixDisp", "second"), kExitCannotConnect);
  EXPECT_NE(readFile(dir.file("second.err")).find("tavixDisp: cannot open " + unit.path() + ": busy"), std::string::npos) << readFile(dir.file("second.err"));
  EXPECT_TRUE(unit.send(sent));
  EXPECT_TRUE(waitFor([&] { return readFile(dir.file("trace")).find("draw_fillrect") != std::string::npos; }));
  termios line{};  // the line as the program set it up
  EXPECT_TRUE(tcgetattr(unit.lineFd(), &line) == 0 && cfgetospeed(&line) == B115200);
  unit.unplug();
  EXPECT_TRUE(waitFor([&] { return readFile(dir.file("out.err")).find("link lost\n") != std::string::npos; }));
  kill(std::stoi(readFile(dir.file("pid"))), SIGTERM);
  run.join();
  // The trace, without its times and keep-alive bytes, line by line; the recording, which replaced the file, decodes to the same lines.
  std::string trace = readFile(dir.file("trace")), events;
  std::smatch m;
  for (auto at = trace.cbegin(); std::regex_search(at, trace.cend(), m, std::regex("^ *\\d+\\.\\d{3} (.*)\n")); at = m.suffix().first)
    events += m[1] == "H>U \"\\xfe\" keep-alive" ? "" : m[1].str() + "\n";
  EXPECT_EQ(events, "--- opened " + unit.path() + " at 115200 bit/s\nH>U \"\\e@999y\\x00\" version request\nU>H \"\\e@1;2;3;4V\" firmware version 1.2.3.4\n"
                    "U>H \"\\e[2J\" clear()\nU>H \"H\" puts_(\"H\")\nU>H \"\\e[9;99;9;9;9;9m\" ignored: wrong number of values\nU>H \"\\x82\\xa0\" puts_(\"あ\")\n"
                    "U>H \"\\x00\" ignored: a control byte without effect\nU>H \"\\xfe\" dropped: a Shift_JIS lead byte without its trail byte\n"
                    "U>H \"\\e@0;0;8;8;0;0;31744z\" draw_fillrect(0, 8, 8, 0, 0, 31744)\n--- link lost\n");
  EXPECT_NE(readFile(prefs).find("baudrate = 57600\n"), std::string::npos);
  EXPECT_EQ(page.requestCount(), 1);
  const std::string stamp = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} tavixDisp: ", device = unit.path();
  EXPECT_TRUE(std::regex_match(readFile(dir.file("out.err")), std::regex(stamp + "device " + device + " \\(given\\)\n" + stamp + "opened " + device +
                                                                 " at 115200 bit/s\n" + stamp + "the unit answered: firmware 1.2.3.4\n" + stamp + "link lost\n")))
      << readFile(dir.file("out.err"));
  EXPECT_EQ(shell(dir, "", "--decode " + dir.file("rec"), TAVIX_BUILD_DIR "tavixSim"), 0);
  EXPECT_EQ(readFile(dir.file("out")), trace);
}

TEST(OptionsTest, APictureIsTakenFromTheImagesFolderElseTheUsersElseBesideTheProgramAndVerboseTellsWhichOnce) {
  TempDir dir;
  screen_test::PictureDir images, user;  // user: the data folder tavixProject/tavixDisp/ under XDG_DATA_HOME
  const std::string mine = user.base() + "tavixProject/tavixDisp/Image/";
  ASSERT_TRUE(images.add("1.jpg", 8, 8, 250, 0, 0) && user.add("tavixProject/tavixDisp/Image/1.jpg", 8, 8, 0, 0, 250) &&
              user.add("tavixProject/tavixDisp/Image/2.jpg", 8, 8, 0, 250, 0) && writeFile(dir.file("rec"), "\x1b@1;0;0;0I\x1b@2;0;8;0I\x1b@3;0;16;0I\x1b@2;0;24;0I"));
  EXPECT_EQ(shell(dir, "XDG_DATA_HOME=" + user.base(), "--replay " + dir.file("rec") + " --png " + dir.file("s.png") + " --images " + images.base() + " --verbose",
                  TAVIX_BUILD_DIR "tavixSim"), 0);
  const std::pair<int, std::string> drawn[] = {{0, images.base() + "1.jpg"}, {8, mine + "2.jpg"}, {16, TAVIX_BUILD_DIR "Image/3.jpg"}, {24, mine + "2.jpg"}};
  SDL_Surface* shot = IMG_Load(dir.file("s.png").c_str());
  for (const auto& [x, file] : drawn) {  // the screen's pixel at (x + 4, 4) is the picture's at (4, 4)
    SDL_Surface* picture = IMG_Load(file.c_str());
    ASSERT_TRUE(shot && picture) << file;
    const auto rgb = [](SDL_Surface* s, int px) { return std::string(static_cast<char*>(s->pixels) + 4 * s->pitch + px * 3, 3); };
    EXPECT_EQ(rgb(shot, x + 4), rgb(picture, 4)) << file;
    SDL_FreeSurface(picture);
  }
  SDL_FreeSurface(shot);
  EXPECT_EQ(readFile(dir.file("out.err")), "tavixSim: picture 1.jpg from " + images.base() + "\ntavixSim: picture 2.jpg from " + mine +
                                               "\ntavixSim: picture 3.jpg from " TAVIX_BUILD_DIR "Image/\n");
}

TEST(OptionsTest, ListAndFailedConnectionsTellThisUserWhyADeviceCannotBeOpened) {
  if (getuid() != 0) GTEST_SKIP() << "makes devices under /dev and drops to nobody: root only";
  TempDir dir;
  PtyPair usable, busy, denied;
  chmod(dir.path().c_str(), 0777), chmod(usable.path(), 0666), chmod(busy.path(), 0666), chmod(denied.path(), 0600);
  // nobody runs a copy of the program with its fonts in this folder: the build's folder may be one only its owner can enter.
  const std::string program = dir.file("tavixDisp");
  std::filesystem::copy(TAVIX_BUILD_DIR "fonts", dir.file("fonts"), std::filesystem::copy_options::recursive);
  ASSERT_TRUE(std::filesystem::copy_file(TAVIX_BUILD_DIR "tavixDisp", program));
  const int exclusive = open(busy.path(), O_RDWR | O_NOCTTY), madeExclusive = ioctl(exclusive, TIOCEXCL);
  const std::string base = "/dev/ttyUSBtavixTest" + std::to_string(getpid()), nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  const std::pair<std::string, std::string> cases[] = {  // device, what the user is told
      {usable.slavePath(), "can be opened"}, {busy.slavePath(), "busy (another program holds it)"}, {"/dev/tavix-nothing", "not found"},
      {denied.slavePath(), "permission denied (install the udev rule packaging/70-tavix.rules, or join the group"}, {"/dev/null", "can be opened"}};
  for (char c : {'a', 'b', 'c', 'd', 'e'}) ASSERT_EQ(symlink(cases[c - 'a'].first.c_str(), (base + c).c_str()), 0);
  EXPECT_EQ(shell(dir, "for d in a b c d e; do (XDG_DATA_HOME=" + dir.path() + " " + nobody, "--device " + base + "$d 2>" + dir.file("$d") + "; echo $? >" +
                  dir.file("$d.status") + ") & done; wait; " + nobody + " " + program + " --list", program), 0);
  const std::string listed = readFile(dir.file("out"));
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '*') + madeExclusive, 2) << listed;  // the legend and the chosen device
  for (char c : {'a', 'b', 'c', 'd', 'e'}) {
    EXPECT_NE(listed.find("  " + base + c + ": " + cases[c - 'a'].second), std::string::npos) << listed;
    const std::string told = c == 'a' ? base + "a: no answer to the version request"
                             : "cannot open " + base + c + ": " + (c == 'e' ? "it opens, but not as a serial line at 230400 bit/s" : cases[c - 'a'].second);
    EXPECT_NE(readFile(dir.file(std::string(1, c))).find("tavixDisp: " + told), std::string::npos) << readFile(dir.file(std::string(1, c)));
    EXPECT_EQ(readFile(dir.file(c + std::string(".status"))), c == 'a' ? "4\n" : "3\n") << "no answer, else cannot open";
    unlink((base + c).c_str());
  }
  close(exclusive);
}

}  // namespace
