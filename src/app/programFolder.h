// The folder the program runs from, with its trailing separator: its fonts
// and pictures are installed beside it. The current folder ("./") when SDL
// cannot tell.
#pragma once

#include <SDL.h>

#include <string>

inline std::string programFolder() {
  char* base = SDL_GetBasePath();
  const std::string folder = base ? base : "./";
  SDL_free(base);
  return folder;
}
