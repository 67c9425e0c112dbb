// What the input state gives beyond the reports sent to the unit: the held
// and released masks, and the window events kept for the application.
#include <gtest/gtest.h>

#include <array>
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

TEST_F(InputTest, AFrameKeepsItsQuitOrOneMoveOrResizeAndTheNextOneFollowsAtOnce) {
  const SDL_Event quit = Event(SDL_QUIT);
  using Seen = std::vector<std::array<Sint32, 4>>;  // per frame: type, window sub-event, data1, data2
  const struct { std::vector<SDL_Event> events; Seen frames; } cases[] = {
      {{Window(kResized, 9, 9), Window(kMoved, -20, 40)}, {{SDL_WINDOWEVENT, kResized, 9, 9}, {SDL_WINDOWEVENT, kMoved, -20, 40}}},
      {{quit, Window(kMoved, -20, 40)}, {{SDL_QUIT, 0, 0, 0}, {SDL_WINDOWEVENT, kMoved, -20, 40}}},
      {{Window(kResized, 9, 9), quit, Window(SDL_WINDOWEVENT_SHOWN)}, {{SDL_WINDOWEVENT, kResized, 9, 9}, {SDL_QUIT, 0, 0, 0}}},
      {{Window(kResized, 1000, 700), Window(SDL_WINDOWEVENT_EXPOSED)}, {{SDL_WINDOWEVENT, kResized, 1000, 700}}},
      {{Window(SDL_WINDOWEVENT_SHOWN), Window(SDL_WINDOWEVENT_CLOSE)}, {{0, 0, 0, 0}}},
  };
  for (const auto& c : cases) {
    Seen seen;
    for (bool first = true; first || in->pending(); first = false) {
      const bool happened = first ? Frame(c.events) : Frame({});
      const SDL_Event& e = in->lastWindowEvent;
      seen.push_back({static_cast<Sint32>(e.type), e.type == SDL_WINDOWEVENT ? e.window.event : 0, e.type == SDL_WINDOWEVENT ? e.window.data1 : 0,
                      e.type == SDL_WINDOWEVENT ? e.window.data2 : 0});
      EXPECT_EQ(happened, e.type != 0);
    }
    EXPECT_EQ(seen, c.frames) << "case " << &c - cases;
  }
}

}  // namespace
