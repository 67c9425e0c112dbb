// The SDL input state driven by real SDL events, one ProcessInputs per frame.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <memory>
#include <set>

#include "input/human_inputs_sdl.h"

namespace {

const uint32_t kAll = 0xFFFFFFFF;

class InputTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Joystick input reaches SDL only with a focused window unless allowed in the background.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    window = SDL_CreateWindow("input", 0, 0, 640, 384, 0);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    BeforeInputs();
    in.reset(new HumanInputsSDL());
    in->buttonWindowId = 0xFFFF;
    in->mainWindowId = SDL_GetWindowID(window);
  }

  // The input state shares its held-key and joystick bits between instances:
  // leave them released for the next test.
  void TearDown() override {
    if (in) {
      in->mainWindowFocused = true;
      for (SDL_Keycode k : {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RETURN}) Key(SDL_KEYUP, k);
      Frame();
      in.reset();
    }
    AfterInputs();
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
  }

  virtual void BeforeInputs() {}
  virtual void AfterInputs() {}

  bool Frame() { return in->ProcessInputs(); }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  uint32_t Mouse() const {
    TPoint pos;
    return in->GetMouse(&pos);
  }

  void Push(SDL_Event ev) { ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError(); }
  void Key(Uint32 type, SDL_Keycode sym, bool repeat = false) {
    SDL_Event ev{};
    ev.type = type;
    ev.key.windowID = in->mainWindowId;
    ev.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    ev.key.repeat = repeat;
    ev.key.keysym.sym = sym;
    ev.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    Push(ev);
  }
  void Tap(SDL_Keycode sym) {
    Key(SDL_KEYDOWN, sym);
    Key(SDL_KEYUP, sym);
  }
  void Text(const char* text) {
    SDL_Event ev{};
    ev.type = SDL_TEXTINPUT;
    ev.text.windowID = in->mainWindowId;
    std::strncpy(ev.text.text, text, sizeof ev.text.text - 1);
    Push(ev);
  }
  void Window(Uint8 sub, Uint32 id, Sint32 d1 = 0, Sint32 d2 = 0) {
    SDL_Event ev{};
    ev.window = {SDL_WINDOWEVENT, 0, id, sub, 0, 0, 0, d1, d2};
    Push(ev);
  }
  void Click(Uint32 type, Uint8 button, Uint8 clicks) {
    SDL_Event ev{};
    ev.type = type;
    ev.button.windowID = in->mainWindowId;
    ev.button.button = button;
    ev.button.clicks = clicks;
    ev.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    Push(ev);
  }
  void Wheel(Sint32 x, Sint32 y) {
    SDL_Event ev{};
    ev.type = SDL_MOUSEWHEEL;
    ev.wheel.windowID = in->mainWindowId;
    ev.wheel.x = x;
    ev.wheel.y = y;
    Push(ev);
  }

  // Focus the main window and consume the idle key that comes with it.
  void Focused() {
    Window(SDL_WINDOWEVENT_FOCUS_GAINED, in->mainWindowId);
    Frame();
    ASSERT_EQ(in->GetKey(), KEY_IDLE);
  }

  // Frames (1-based from the press) in which a held bit pulses, up to `last`.
  std::set<int> PulseFrames(uint32_t bit, int last) {
    std::set<int> frames;
    for (int f = 2; f <= last; ++f) {
      Frame();
      EXPECT_EQ(in->GetBtnPress(bit), bit) << "frame " << f;
      if (in->GetBtnTrigRepeat(bit)) frames.insert(f);
    }
    return frames;
  }

  SDL_Window* window = nullptr;
  std::unique_ptr<HumanInputsSDL> in;
};

TEST_F(InputTest, QuietFramesReportNothing) {
  Frame();
  EXPECT_FALSE(Frame());
  EXPECT_EQ(in->GetKey(), KEY_NONE);
  EXPECT_EQ(in->GetBtnTrig(kAll) | in->GetBtnRelease(kAll) | in->GetBtnPress(kAll) | in->GetBtnRepeat(kAll), 0u);
  EXPECT_EQ(Mouse(), 0u);
  EXPECT_EQ(in->lastWindowEvent.type, 0u);
}

TEST_F(InputTest, HeldArrowTriggersThenRepeatsAndReleases) {
  Focused();
  for (int round = 0; round < 2; ++round) {
    Key(SDL_KEYDOWN, SDLK_RIGHT);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_RIGHT));
    EXPECT_EQ(in->GetBtnRepeat(kAll), 0u);
    EXPECT_EQ(in->GetKey(), KEY_RIGHT);
    // A platform auto-repeat neither triggers again nor disturbs the count.
    Key(SDL_KEYDOWN, SDLK_RIGHT, true);
    EXPECT_EQ(PulseFrames(BTN_RIGHT, 40), (std::set<int>{30, 33, 36, 39}));

    Key(SDL_KEYUP, SDLK_RIGHT);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(in->GetBtnRelease(kAll), uint32_t(BTN_RIGHT));
    EXPECT_EQ(in->GetBtnPress(kAll) | in->GetBtnTrigRepeat(kAll), 0u);
    Frame();
    EXPECT_FALSE(Frame());
  }
}

