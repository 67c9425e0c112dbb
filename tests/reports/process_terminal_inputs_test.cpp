// The user's input as the unit receives it: SDL events, a virtual joystick
// and the pointer go through the input state and the report encoder, frame
// by frame as in the main loop, into the bytes the unit receives.
#include <gtest/gtest.h>

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "../input/sdl_events.h"
#include "input/human_inputs_sdl.h"
#include "protocol/ProcessTerminalInputs.h"

namespace {

// What reaches the unit.
struct Unit : ByteSink {
  void send(const unsigned char* bytes, unsigned len) override { received.append(reinterpret_cast<const char*>(bytes), len); }
  std::string received;
};
const Uint32 kButtonWindow = 9;

// Not pushed but carried out by the test: the pointer moves; the joystick's
// stick and buttons 0 and 1 (bits of buttons) are set; joystick polling is
// switched on or off.
SDL_Event Point(Sint32 x, Sint32 y) {
  SDL_Event e = Event(SDL_MOUSEMOTION);
  e.motion.x = x;
  e.motion.y = y;
  return e;
}
SDL_Event Stick(Sint16 x, Sint16 y, Uint8 buttons = 0) {
  SDL_Event e{};
  e.jball = {SDL_JOYBALLMOTION, 0, 0, buttons, 0, 0, 0, x, y};
  return e;
}
SDL_Event Joystick(bool on) { return Event(on ? SDL_JOYDEVICEADDED : SDL_JOYDEVICEREMOVED); }

std::string Repeated(int n, const std::string& s) { return n > 0 ? s + Repeated(n - 1, s) : ""; }

// What happens before a step's first frame, what reaches the unit over all its frames.
struct Step {
  std::vector<SDL_Event> events;
  std::string bytes;
  int frames = 1;
  int scale = 1;
  TPoint corner{0, 0};  // the screen's corner in the window
};

class ReportTest : public ::testing::Test {
protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    window = SDL_CreateWindow("reports", 0, 0, 640, 384, 0);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 2, 0);
    joy = SDL_JoystickOpen(index);
    ASSERT_NE(joy, nullptr) << SDL_GetError();
    in.reset(new HumanInputsSDL());
    in->buttonWindowId = kButtonWindow;
    in->mainWindowId = 1;
  }
  void TearDown() override {
    in.reset();
    SDL_Quit();
  }

  void Apply(SDL_Event e) {
    switch (e.type) {
      case SDL_MOUSEMOTION: SDL_WarpMouseInWindow(window, e.motion.x, e.motion.y); break;
      case SDL_JOYBALLMOTION:
        SDL_JoystickSetVirtualAxis(joy, 0, e.jball.xrel);
        SDL_JoystickSetVirtualAxis(joy, 1, e.jball.yrel);
        SDL_JoystickSetVirtualButton(joy, 0, e.jball.ball & 1);
        SDL_JoystickSetVirtualButton(joy, 1, e.jball.ball >> 1);
        break;
      case SDL_JOYDEVICEADDED: in->enableJoystick = true; break;
      case SDL_JOYDEVICEREMOVED: in->enableJoystick = false; break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: SDL_GetMouseState(&e.button.x, &e.button.y);  // where the pointer is
      // fall through
      default: ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
  }

  // Runs the steps as the main loop does: each of a step's frames at the
  // repeat rhythm, followed at once by frames for the input still waiting.
  void Run(const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& s : steps) {
      SCOPED_TRACE("step " + std::to_string(++n));
      for (const SDL_Event& e : s.events) Apply(e);
      Unit unit;
      bool written = false;
      for (int f = 0; f < s.frames; ++f) {
        for (bool timed = true; timed || in->pending(); timed = false) {
          if (in->ProcessInputs(timed) && ProcessTerminalInputs(in.get(), unit, s.scale, s.corner)) written = true;
        }
      }
      EXPECT_EQ(written, !s.bytes.empty());
      EXPECT_EQ(unit.received, s.bytes);
    }
  }

  SDL_Window* window = nullptr;
  SDL_Joystick* joy = nullptr;
  std::unique_ptr<HumanInputsSDL> in;
};

