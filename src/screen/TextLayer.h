// The text layer's pixels held in memory beside its texture. Characters
// are copied into these pixels; the rows so changed are handed to the
// texture before it is presented, read, or drawn on through the renderer.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

class TextLayer {
public:
  TextLayer(int w, int h);

  // The layer's texture (ABGR8888, a render target of renderer).
  void attach(SDL_Renderer* renderer, SDL_Texture* texture);
  SDL_Texture* texture() const { return texture_; }
  int width() const { return w; }
  int height() const { return h; }

  // Rows y0 .. y1 - 1 made to match the texture, ready to be written
  // through row(); false after a failed read.
  bool load(int y0, int y1);
  Uint32* row(int y) { return &pixels[static_cast<size_t>(y) * w]; }
  // Rows y0 .. y1 - 1 were written and are newer than the texture.
  void changed(int y0, int y1);
  // Hands the changed rows to the texture.
  void flush();
  // The texture as render target for drawing rows y0 .. y1 - 1 through the
  // renderer; the memory no longer holds those rows. False on failure.
  bool target(int64_t y0, int64_t y1);

private:
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture_ = nullptr;
  int w;
  int h;
  std::vector<Uint32> pixels;
  // Per row: kRowUnknown, kRowLoaded (matches the texture) or kRowChanged.
  std::vector<unsigned char> rows;
  // Changed rows lie within dirtyTop .. dirtyBottom - 1.
  int dirtyTop = 0;
  int dirtyBottom = 0;
};
