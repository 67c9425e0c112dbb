// The four background layers under the text layer, one of them shown at a
// time, and what is drawn on them: clearing, rectangles, lines, ellipses
// and pictures, in 15-bit RGB colours. Drawing replaces the pixels it
// touches; nothing here presents. A layer number outside 0..3 draws nothing.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>

#include "screen/CreationFailure.h"
#include "screen/PictureCache.h"

class BackgroundLayers {
public:
  // Layers of w x h pixels.
  BackgroundLayers(int w, int h);
  ~BackgroundLayers();
  BackgroundLayers(const BackgroundLayers&) = delete;
  BackgroundLayers& operator=(const BackgroundLayers&) = delete;

  // Makes the four layers; each failure is told through `failed`. Pictures
  // are read from Image/ under basePath.
  void create(SDL_Renderer* renderer, const std::string& basePath, const CreationFailure& failed);

  // The layer 0..3, or null for any other number.
  SDL_Texture* layer(int n) const;
  // The layer shown for the number `index`: index modulo 4.
  SDL_Texture* shown(int index) const;

  // All four layers, or one, opaque black.
  void clearAll();
  void clear(int layer);
  // The rectangle with top-left (x, y), w x h pixels, filled or outlined one
  // pixel wide.
  void fillRect(int layer, int w, int h, int x, int y, int colour);
  void outlineRect(int layer, int w, int h, int x, int y, int colour);
  // One pixel wide, both end points drawn.
  void line(int layer, int x1, int y1, int x2, int y2, int colour);
  // Axis-aligned, centre and radii taken in their low 16 bits.
  void ellipse(int layer, bool filled, int cx, int cy, int rx, int ry, int colour);
  // Picture file Image/<picture>.jpg, or Image/<folder>/<picture>.jpg, at its
  // own size with its top-left at (x, y); a missing file draws nothing.
  void picture(int picture, int layer, int x, int y);
  void pictureInFolder(int picture, int layer, int folder, int x, int y);
  // Where picture files are read: given a name such as "5.jpg" or
  // "3/5.jpg", the path of the file. Without one, Image/ under basePath.
  using PictureLookup = std::function<std::string(const std::string& name)>;
  void setPictureLookup(PictureLookup lookup) { findPicture = std::move(lookup); }

private:
  // Sets layer `layer` as target with the drawing colour; false (and
  // nothing set) for a layer number outside 0..3.
  bool targetLayer(int layer, int colour);
  bool layerRect(int w, int h, int x, int y, SDL_Rect* out) const;
  // The picture file of this name (see setPictureLookup).
  void drawPicture(const char* name, int layer, int x, int y);

  int w;
  int h;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* layers[4] = {nullptr, nullptr, nullptr, nullptr};
  std::string basePath;
  // Pictures decoded from their files, kept for drawing again.
  PictureCache pictures;
  PictureLookup findPicture;
};
