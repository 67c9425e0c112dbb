#include "input/sdl_key_map.h"

namespace {

const Sint16 kAxisThreshold = 16385;

}  // namespace

// Digit keys 1..5 of the main keyboard, for the button window.
uint32_t DigitButton(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_1: return BTN_KEY1;
    case SDLK_2: return BTN_KEY2;
    case SDLK_3: return BTN_KEY3;
    case SDLK_4: return BTN_KEY4;
    case SDLK_5: return BTN_ENTER;
    default: return 0;
  }
}

uint32_t ArrowButton(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_LEFT: return BTN_LEFT;
    case SDLK_UP: return BTN_UP;
    case SDLK_DOWN: return BTN_DOWN;
    case SDLK_RIGHT: return BTN_RIGHT;
    default: return 0;
  }
}

// Key code of a key pressed in the main window; KEY_NONE when it has none.
uint32_t KeyCode(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_UP: return KEY_UP;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_RIGHT: return KEY_RIGHT;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KEY_ENTER;
    case SDLK_BACKSPACE: return KEY_BACKSPACE;
    case SDLK_HOME: return KEY_HOME;
    case SDLK_END: return KEY_END;
    case SDLK_PAGEUP: return KEY_PAGEUP;
    case SDLK_PAGEDOWN: return KEY_PAGEDOWN;
    case SDLK_F1: return KEY_F1;
    case SDLK_F2: return KEY_F2;
    case SDLK_F3: return KEY_F3;
    case SDLK_F4: return KEY_F4;
    case SDLK_F5: return KEY_F5;
    case SDLK_F6: return KEY_F6;
    case SDLK_F7: return KEY_F7;
    case SDLK_F8: return KEY_F8;
    case SDLK_F9: return KEY_F9;
    case SDLK_F10: return KEY_F10;
    case SDLK_F11: return KEY_F11;
    case SDLK_F12: return KEY_F12;
    case SDLK_KP_0: return '0';
    case SDLK_KP_1: return '1';
    case SDLK_KP_2: return '2';
    case SDLK_KP_3: return '3';
    case SDLK_KP_4: return '4';
    case SDLK_KP_5: return '5';
    case SDLK_KP_6: return '6';
    case SDLK_KP_7: return '7';
    case SDLK_KP_8: return '8';
    case SDLK_KP_9: return '9';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_PLUS: return '+';
    default: return KEY_NONE;
  }
}

// The button's bit: 0 for a button number that has none (SDL numbers
// buttons from 1).
uint32_t ButtonBit(const SDL_MouseButtonEvent& ev) {
  return ev.button >= 1 && ev.button <= 32 ? 1u << (ev.button - 1) : 0;
}

// Code of a mouse button event: the button's bit plus the flags; 0 when the
// button has no bit.
uint32_t MouseButtonCode(const SDL_MouseButtonEvent& ev, bool released) {
  uint32_t code = ButtonBit(ev);
  if (code == 0) return 0;
  if (released) code |= MOUSE_RELEASED;
  if (ev.clicks == 2) code |= MOUSE_DOUBLE;
  return code;
}

// Both directions of one axis: at or past the threshold one way sets that
// bit and clears the other; the middle zone clears both.
uint32_t AxisButtons(Sint16 value, uint32_t negative, uint32_t positive) {
  if (value >= kAxisThreshold) return positive;
  if (value <= -kAxisThreshold) return negative;
  return 0;
}
