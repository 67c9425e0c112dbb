#include <SDL.h>
#include <gtest/gtest.h>

#include "app/Alert.h"

namespace {

TEST(AlertTest, WithoutADisplayTheTextsGoToStandardErrorAsValidUtf8) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "dummy");
  testing::internal::CaptureStderr();
  DisplayErrorDialog("Error: TTF_OpenFont", "Couldn't open fonts/x.ttf");
  DisplayErrorDialog("Error: SDL_Init", "");
  DisplayErrorDialog(u8"ありがとう \xC0\xAF", "\x82\xA0 cut \xE3\x81");
  const std::string R = "\xEF\xBF\xBD";  // U+FFFD
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: TTF_OpenFont: Couldn't open fonts/x.ttf\nError: SDL_Init\n" +
                                                        std::string(u8"ありがとう ") + R + R + ": " + R + R + " cut " + R + R + "\n");
}

}  // namespace