TEST_F(InputTest, RepeatCountWrapsAfter255Frames) {
  Focused();
  Key(SDL_KEYDOWN, SDLK_UP);
  Frame();
  std::set<int> expected;
  for (int f = 30; f <= 255; f += 3) expected.insert(f);
  for (int f = 256 + 30; f <= 320; f += 3) expected.insert(f);
  EXPECT_EQ(PulseFrames(BTN_UP, 320), expected);
}

TEST_F(InputTest, ReturnTogglesTheEnterLatch) {
  Focused();
  Tap(SDLK_RETURN);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_ENTER));
  EXPECT_EQ(in->GetKey(), KEY_ENTER);
  EXPECT_EQ(in->GetBtnRelease(kAll), 0u);
  for (int f = 0; f < 40; ++f) {
    Frame();
    ASSERT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_ENTER));
    ASSERT_EQ(in->GetBtnTrigRepeat(kAll), 0u) << "latched bits never repeat";
  }
  Key(SDL_KEYDOWN, SDLK_KP_ENTER);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_ENTER));
  EXPECT_EQ(in->GetKey(), KEY_ENTER);
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);
  Key(SDL_KEYUP, SDLK_KP_ENTER);
  Frame();
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);
}

TEST_F(InputTest, LeftDoubleClickLatchesEnterUntilAnotherClick) {
  Focused();
  Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(Mouse(), 0x11u);
  EXPECT_EQ(in->GetKey(), KEY_MOUSE);
  EXPECT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_ENTER));

  Click(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 2);
  Frame();
  EXPECT_EQ(Mouse(), 0x19u);
  Frames(5);
  EXPECT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_ENTER));

  Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(Mouse(), 0x04u);
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);

  // A latch set by Return is dropped by a click too.
  Tap(SDLK_RETURN);
  Frame();
  ASSERT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_ENTER));
  Click(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 1);
  Frame();
  EXPECT_EQ(Mouse(), 0x02u | MOUSE_RELEASED);
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);
}

TEST_F(InputTest, NothingFromTheUserBeforeTheMainWindowHasFocus) {
  auto pushAll = [&] {
    Key(SDL_KEYDOWN, SDLK_UP);
    Key(SDL_KEYDOWN, SDLK_RETURN);
    Key(SDL_KEYDOWN, SDLK_HOME);
    Text("a");
    Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2);
    Wheel(0, 1);
  };
  auto expectNothing = [&] {
    EXPECT_FALSE(Frame());
    EXPECT_EQ(in->GetKey(), KEY_NONE);
    EXPECT_EQ(in->GetBtnTrig(kAll) | in->GetBtnPress(kAll), 0u);
    EXPECT_EQ(Mouse(), 0u);
  };
  pushAll();
  Window(SDL_WINDOWEVENT_FOCUS_GAINED, in->mainWindowId + 7);
  expectNothing();
  Frames(200);
  EXPECT_EQ(in->GetKey(), KEY_NONE) << "no idle key without focus";

  // The idle key on focus and every 181 frames after; any key restarts the count.
  Window(SDL_WINDOWEVENT_FOCUS_GAINED, in->mainWindowId);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetKey(), KEY_IDLE);
  for (int round = 0; round < 3; ++round) {
    if (round == 2) {
      Frames(100);
      Tap(SDLK_END);
      Frame();
    }
    Frames(180);
    EXPECT_EQ(in->GetKey(), KEY_NONE) << round;
    Frame();
    EXPECT_EQ(in->GetKey(), KEY_IDLE) << round;
  }

  Window(SDL_WINDOWEVENT_FOCUS_LOST, in->mainWindowId);
  Frame();
  pushAll();
  expectNothing();
}

