// Draws on the text layer: opens the three fonts and knows their cells,
// draws runs of text at a cell with a pen (paper, underline, glyphs, bold
// copy), erases cells and clears the layer. Characters drawn before come
// from KeptCells; the layer's pixels are held in memory by TextLayer until
// the layer is shown or read.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "screen/CreationFailure.h"
#include "screen/KeptCells.h"
#include "screen/Pen.h"
#include "screen/TextLayer.h"

class TextPainter {
public:
  // For a text layer of w x h pixels.
  TextPainter(int w, int h);
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // Opens the fonts under basePath and makes the layer's texture; each
  // failure is told through `failed`.
  void create(SDL_Renderer* renderer, const std::string& basePath, const CreationFailure& failed);

  // The font and cell size 0..2 (4 x 8, 5 x 12, 8 x 16 pixels); other
  // numbers are not taken.
  void setCharSize(int n);
  int charSize() const { return size; }
  int cellWidth() const;
  int cellHeight() const;
  int width() const { return pixels.width(); }

  // Draws one UTF-8 run of len bytes (NUL-terminated) at the cell (row,
  // column), clipped to the layer: paper fill, underline, glyphs (twice when
  // bold). Returns the run's width in pixels, or -1 after logging a failure.
  int draw(const char* utf8, std::size_t len, int row, int column, const Pen& pen);
  // Makes pixels x .. x + width - 1 of the cell row `row` transparent, with
  // the red, green and blue of `colour`.
  void erase(int64_t x, int64_t width, int row, SDL_Color colour);
  // Makes the whole layer transparent.
  void clear();
  // The layer, with every character drawn so far in it.
  SDL_Texture* texture();

  // Drawn characters are kept and reused (on by default); off, every
  // character is rendered anew. The pixels drawn are the same either way.
  void setKeptCellsEnabled(bool on) { keptCells.setEnabled(on); }

private:
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* layer = nullptr;
  TTF_Font* fonts[3] = {nullptr, nullptr, nullptr};
  int size = 2;
  TextLayer pixels;
  KeptCells keptCells;
};
