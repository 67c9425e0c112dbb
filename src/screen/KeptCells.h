// Characters drawn before, kept as finished cells (paper, underline, glyph,
// bold copy) per font, style bits, text and colours, so that drawing one
// again is a copy of pixels into the text layer instead of a font
// rendering. The pixels drawn are the same either way.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "screen/GlyphCache.h"
#include "screen/TextLayer.h"

class KeptCells {
public:
  // What a run of text is drawn with.
  struct Style {
    int fontNumber;
    TTF_Font* font;
    int cellHeight;
    bool underline;
    bool bold;
    SDL_Color ink;
    SDL_Color paper;
  };
  // draw's answer for a run that cannot be kept (too long, too wide or too
  // tall); the caller then renders it the plain way.
  static constexpr int kNotKept = -2;

  KeptCells();
  ~KeptCells();
  KeptCells(const KeptCells&) = delete;
  KeptCells& operator=(const KeptCells&) = delete;

  // Draws the run with its cell's top-left at pixel (x, y) of the layer,
  // clipped to it. Returns the run's width in pixels, -1 after logging a
  // failure, or kNotKept.
  int draw(SDL_Renderer* renderer, TextLayer& layer, const Style& style, const char* utf8, std::size_t len, int64_t x,
           int64_t y);
  // On by default; off, draw is not to be called and everything kept is dropped.
  void setEnabled(bool on);
  bool isEnabled() const { return enabled; }
  // Drops every kept cell and glyph and the textures made for them; to be
  // called before the renderer goes.
  void clear();

private:
  // The run rendered in white, kept; null after logging a rendering failure.
  const GlyphCache::Glyph* glyphMask(SDL_Renderer* renderer, const Style& style, const char* utf8, std::size_t len);
  // Draws the cell of glyph->width pixels on the scratch target and fills in
  // the glyph's bold edge; then storeCell reads it into slot `slot`. False
  // on failure.
  bool composeCell(SDL_Renderer* renderer, SDL_Texture* mask, const Style& style, GlyphCache::Glyph* glyph);
  bool storeCell(SDL_Renderer* renderer, int slot, int width, int height);

  GlyphCache glyphMasks;
  GlyphCache cells;
  // Pixels of the kept cells, kSlotPixels per slot, row after row.
  std::unique_ptr<Uint32[]> cellPixels;
  SDL_Texture* cellScratch = nullptr;
  bool enabled = true;
};