TEST_F(InputTest, KeysAndWheelMapToTheirCodes) {
  Focused();
  const struct {
    SDL_Keycode sym;
    uint32_t code;
  } keys[] = {
      {SDLK_BACKSPACE, KEY_BACKSPACE}, {SDLK_HOME, KEY_HOME},   {SDLK_END, KEY_END},         {SDLK_PAGEUP, KEY_PAGEUP},
      {SDLK_PAGEDOWN, KEY_PAGEDOWN},   {SDLK_F1, KEY_F1},       {SDLK_F10, KEY_F10},         {SDLK_F12, KEY_F12},
      {SDLK_KP_0, '0'},                {SDLK_KP_9, '9'},        {SDLK_KP_MINUS, '-'},        {SDLK_KP_PLUS, '+'},
      {SDLK_UP, KEY_UP},               {SDLK_LEFT, KEY_LEFT},   {SDLK_DOWN, KEY_DOWN},       {SDLK_DELETE, KEY_NONE},
      {SDLK_KP_DIVIDE, KEY_NONE},      {SDLK_a, KEY_NONE},
  };
  for (const auto& c : keys) {
    Tap(c.sym);
    Frame();
    EXPECT_EQ(in->GetKey(), c.code) << SDL_GetKeyName(c.sym);
    Frame();
  }
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);

  // Held Backspace sends its code again on each platform repeat; other repeats do not.
  Key(SDL_KEYDOWN, SDLK_BACKSPACE, true);
  Frame();
  EXPECT_EQ(in->GetKey(), KEY_BACKSPACE);
  Key(SDL_KEYDOWN, SDLK_HOME, true);
  Frame();
  EXPECT_EQ(in->GetKey(), KEY_NONE);

  Text("z");
  Frame();
  EXPECT_EQ(in->GetKey(), uint32_t('z'));
  Text("\xE3\x81\x82");
  Frame();
  EXPECT_EQ(in->GetKey(), KEY_NONE);

  const struct {
    Sint32 x, y;
    uint32_t code;
  } wheels[] = {{0, 1, KEY_WHEEL_UP},    {0, -3, KEY_WHEEL_DOWN}, {2, 0, KEY_WHEEL_RIGHT},
                {-1, 0, KEY_WHEEL_LEFT}, {1, 1, KEY_WHEEL_RIGHT}, {0, 0, KEY_NONE}};
  for (const auto& c : wheels) {
    Wheel(c.x, c.y);
    Frame();
    EXPECT_EQ(in->GetKey(), c.code) << "wheel " << c.x << "," << c.y;
  }
}

TEST_F(InputTest, LastEventOfTheFrameWins) {
  Focused();
  Text("q");
  Tap(SDLK_HOME);
  Frame();
  EXPECT_EQ(in->GetKey(), KEY_HOME);

  Tap(SDLK_LEFT);
  Text("q");
  Frame();
  EXPECT_EQ(in->GetKey(), uint32_t('q'));
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_LEFT));

  Text("q");
  Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
  Wheel(0, 1);
  Frame();
  EXPECT_EQ(in->GetKey(), KEY_MOUSE);

  Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
  Click(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1);
  Frame();
  EXPECT_EQ(Mouse(), 0x01u | MOUSE_RELEASED);

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);
  Window(SDL_WINDOWEVENT_MOVED, in->mainWindowId, -20, 40);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->lastWindowEvent.type, uint32_t(SDL_WINDOWEVENT));
  EXPECT_EQ(in->lastWindowEvent.window.event, SDL_WINDOWEVENT_MOVED);
  EXPECT_EQ(in->lastWindowEvent.window.data1, -20);

  Window(SDL_WINDOWEVENT_RESIZED, in->mainWindowId, 1000, 700);
  Push(quit);
  Window(SDL_WINDOWEVENT_SHOWN, in->mainWindowId);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->lastWindowEvent.type, uint32_t(SDL_QUIT));

  Window(SDL_WINDOWEVENT_RESIZED, in->mainWindowId, 1000, 700);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->lastWindowEvent.window.event, SDL_WINDOWEVENT_RESIZED);
  EXPECT_EQ(in->lastWindowEvent.window.data2, 700);
  EXPECT_FALSE(Frame());
  EXPECT_EQ(in->lastWindowEvent.type, 0u);
}

TEST_F(InputTest, MouseButtonReportsPositionAndPlainMoveOnlyTracksIt) {
  Focused();
  SDL_WarpMouseInWindow(window, 100, 50);
  Click(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetKey(), KEY_MOUSE);
  TPoint pos = {0, 0};
  EXPECT_EQ(in->GetMouse(&pos), 0x01u);
  EXPECT_EQ(pos.x, 100);
  EXPECT_EQ(pos.y, 50);

  Click(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1);
  Frame();
  EXPECT_EQ(Mouse(), 0x09u);

  // Button numbers beyond the 32 bits of the code are dropped.
  Click(SDL_MOUSEBUTTONDOWN, 40, 1);
  Frame();
  EXPECT_EQ(Mouse(), 0u);
  EXPECT_EQ(in->GetKey(), KEY_NONE);

  SDL_WarpMouseInWindow(window, 200, 120);
  EXPECT_FALSE(Frame());
  EXPECT_EQ(in->GetKey(), KEY_NONE);
  EXPECT_EQ(in->GetMouse(&pos), 0u);
  EXPECT_EQ(pos.x, 200);
  EXPECT_EQ(pos.y, 120);
}

