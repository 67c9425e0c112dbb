// The modal alert: what reaches the sink, the fall-back to standard error
// when no box can be shown, and text that is not valid UTF-8.
#include <cstdio>
#include <string>

#include "screen_fixture.h"

using screen_test::AlertRecorder;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(AlertTest, ErrorDialogPassesHeaderMessageAndOkAndShowAlertReturnsTheAnswer) {
  AlertRecorder recorder(1);
  DisplayErrorDialog("Error: SDL_Init", "no video device");
  AlertRequest prompt;
  prompt.header = "New firmware";
  prompt.buttons = {"Download", "Later"};
  prompt.informational = true;
  EXPECT_EQ(showAlert(prompt), 1);
  ASSERT_EQ(recorder.alerts.size(), 2u);
  const AlertRequest& a = recorder.alerts[0];
  EXPECT_EQ(a.header, "Error: SDL_Init");
  EXPECT_EQ(a.message, "no video device");
  EXPECT_EQ(a.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(a.defaultButton, 0);
  EXPECT_FALSE(a.informational);
  EXPECT_EQ(recorder.alerts[1].buttons, prompt.buttons);
  EXPECT_TRUE(recorder.alerts[1].informational);
}

TEST(AlertTest, InvalidUtf8IsReplacedBeforeItReachesTheSink) {
  AlertRecorder recorder;
  const std::string R = kReplacement;
  const struct {
    const char* in;
    std::string out;
  } cases[] = {
      {u8"ありがとう", u8"ありがとう"},       {u8"\U0001F600", u8"\U0001F600"},
      {"\xFF\xFE" "Bad", R + R + "Bad"},     {"cut \xE3\x81", "cut " + R + R},
      {"\xC0\xAF", R + R},                  // overlong '/'
      {"\xED\xA0\x80", R + R + R},          // surrogate
      {"\xF4\x90\x80\x80", R + R + R + R},  // above U+10FFFF
      {"\x82\xA0", R + R},                  // Shift_JIS bytes
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
  testing::internal::CaptureStderr();  // file descriptor 2 itself
  DisplayErrorDialog("Error: TTF_OpenFont", "Couldn't open fonts/x.ttf");
  AlertRequest prompt;
  prompt.header = "Update";
  prompt.message = "Bad \xFF byte";
  prompt.buttons = {"Download", "Later"};
  const int answer = showAlert(prompt);
  std::fflush(stderr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(err, "Error: TTF_OpenFont: Couldn't open fonts/x.ttf\nUpdate: Bad " + kReplacement + " byte\n");
}

}  // namespace