TEST_F(ReportTest, EventsOfEachFrameReachTheUnitAsReports) {
  Run({
      // Nothing from keyboard or mouse before the window has focus; focus alone sends nothing.
      {{Key(SDLK_UP), Up(SDLK_UP), Key(SDLK_HOME), Text("a"), Click(1, true), Wheel(0, 1)}, ""},
      {{Focus(true)}, "", 200},
      // Arrows, Return, Backspace and navigation keys, one per frame.
      {{Key(SDLK_UP), Up(SDLK_UP)}, "\x1b[A"}, {{Key(SDLK_DOWN), Up(SDLK_DOWN)}, "\x1b[B"},
      {{Key(SDLK_RIGHT), Up(SDLK_RIGHT)}, "\x1b[C"}, {{Key(SDLK_LEFT), Up(SDLK_LEFT)}, "\x1b[D"},
      {{Key(SDLK_RETURN), Up(SDLK_RETURN)}, "\r", 40}, {{Key(SDLK_KP_ENTER)}, "\r"},
      {{Key(SDLK_BACKSPACE)}, "\b"}, {{Key(SDLK_BACKSPACE, true, true)}, "\b"},
      {{Key(SDLK_HOME, true, true)}, ""},
      {{Key(SDLK_HOME)}, "\x1b[1"}, {{Key(SDLK_END)}, "\x1b[4"},
      {{Key(SDLK_PAGEUP)}, "\x1b[5"}, {{Key(SDLK_PAGEDOWN)}, "\x1b[6"},
      {{Key(SDLK_F1)}, "\x1bOP"}, {{Key(SDLK_F2)}, "\x1bOQ"}, {{Key(SDLK_F3)}, "\x1bOR"}, {{Key(SDLK_F4)}, "\x1bOS"},
      {{Key(SDLK_F5)}, "\x1bOT"}, {{Key(SDLK_F6)}, "\x1bOU"}, {{Key(SDLK_F7)}, "\x1bOV"}, {{Key(SDLK_F8)}, "\x1bOW"},
      {{Key(SDLK_F9)}, "\x1bOX"}, {{Key(SDLK_F10)}, "\x1bOY"},
      // Keys that send nothing; the digit keys only with the button window focused.
      {{Key(SDLK_F11)}, ""}, {{Key(SDLK_F12)}, ""}, {{Key(SDLK_DELETE)}, ""}, {{Key(SDLK_2), Up(SDLK_2)}, ""},
      // Typed characters and the keypad.
      {{Text(" ")}, " "}, {{Text("a")}, "a"}, {{Text("~")}, "~"}, {{Text("\xE3\x81\x82")}, ""},
      {{Key(SDLK_KP_0)}, "0"}, {{Key(SDLK_KP_9)}, "9"}, {{Key(SDLK_KP_MINUS)}, "-"}, {{Key(SDLK_KP_PLUS)}, "+"},
      // Keys that come together reach the unit one after another, in order, each character of a text.
      {{Text("q"), Key(SDLK_HOME)}, "q\x1b[1"}, {{Key(SDLK_HOME), Text("q")}, "\x1b[1q"}, {{Text("ab\xC3\xA9" "c")}, "abc"},
      // The wheel; turned both ways, the vertical step first.
      {{Wheel(0, 1)}, "\x1b@995y"}, {{Wheel(0, -2)}, "\x1b@996y"}, {{Wheel(-1, 0)}, "\x1b@997y"},
      {{Wheel(3, 0)}, "\x1b@998y"}, {{Wheel(1, 1)}, "\x1b@995y\x1b@998y"},
      // Mouse buttons at the pointer, divided by the scale; a plain move sends nothing.
      {{Point(300, 200)}, ""},
      {{Text("q"), Click(1, true), Wheel(0, 1)}, "q\x1b[<1;150;100M\x1b@995y", 1, 2},
      {{Click(1, false)}, "\x1b[<9;150;100M", 1, 2},
      // Measured from the screen's corner: centred in a larger window, or beyond the window's corner.
      {{Click(1, true)}, "\x1b[<1;120;92M", 1, 2, {60, 16}}, {{Click(1, false)}, "\x1b[<9;320;220M", 1, 1, {-20, -20}},
      {{Point(639, 383), Click(3, true)}, "\x1b[<4;213;127M", 1, 3},
      {{Click(2, false)}, "\x1b[<10;639;383M"},
      {{Click(1, true, 2)}, "\x1b[<17;639;383M"}, {{Click(1, false, 2)}, "\x1b[<25;639;383M", 40},
      // Presses that come together, a tap among them, each reported in the order made.
      {{Key(SDLK_UP), Key(SDLK_RETURN), Key(SDLK_HOME), Up(SDLK_UP)}, "\x1b[A\r\x1b[1"},
      {{Key(SDLK_LEFT), Key(SDLK_RIGHT), Key(SDLK_DOWN), Key(SDLK_RETURN), Up(SDLK_LEFT), Up(SDLK_RIGHT),
        Up(SDLK_DOWN), Click(1, true), Click(1, false), Key(SDLK_UP), Up(SDLK_UP), Key(SDLK_UP), Up(SDLK_UP)},
       "\x1b[D\x1b[C\x1b[B\r\x1b[<1;639;383M\x1b[<9;639;383M\x1b[A\x1b[A"},
      // A held arrow: pressed, then again in its 30th frame and every 3 frames; none after the release.
      {{Key(SDLK_DOWN)}, "\x1b[B"}, {{Key(SDLK_DOWN, true, true)}, "", 28}, {{Text("x")}, "\x1b[Bx"},
      {{}, "", 2}, {{}, "\x1b[B"}, {{}, "", 2}, {{}, "\x1b[B"}, {{Up(SDLK_DOWN)}, "", 40},
      // Held past 255 frames the count starts again.
      {{Key(SDLK_UP)}, "\x1b[A", 29}, {{}, Repeated(76, "\x1b[A"), 226}, {{}, "", 30}, {{}, "\x1b[A"},
      {{Up(SDLK_UP)}, ""},
      // The button window's digit keys 1 to 5; digit 2 sends what Up sends.
      {{Focus(true, kButtonWindow)}, ""},
      {{Key(SDLK_5), Key(SDLK_4), Key(SDLK_3), Key(SDLK_1), Up(SDLK_5), Up(SDLK_4), Up(SDLK_3), Up(SDLK_1)},
       "\r\x1b[C\x1b[B\x1b[D"},
      {{Key(SDLK_2), Key(SDLK_UP), Up(SDLK_2), Up(SDLK_UP)}, "\x1b[A\x1b[A"},
      // The joystick: stick past the threshold and two buttons, whatever the focus.
      {{Focus(false), Focus(false, kButtonWindow), Text("a"), Key(SDLK_UP)}, ""},
      {{Stick(-16384, 16384)}, ""}, {{Stick(-16385, 0)}, "\x1b[D"}, {{Stick(16385, 0)}, "\x1b[C"},
      {{Stick(0, 16385)}, "\x1b[B"}, {{Stick(0, -16385)}, "\x1b[A"}, {{Stick(0, 0)}, ""},
      {{Stick(0, 0, 1)}, "\r", 29}, {{}, "\r"}, {{Stick(0, 0, 2)}, "\b"}, {{Stick(0, 0)}, ""},
      // Polling switched off: the joystick is not read until it is switched on again.
      {{Joystick(false), Stick(-32768, 0, 1)}, "", 40}, {{Joystick(true)}, "\x1b[D\r"}, {{Stick(0, 0)}, ""},
  });
}

// A frame with one mouse event, at positions SDL does not give.
struct MouseAt : HumanInputsSDL {
  MouseAt(uint32_t code, TPoint pos) : code(code), pos(pos) {}
  uint32_t GetKey() const override { return KEY_MOUSE; }
  uint32_t GetMouse(TPoint* p) const override { return *p = pos, code; }
  uint32_t code;
  TPoint pos;
};

TEST_F(ReportTest, MouseCoordinatesAreSentAsUnsigned16BitQuotients) {
  const struct { uint32_t code; TPoint pos; int scale; std::string bytes; } cases[] = {
      {0, {641, 17}, 1, "\x1b[<0;641;17M"},  // a drag
      {1, {-3, 10}, 1, "\x1b[<1;65533;10M"},
      {9, {-3, -1}, 2, "\x1b[<9;65535;0M"},
      {4, {-32768, 32767}, 3, "\x1b[<4;54614;10922M"},
  };
  for (const auto& c : cases) {
    MouseAt state(c.code, c.pos);
    Unit unit;
    EXPECT_TRUE(ProcessTerminalInputs(&state, unit, c.scale));
    EXPECT_EQ(unit.received, c.bytes);
  }
}

}  // namespace
