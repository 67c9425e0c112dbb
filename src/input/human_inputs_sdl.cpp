#include "input/human_inputs_sdl.h"

#include "input/sdl_key_map.h"

#include <cstring>

namespace {

// Shared by every instance; the program makes only one.
SDL_Joystick* SDLJoy = nullptr;
uint32_t SDLKeys = 0;      // button bits held on the keyboard
uint32_t JoyKeys = 0;      // button bits given by the joystick now
uint32_t JoyLastKeys = 0;  // JoyKeys of the previous frame

const uint32_t kRepeatDelayFrames = 30;
const uint32_t kRepeatRateFrames = 3;
const uint32_t kIdleFrames = 180;
const uint32_t kIdleAtOnce = 0xFFFF;
const uint32_t kHeldMouseButtons = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK | SDL_BUTTON_RMASK;

// A character of a text event that is a key code: printable ASCII.
bool printable(char c) { return c >= 32 && c <= 126; }

}  // namespace

HumanInputsSDL::HumanInputsSDL()
    : btnTrig(0),
      btnRelease(0),
      btnPress(0),
      btnRepeat(0),
      repeatCount(),
      repeatRateFrames(kRepeatRateFrames),
      repeatDelayFrames(kRepeatDelayFrames),
      key(KEY_NONE),
      latch(0),
      idleFrames(0),
      mouseCode(0),
      mousePos{0, 0},
      buttonWindowFocused(false),
      mainWindowFocused(false),
      enableJoystick(true),
      buttonWindowId(1),
      mainWindowId(2) {
  std::memset(&lastWindowEvent, 0, sizeof(lastWindowEvent));
  SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  if (SDL_NumJoysticks() > 0) SDLJoy = SDL_JoystickOpen(0);
}

