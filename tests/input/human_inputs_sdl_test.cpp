// What the input state gives beyond the reports sent to the unit: the held
// and released masks, and the window events kept for the application.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "input/human_inputs_sdl.h"
#include "sdl_events.h"

namespace {

const uint32_t kAll = 0xFFFFFFFF;
const Uint8 kMoved = SDL_WINDOWEVENT_MOVED;
const Uint8 kResized = SDL_WINDOWEVENT_RESIZED;

class InputTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    in.reset(new HumanInputsSDL());
    in->buttonWindowId = 0xFFFF;
    in->mainWindowId = 1;
    Frame({Focus(true)});
  }
  void TearDown() override {
    in.reset();
    SDL_Quit();
  }
  bool Frame(std::vector<SDL_Event> events) {
    for (SDL_Event& e : events) EXPECT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    return in->ProcessInputs();
  }
  std::unique_ptr<HumanInputsSDL> in;
};

TEST_F(InputTest, MasksHoldForTheWholeFrame) {
  const struct { std::vector<SDL_Event> events; uint32_t trig, press, release; } frames[] = {
      {{Key(SDLK_RIGHT)}, BTN_RIGHT, BTN_RIGHT, 0}, {{Key(SDLK_LEFT)}, BTN_LEFT, BTN_LEFT | BTN_RIGHT, 0},
      {{Up(SDLK_RIGHT)}, 0, BTN_LEFT, BTN_RIGHT}, {{Up(SDLK_LEFT)}, 0, 0, BTN_LEFT}, {{}, 0, 0, 0},
      // Return latches Enter until the next Return; its release is not reported.
      {{Key(SDLK_RETURN), Up(SDLK_RETURN)}, BTN_ENTER, BTN_ENTER, 0},
      {{}, 0, BTN_ENTER, 0}, {{Key(SDLK_KP_ENTER)}, BTN_ENTER, 0, 0},
      // A left double click latches it too, until another click.
      {{Click(1, true, 2)}, 0, BTN_ENTER, 0}, {{Click(3, true)}, 0, 0, 0},
  };
  int n = 0;
  for (const auto& f : frames) {
    SCOPED_TRACE("frame " + std::to_string(++n));
    Frame(f.events);
    EXPECT_EQ(in->GetBtnTrig(kAll), f.trig);
    EXPECT_EQ(in->GetBtnPress(kAll), f.press);
    EXPECT_EQ(in->GetBtnRelease(kAll), f.release);
  }
  EXPECT_FALSE(Frame({}));
}

TEST_F(InputTest, KeepsTheQuitOfTheFrameElseItsLastWindowEvent) {
  const SDL_Event quit = Event(SDL_QUIT);
  const struct { std::vector<SDL_Event> events; Uint32 type; Uint8 sub; Sint32 d1, d2; } frames[] = {
      {{Window(kResized, 9, 9), Window(kMoved, -20, 40)}, SDL_WINDOWEVENT, kMoved, -20, 40},
      {{quit, Window(kMoved, -20, 40)}, SDL_QUIT, 0, 0, 0},
      {{Window(kResized, 9, 9), quit, Window(SDL_WINDOWEVENT_SHOWN)}, SDL_QUIT, 0, 0, 0},
      {{Window(kResized, 1000, 700), Window(SDL_WINDOWEVENT_EXPOSED)}, SDL_WINDOWEVENT, kResized, 1000, 700},
      {{Window(SDL_WINDOWEVENT_SHOWN), Window(SDL_WINDOWEVENT_CLOSE)}, 0, 0, 0, 0},
  };
  int n = 0;
  for (const auto& f : frames) {
    SCOPED_TRACE("frame " + std::to_string(++n));
    EXPECT_EQ(Frame(f.events), f.type != 0);
    const SDL_Event& e = in->lastWindowEvent;
    EXPECT_EQ(e.type, f.type);
    if (f.type != SDL_WINDOWEVENT) continue;
    EXPECT_EQ(e.window.event, f.sub);
    EXPECT_EQ(e.window.data1, f.d1);
    EXPECT_EQ(e.window.data2, f.d2);
  }
}

}  // namespace