TEST_F(InputTest, DigitKeysNeedTheButtonWindow) {
  Focused();
  Tap(SDLK_2);
  Frame();
  EXPECT_EQ(in->GetBtnTrig(kAll), 0u);

  in->buttonWindowId = 9;
  Window(SDL_WINDOWEVENT_FOCUS_GAINED, 9);
  Frame();
  Key(SDL_KEYDOWN, SDLK_1);
  Key(SDL_KEYDOWN, SDLK_5);
  Frame();
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_KEY1 | BTN_ENTER));
  EXPECT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_KEY1 | BTN_ENTER));
  Key(SDL_KEYUP, SDLK_1);
  Key(SDL_KEYUP, SDLK_5);
  Frame();
  EXPECT_EQ(in->GetBtnRelease(kAll), uint32_t(BTN_KEY1 | BTN_ENTER));
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);
}

// A virtual joystick with two axes and two buttons, present before the input state is made.
class JoystickTest : public InputTest {
protected:
  void BeforeInputs() override {
    joyIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 2, 0);
    ASSERT_GE(joyIndex, 0) << SDL_GetError();
    joy = SDL_JoystickOpen(joyIndex);
    ASSERT_NE(joy, nullptr) << SDL_GetError();
  }
  void AfterInputs() override {
    if (joy) SDL_JoystickClose(joy);
    if (joyIndex >= 0) SDL_JoystickDetachVirtual(joyIndex);
  }
  void TearDown() override {
    if (in && joy) {
      Set(0, 0, false, false);
      in->enableJoystick = true;
      Frame();
    }
    InputTest::TearDown();
  }
  void Set(Sint16 x, Sint16 y, bool b0, bool b1) {
    SDL_JoystickSetVirtualAxis(joy, 0, x);
    SDL_JoystickSetVirtualAxis(joy, 1, y);
    SDL_JoystickSetVirtualButton(joy, 0, b0);
    SDL_JoystickSetVirtualButton(joy, 1, b1);
  }

  int joyIndex = -1;
  SDL_Joystick* joy = nullptr;
};

TEST_F(JoystickTest, AxesPastTheThresholdGiveDirections) {
  const struct {
    Sint16 x, y;
    uint32_t bits;
  } cases[] = {
      {-16384, 16384, 0},       {-16385, 0, BTN_LEFT},
      {16385, 0, BTN_RIGHT},    {0, -16385, BTN_UP},
      {0, 16385, BTN_DOWN},     {-32768, 32767, BTN_LEFT | BTN_DOWN},
      {32767, -32768, BTN_RIGHT | BTN_UP}, {16384, -16384, 0},
  };
  for (const auto& c : cases) {
    Set(c.x, c.y, false, false);
    Frame();
    EXPECT_EQ(in->GetBtnPress(kAll), c.bits) << c.x << "," << c.y;
  }

  // From far left to far right between two frames.
  Set(-32768, 0, false, false);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_LEFT));
  Set(32767, 0, false, false);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnRelease(kAll), uint32_t(BTN_LEFT));
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_RIGHT));
  EXPECT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_RIGHT));
}

TEST_F(JoystickTest, ButtonsGiveEnterAndBackWithRepeat) {
  Set(0, 0, true, false);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_ENTER));
  EXPECT_EQ(PulseFrames(BTN_ENTER, 36), (std::set<int>{30, 33, 36}));

  Set(0, 0, false, true);
  Frame();
  EXPECT_EQ(in->GetBtnRelease(kAll), uint32_t(BTN_ENTER));
  EXPECT_EQ(in->GetBtnTrig(kAll), uint32_t(BTN_BACK));
  EXPECT_EQ(in->GetBtnPress(kAll), uint32_t(BTN_BACK));
  EXPECT_EQ(PulseFrames(BTN_BACK, 30), (std::set<int>{30}));

  Set(0, 0, false, false);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(in->GetBtnRelease(kAll), uint32_t(BTN_BACK));
  EXPECT_EQ(in->GetBtnPress(kAll), 0u);
  Frame();
  EXPECT_FALSE(Frame());
}

TEST_F(JoystickTest, IgnoredWhenDisabled) {
  in->enableJoystick = false;
  Set(-32768, 32767, true, true);
  EXPECT_FALSE(Frame());
  EXPECT_FALSE(Frame());
  EXPECT_EQ(in->GetBtnTrig(kAll) | in->GetBtnPress(kAll) | in->GetBtnRepeat(kAll), 0u);
}

}  // namespace
