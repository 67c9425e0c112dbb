// Whether the user has asked the program to quit (SIGINT, SIGTERM, the
// window's close button) while it was busy outside its main loop: the
// connection handshake, the firmware page, an alert. The quit stays queued,
// and the main loop takes it as any other.
#pragma once

#include <SDL.h>

inline bool quitWaiting() {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return false;
  SDL_PumpEvents();
  return SDL_HasEvent(SDL_QUIT) == SDL_TRUE;
}
