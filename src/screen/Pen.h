// The pen text is written with: its colour, the paper behind it, and the
// bold, underline, blink and reverse bits, as the attribute codes set them.
// Blink is kept but nothing draws it.
#pragma once

#include <SDL_pixels.h>

class Pen {
public:
  // Applies one attribute code; a code without a meaning changes nothing.
  void apply(int code);
  // White text on transparent paper, no style bits: the pen at start and
  // after code 0.
  void reset();

  // The colours as the codes set them.
  SDL_Color foreground() const { return fg; }
  SDL_Color background() const { return bg; }
  // The colours drawn: the glyphs' and the fill behind them, swapped by
  // reverse, alpha included.
  SDL_Color ink() const { return reverse_ ? bg : fg; }
  SDL_Color paper() const { return reverse_ ? fg : bg; }
  bool bold() const { return bold_; }
  bool underline() const { return underline_; }
  bool blink() const { return blink_; }
  bool reverse() const { return reverse_; }

private:
  SDL_Color fg{255, 255, 255, 255};
  SDL_Color bg{0, 0, 0, 0};
  bool bold_ = false;
  bool underline_ = false;
  bool blink_ = false;
  bool reverse_ = false;
};
