// The desktop window and what it shows. Everything is drawn through the
// renderer made here into a composed screen at the logical size; presenting
// sends that screen to the window at its placement (the largest whole scale
// that fits, centred on black): only the spans of rows that changed, unless
// the window lost its content.
#pragma once

#include <SDL.h>

#include <vector>

#include "screen/CreationFailure.h"
#include "screen/ScreenPlacement.h"

class ScreenWindow {
public:
  // For a logical screen of w x h pixels.
  ScreenWindow(int w, int h);
  ~ScreenWindow();
  ScreenWindow(const ScreenWindow&) = delete;
  ScreenWindow& operator=(const ScreenWindow&) = delete;

  // Opens the window at (x, y) with the logical size and makes the renderer;
  // each failure is told through `failed`. Returns the renderer, or null.
  SDL_Renderer* open(const char* title, int x, int y, const CreationFailure& failed);
  SDL_Window* sdlWindow() const { return window; }
  SDL_Renderer* renderer() const { return renderer_; }

  void resize(int w, int h);
  // The window's client size; *w and *h are left alone without a window.
  void size(int* w, int* h) const;
  void setTitle(const char* title);
  // Desktop fullscreen on or off; the window's own size and place come back
  // when it is left.
  void toggleFullscreen();
  bool isFullscreen() const;
  ScreenPlacement placement() const;

  // Composes the background layer with the text layer over it, presents it
  // and sends it to the window.
  void present(SDL_Texture* background, SDL_Texture* text);
  // Sends the last presented screen again, whole, where the window lost it.
  void repairIfExposed();
  // The composition of the two layers at the logical size, as a new RGB
  // surface the caller frees; null on failure.
  SDL_Surface* capture(SDL_Texture* background, SDL_Texture* text);
  // Number of presentations made so far.
  unsigned long presentCount() const { return presents; }

private:
  // Sends the composed screen to the window at its placement: the whole
  // window when asked or when the window surface changed, else the spans
  // of rows that differ from what the window shows.
  void show(bool whole);
  static int watchWindow(void* self, SDL_Event* event);

  int screenW;
  int screenH;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  unsigned long presents = 0;
  // The renderer draws into the composed screen; shown holds what the
  // window was last sent, at logical size, and line one replicated row.
  SDL_Surface* composed = nullptr;
  std::vector<Uint32> shown;
  std::vector<Uint32> line;
  SDL_Surface* shownSurface = nullptr;
  int shownW = 0;
  int shownH = 0;
  // The window lost its content (exposed): the next showing sends it whole.
  bool windowStale = false;
};
