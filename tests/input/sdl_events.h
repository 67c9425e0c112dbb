// SDL events as the window system delivers them, made to be pushed into
// SDL's queue. Window 1 is the program's one window.
#pragma once

#include <SDL.h>

#include <cstring>

inline SDL_Event Event(Uint32 type) {
  SDL_Event e{};
  e.type = type;
  return e;
}
inline SDL_Event Key(SDL_Keycode sym, bool down = true, bool repeat = false) {
  SDL_Event e{};
  e.key = {down ? SDL_KEYDOWN : SDL_KEYUP, 0, 1, down, repeat, 0, 0, {SDL_SCANCODE_UNKNOWN, sym, 0, 0}};
  return e;
}
inline SDL_Event Up(SDL_Keycode sym) { return Key(sym, false); }
inline SDL_Event Text(const char* text) {
  SDL_Event e = Event(SDL_TEXTINPUT);
  std::strncpy(e.text.text, text, sizeof e.text.text - 1);
  return e;
}
inline SDL_Event Window(Uint8 sub, Sint32 d1 = 0, Sint32 d2 = 0, Uint32 window = 1) {
  SDL_Event e{};
  e.window = {SDL_WINDOWEVENT, 0, window, sub, 0, 0, 0, d1, d2};
  return e;
}
inline SDL_Event Focus(bool gained, Uint32 window = 1) {
  return Window(gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST, 0, 0, window);
}
inline SDL_Event Click(Uint8 button, bool down, Uint8 clicks = 1) {
  SDL_Event e{};
  e.button = {down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, 0, 1, 0, button, down, clicks, 0, 0, 0};
  return e;
}
inline SDL_Event Wheel(Sint32 x, Sint32 y) {
  SDL_Event e = Event(SDL_MOUSEWHEEL);
  e.wheel.x = x;
  e.wheel.y = y;
  return e;
}
