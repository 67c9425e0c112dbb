#include <SDL.h>
#include <gtest/gtest.h>

#include "app/Alert.h"

namespace {

TEST(AlertTest, SinkGetsTheTextsAndOkWithInvalidUtf8Replaced) {
  const std::string R = "\xEF\xBF\xBD";  // U+FFFD
  std::vector<AlertRequest> seen;
  Settings settings;
  settings.alertSink = [&](const AlertRequest& request) { return seen.push_back(request), 0; };
  const std::pair<std::string, std::string> cases[] = {
      {u8"ありがとう", u8"ありがとう"}, {"cut \xE3\x81", "cut " + R + R}, {"\xC0\xAF", R + R}, {"\x82\xA0", R + R}};
  for (const auto& c : cases) {
    DisplayErrorDialog(settings, c.first.c_str(), c.first.c_str());
    EXPECT_EQ(seen.back().header + "|" + seen.back().message, c.second + "|" + c.second);
    EXPECT_EQ(seen.back().buttons, std::vector<std::string>{"OK"});
  }
}

TEST(AlertTest, WithoutADisplayTheTextsGoToStandardError) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "dummy");
  testing::internal::CaptureStderr();
  DisplayErrorDialog("Error: TTF_OpenFont", "Couldn't open fonts/x.ttf");
  DisplayErrorDialog("Error: SDL_Init", "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: TTF_OpenFont: Couldn't open fonts/x.ttf\nError: SDL_Init\n");
}

}  // namespace