HumanInputsSDL::~HumanInputsSDL() {
  if (SDLJoy && SDL_JoystickGetAttached(SDLJoy)) SDL_JoystickClose(SDLJoy);
  SDLJoy = nullptr;
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

uint32_t HumanInputsSDL::GetMouse(TPoint* pos) const {
  if (pos) *pos = mousePos;
  return mouseCode;
}

void HumanInputsSDL::UnsetLatch() {
  if (latch == 0) return;
  latch = 0;
  std::memset(repeatCount, 0, sizeof(repeatCount));
}

bool HumanInputsSDL::pollsJoystick() const {
  return enableJoystick && SDLJoy != nullptr;
}

void HumanInputsSDL::releaseUnusedJoystick() {
  if (enableJoystick || !SDL_WasInit(SDL_INIT_JOYSTICK)) return;
  if (SDLJoy && SDL_JoystickGetAttached(SDLJoy)) SDL_JoystickClose(SDLJoy);
  SDLJoy = nullptr;
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

bool HumanInputsSDL::bearsReport(const SDL_Event& ev) const {
  switch (ev.type) {
    case SDL_KEYDOWN:
      if (ev.key.repeat) return mainWindowFocused && ev.key.keysym.sym == SDLK_BACKSPACE;
      return (buttonWindowFocused && DigitButton(ev.key.keysym.sym) != 0) ||
             (mainWindowFocused && KeyCode(ev.key.keysym.sym) != KEY_NONE);
    case SDL_TEXTINPUT:
      if (!mainWindowFocused) return false;
      for (const char* c = ev.text.text; *c != '\0'; ++c) {
        if (printable(*c)) return true;
      }
      return false;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return mainWindowFocused && takesButton(ev.button);
    case SDL_MOUSEWHEEL:
      return mainWindowFocused && (ev.wheel.x != 0 || ev.wheel.y != 0);
    default:
      return false;
  }
}

bool HumanInputsSDL::takesButton(const SDL_MouseButtonEvent& ev) const {
  const uint32_t bit = ButtonBit(ev);
  if (bit == 0) return false;
  if (ev.type == SDL_MOUSEBUTTONUP) return (offScreenButtons & bit) == 0;
  const SDL_Point at{ev.x, ev.y};
  return SDL_PointInRect(&at, &screenArea);
}

// Every printable character of the text, in order: the first is this
// frame's key, the others wait for the frames after it.
void HumanInputsSDL::takeText(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (!printable(*c)) continue;
    if (key == KEY_NONE) {
      key = static_cast<unsigned char>(*c);
    } else {
      pendingKeys.push_back(static_cast<unsigned char>(*c));
    }
  }
}

bool HumanInputsSDL::ProcessInputs(bool countsRepeats) {
  key = KEY_NONE;
  lastWindowEvent.type = 0;
  mouseCode = 0;
  uint32_t trig = 0;
  uint32_t release = 0;
  bool windowEvent = false;
  // A key code left from an event that carried several comes first.
  bool reported = !pendingKeys.empty();
  if (reported) {
    key = pendingKeys.front();
    pendingKeys.pop_front();
  }
  TPoint buttonPos = mousePos;

  SDL_PumpEvents();
  waiting = false;
  SDL_Event ev;
  while (SDL_PeepEvents(&ev, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
    // A quit too waits for the next frame behind a move or resize, which is
    // then stored before the program ends.
    const bool windowChange = ev.type == SDL_QUIT ||
                              (ev.type == SDL_WINDOWEVENT && (ev.window.event == SDL_WINDOWEVENT_MOVED ||
                                                              ev.window.event == SDL_WINDOWEVENT_RESIZED));
    const bool bears = bearsReport(ev);
    if ((bears && reported) || (windowChange && lastWindowEvent.type != 0)) {
      waiting = true;
      break;
    }
    SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    reported = reported || bears;
    switch (ev.type) {
      case SDL_QUIT:
        lastWindowEvent = ev;
        windowEvent = true;
        break;

      case SDL_WINDOWEVENT:
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_MOVED:
          case SDL_WINDOWEVENT_RESIZED:
            lastWindowEvent = ev;
            windowEvent = true;
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
          case SDL_WINDOWEVENT_FOCUS_LOST: {
            const bool gained = ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
            if (ev.window.windowID == buttonWindowId) buttonWindowFocused = gained;
            if (ev.window.windowID == mainWindowId) {
              mainWindowFocused = gained;
              if (gained) idleFrames = kIdleAtOnce;
            }
            break;
          }
          default:
            break;
        }
        break;

      case SDL_KEYDOWN: {
        const SDL_Keycode sym = ev.key.keysym.sym;
        if (!ev.key.repeat) {
          if (buttonWindowFocused) trig |= DigitButton(sym);
          if (mainWindowFocused) {
            const uint32_t code = KeyCode(sym);
            if (code != KEY_NONE) key = code;
            trig |= ArrowButton(sym);
            if (code == KEY_ENTER) {
              latch ^= BTN_ENTER;
              trig |= BTN_ENTER;
            }
          }
        }
        if (buttonWindowFocused) SDLKeys |= DigitButton(sym);
        if (mainWindowFocused) SDLKeys |= ArrowButton(sym);
        break;
      }

      case SDL_KEYUP: {
        const SDL_Keycode sym = ev.key.keysym.sym;
        if (buttonWindowFocused) {
          release |= DigitButton(sym);
          SDLKeys &= ~DigitButton(sym);
        }
        if (mainWindowFocused) {
          release |= ArrowButton(sym);
          SDLKeys &= ~ArrowButton(sym);
          if (sym == SDLK_RETURN) SDLKeys &= ~static_cast<uint32_t>(BTN_ENTER);
        }
        break;
      }

      default:
        break;
    }

    if (!mainWindowFocused) continue;

    switch (ev.type) {
      case SDL_TEXTINPUT:
        takeText(ev.text.text);
        break;
      case SDL_KEYDOWN:
        if (ev.key.repeat && ev.key.keysym.sym == SDLK_BACKSPACE) key = KEY_BACKSPACE;
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const uint32_t bit = ButtonBit(ev.button);
        const bool taken = takesButton(ev.button);
        // A press decides for its release: taken on the screen, left alone off it.
        offScreenButtons &= ~bit;
        if (!taken && ev.type == SDL_MOUSEBUTTONDOWN) offScreenButtons |= bit;
        if (!taken) break;
        mouseCode = MouseButtonCode(ev.button, ev.type == SDL_MOUSEBUTTONUP);
        buttonPos = {static_cast<int16_t>(ev.button.x), static_cast<int16_t>(ev.button.y)};
        break;
      }
      case SDL_MOUSEWHEEL:
        // Both ways in one event: the vertical step now, the horizontal one next.
        if (ev.wheel.y > 0) key = KEY_WHEEL_UP;
        if (ev.wheel.y < 0) key = KEY_WHEEL_DOWN;
        if (ev.wheel.x != 0) {
          const uint32_t sideways = ev.wheel.x > 0 ? KEY_WHEEL_RIGHT : KEY_WHEEL_LEFT;
          if (ev.wheel.y != 0) {
            pendingKeys.push_back(sideways);
          } else {
            key = sideways;
          }
        }
        break;
      default:
        break;
    }
    // Keep the pointer while a button is down, even outside the window.
    if (mouseCode != 0) {
      SDL_CaptureMouse((mouseCode & MOUSE_RELEASED) ? SDL_FALSE : SDL_TRUE);
    }
  }

  // Mouse position, buttons held for drags, and the double-click latch. A
  // button event is reported where it happened; a drag in a frame whose key
  // code is taken is reported in the next one.
  int mx = 0;
  int my = 0;
  const uint32_t held = SDL_GetMouseState(&mx, &my) & kHeldMouseButtons & ~offScreenButtons;
  const TPoint pointer = {static_cast<int16_t>(mx), static_cast<int16_t>(my)};
  const TPoint pos = mouseCode != 0 ? buttonPos : pointer;
  const bool moved = pos.x != mousePos.x || pos.y != mousePos.y;
  const bool dragged = held != 0 && moved && mouseCode == 0;
  if (dragged && key != KEY_NONE) {
    waiting = true;
  } else if (mouseCode != 0 || moved) {
    mousePos = pos;
    if (held != 0 || mouseCode != 0) {
      key = KEY_MOUSE;
      if ((mouseCode & 0x01) && (mouseCode & MOUSE_DOUBLE)) {
        latch |= BTN_ENTER;
      } else {
        UnsetLatch();
      }
    }
  }
  if (mouseCode != 0 && held != 0 && (pointer.x != pos.x || pointer.y != pos.y)) {
    waiting = true;
  }

  // Keep-alive of the key code while the window has focus and nothing else came.
  if (mainWindowFocused && idleFrames >= kIdleFrames && key == KEY_NONE) key = KEY_IDLE;
  if (key != KEY_NONE) {
    idleFrames = 0;
  } else if (idleFrames < UINT32_MAX) {
    ++idleFrames;
  }

  if (enableJoystick) {
    uint32_t joy = 0;
    if (SDLJoy) {
      joy |= AxisButtons(SDL_JoystickGetAxis(SDLJoy, 0), BTN_LEFT, BTN_RIGHT);
      joy |= AxisButtons(SDL_JoystickGetAxis(SDLJoy, 1), BTN_UP, BTN_DOWN);
      if (SDL_JoystickGetButton(SDLJoy, 0)) joy |= BTN_ENTER;
      if (SDL_JoystickGetButton(SDLJoy, 1)) joy |= BTN_BACK;
    }
    JoyKeys = joy;
    const uint32_t changed = JoyLastKeys ^ JoyKeys;
    trig |= changed & JoyKeys;
    release |= changed & JoyLastKeys;
    JoyLastKeys = JoyKeys;
  }

  const uint32_t press = SDLKeys | (enableJoystick ? JoyKeys : 0) | latch;

  bool changed = trig != btnTrig;
  btnTrig = trig;
  if (release != btnRelease) {
    for (int bit = 0; bit < 32; ++bit) {
      if (release & (1u << bit)) repeatCount[bit] = 0;
    }
    btnRelease = release;
    changed = true;
  }
  changed = changed || press != btnPress;
  btnPress = press;

  uint32_t repeat = 0;
  for (int bit = 0; bit < 32 && countsRepeats; ++bit) {
    const uint32_t mask = 1u << bit;
    if (!(press & mask) || (latch & mask)) continue;
    const uint32_t count = ++repeatCount[bit];
    if (count >= repeatDelayFrames && (count - repeatDelayFrames) % repeatRateFrames == 0) {
      repeat |= mask;
    }
  }
  changed = changed || repeat != btnRepeat;
  btnRepeat = repeat;

  return key != KEY_NONE || windowEvent || changed;
}
