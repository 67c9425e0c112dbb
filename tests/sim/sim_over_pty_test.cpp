// One session of the simulated unit over its pseudo-terminal, the program's own serial link at the other end.
#include <gtest/gtest.h>

#include <SDL_timer.h>

#include <string>

#include "SimulatedUnit.h"
#include "app_files.h"
#include "protocol/UnitWire.h"
#include "serial/CommSerial.h"

namespace {

// What the unit sends until `until` has come (at most 5 s).
std::string listen(CommSerial& link, const std::string& until) {
  std::string got;
  for (int waited = 0; waited < 5000 && got.find(until) == std::string::npos; ++waited) {
    unsigned char buf[4096];
    got.append(reinterpret_cast<char*>(buf), link.read(buf, sizeof buf));
    SDL_Delay(1);
  }
  return got;
}

TEST(SimOverPtyTest, AnswersTheVersionShowsItsScreensAndReactsToEveryReport) {
  app_test::TempDir dir;
  SimOptions options;
  ASSERT_TRUE(parseFirmwareVersion("3.1.4.15", options.firmware));
  options.recordFile = dir.file("received.bin");
  SimulatedUnit unit;
  std::string error;
  ASSERT_TRUE(unit.start(options, error)) << error;
  unit.runInBackground();
  CommSerial link;
  ASSERT_TRUE(link.OpenPort(unit.devicePath().c_str(), 230400));
  std::string sent;
  auto send = [&](const std::string& bytes) {
    sent += bytes;
    ASSERT_EQ(link.write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
              static_cast<int>(bytes.size()));
  };
  send("\xfe");
  EXPECT_NE(listen(link, "3.1.4.15").find("3.1.4.15"), std::string::npos) << "a splash naming the version";
  send(std::string("\x1b@999y\0", 7));
  EXPECT_EQ(listen(link, "V"), "\x1b@3;1;4;15V");
  send("\xfe");  // the main loop's first keep-alive: the title page
  EXPECT_EQ(listen(link, "\x1b@0Z").substr(0, 4), "\x1b@0Z");
  // Title page: the box is at the top left, the echo line on row 20 from column 8.
  const struct { std::string report, answer; } cases[] = {
      {"\x1b[C", "\x1b@0;0;40;24;80;208;32544z"},  {"\x1b[B", "\x1b@0;0;40;24;80;240;32544z"},
      {"\x1b[D", "\x1b@0;0;40;24;32;240;32544z"},  {"\x1b[A", "\x1b@0;0;40;24;32;208;32544z"},
      {"W", "\x1b[37mW"},                          {"\b", "\x1b[20;8H\x1b[1X"},
      {"\r", "\x1b[20;8H\x1b[70X"},                {"\x1b[<1;300;150M", "\x1b@3;0;0;300;150;6;6;32074z"},
      {"\x1bOR", "\x1b@32Z"},                      {"\x1b@998y", "\x1b@33Z"},
      {"\x1b@997y", "\x1b@32Z"},                   {"\x1b@996y", "Page 2/4"},
      {"\x1b[6", "Page 3/4"},                      {"\x1b@995y", "Page 2/4"},
      {"\x1b[4", "Page 4/4"},                      {"\x1b[5", "Page 3/4"},
      {"\x1b[1", "Character size 0"},
  };
  for (const auto& c : cases) {
    send(c.report);
    EXPECT_NE(listen(link, c.answer).find(c.answer), std::string::npos) << "report " << c.report.substr(1);
  }
  link.ClosePort();
  unit.stopBackground();
  EXPECT_EQ(app_test::readFile(options.recordFile), sent);
}

TEST(SimSessionTest, ARecordingPlaysFromThePageOnAtItsPaceAndAllAtOnceWhenFast) {
  Recording recording;  // what the unit sent, and what it sent that the program dropped
  recording.events = {{Recording::Event::FromUnit, 1000, "a"}, {Recording::Event::ToUnit, 1200, "\xfe"},
                      {Recording::Event::FromUnit, 1500, "b"}, {Recording::Event::Discarded, 1600, "x"},
                      {Recording::Event::FromUnit, 3000, "c"}};
  const struct { bool fast; std::vector<std::pair<uint64_t, std::string>> sent; } cases[] = {  // at what time, what
      {false, {{100, "a"}, {599, ""}, {600, "b"}, {2099, ""}, {2100, "c"}}}, {true, {{100, "abc"}}}};
  for (const auto& c : cases) {
    SimSession unit(FirmwareVersion(), replayScript(recording, c.fast));
    const std::string hello = "\xfe" + std::string(reinterpret_cast<const char*>(unit_wire::kVersionRequest), unit_wire::kVersionRequestSize);
    unit.receive(reinterpret_cast<const uint8_t*>(hello.data()), hello.size(), 0);
    EXPECT_EQ(unit.takeOutput(), "\x1b@1;0;0;0V");
    unit.receive(&unit_wire::kKeepAlive, 1, 100);  // the main loop's first keep-alive byte: the page starts
    for (const auto& [ms, bytes] : c.sent) {
      unit.tick(ms);
      EXPECT_EQ(unit.takeOutput(), bytes) << "at " << ms << (c.fast ? " ms, fast" : " ms");
    }
  }
}

}  // namespace
