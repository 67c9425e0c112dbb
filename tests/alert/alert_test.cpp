// The modal alert: what reaches the sink, the fall-back to standard error
// when no box can be shown, and text that is not valid UTF-8.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "screen_fixture.h"

using screen_test::AlertRecorder;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

// Runs `body` with file descriptor 2 sent to a temporary file; returns what
// was written there.
template <typename Body>
std::string captureStandardError(Body body) {
  char path[] = "/tmp/tavix-stderr-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "<no temp file>";
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(fd, 2);
  body();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(fd);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  unlink(path);
  return text.str();
}

TEST(AlertTest, ErrorDialogPassesHeaderMessageAndOk) {
  AlertRecorder recorder;
  DisplayErrorDialog("Error: SDL_Init", "no video device");
  DisplayErrorDialog("Communication with T.A.V.I.X has timed out.", "");
  ASSERT_EQ(recorder.alerts.size(), 2u);
  const AlertRequest& a = recorder.alerts[0];
  EXPECT_EQ(a.header, "Error: SDL_Init");
  EXPECT_EQ(a.message, "no video device");
  EXPECT_EQ(a.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(a.defaultButton, 0);
  EXPECT_FALSE(a.informational);
  EXPECT_EQ(recorder.alerts[1].message, "");
}

TEST(AlertTest, ShowAlertReturnsTheSinksAnswer) {
  AlertRecorder recorder(1);
  AlertRequest prompt;
  prompt.header = "New firmware";
  prompt.message = "1.2.3.4";
  prompt.buttons = {"Download", "Later"};
  prompt.informational = true;
  EXPECT_EQ(showAlert(prompt), 1);
  ASSERT_EQ(recorder.alerts.size(), 1u);
  EXPECT_EQ(recorder.alerts[0].buttons, prompt.buttons);
  EXPECT_TRUE(recorder.alerts[0].informational);
}

TEST(AlertTest, InvalidUtf8IsReplacedBeforeItReachesTheSink) {
  AlertRecorder recorder;
  const struct {
    const char* in;
    std::string out;
  } cases[] = {
      {"plain", "plain"},
      {u8"ありがとう", u8"ありがとう"},
      {"\xFF\xFE" "Bad", kReplacement + kReplacement + "Bad"},
      {"cut \xE3\x81", "cut " + kReplacement + kReplacement},
      {"\xC0\xAF", kReplacement + kReplacement},                                // overlong '/'
      {"\xED\xA0\x80", kReplacement + kReplacement + kReplacement},             // surrogate
      {"\xF4\x90\x80\x80", kReplacement + kReplacement + kReplacement + kReplacement},  // above U+10FFFF
      {"\x82\xA0", kReplacement + kReplacement},                                // Shift_JIS bytes
      {u8"\U0001F600", u8"\U0001F600"},
  };
  for (const auto& c : cases) {
    DisplayErrorDialog(c.in, c.in);
    ASSERT_FALSE(recorder.alerts.empty());
    EXPECT_EQ(recorder.alerts.back().header, c.out);
    EXPECT_EQ(recorder.alerts.back().message, c.out);
  }
  DisplayErrorDialog(nullptr, nullptr);
  EXPECT_EQ(recorder.alerts.back().header, "");
}

TEST(AlertTest, WithoutADisplayTheTextsGoToStandardError) {
  ASSERT_TRUE(screen_test::startMediaLibraries());
  ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "dummy");
  int answer = 0;
  std::string err = captureStandardError([&] {
    DisplayErrorDialog("Error: TTF_OpenFont", "Couldn't open fonts/x.ttf");
    AlertRequest prompt;
    prompt.header = "Update";
    prompt.message = "Bad \xFF byte";
    prompt.buttons = {"Download", "Later"};
    answer = showAlert(prompt);
  });
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(err, "Error: TTF_OpenFont: Couldn't open fonts/x.ttf\nUpdate: Bad " + kReplacement + " byte\n");
}

}  // namespace
