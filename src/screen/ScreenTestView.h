// What tests read of a screen beyond what it offers the application: its
// renderer, its layers as textures, and how often it has presented.
#pragma once

#include <SDL.h>

#include "screen/edispSDL.h"

class ScreenTestView {
public:
  explicit ScreenTestView(edispSDL& screen) : screen(screen) {}

  SDL_Renderer* renderer() const { return screen.window.renderer(); }
  // The text layer, with every character drawn so far in it.
  SDL_Texture* textLayer() const { return screen.text.texture(); }
  // The background layer 0..3, or null for any other number.
  SDL_Texture* layer(int n) const { return screen.layers.layer(n); }
  unsigned long presentCount() const { return screen.window.presentCount(); }

private:
  edispSDL& screen;
};
