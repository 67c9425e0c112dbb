#include "screen/Pen.h"

void Pen::reset() { *this = Pen(); }

// Text colours set red, green and blue and keep alpha; paper colours set all
// four bytes.
void Pen::apply(int code) {
  const auto text = [this](Uint8 r, Uint8 g, Uint8 b) {
    fg.r = r;
    fg.g = g;
    fg.b = b;
  };
  const auto paper = [this](Uint8 r, Uint8 g, Uint8 b) { bg = SDL_Color{r, g, b, 255}; };
  switch (code) {
    case 0: reset(); break;
    case 1: bold_ = true; break;
    case 4: underline_ = true; break;
    case 5: blink_ = true; break;
    case 7: reverse_ = true; break;
    case 8:
    case 16:
      fg.a = 0;
      bg.a = 0;
      break;
    case 17: case 31: text(255, 0, 0); break;
    case 18: case 32: text(0, 255, 0); break;
    case 19: case 33: text(255, 255, 0); break;
    case 20: case 34: text(0, 0, 255); break;
    case 21: case 35: text(255, 0, 255); break;
    case 22: case 36: text(0, 255, 255); break;
    case 23: case 37: case 39: text(255, 255, 255); break;
    case 24: underline_ = false; break;
    case 25: blink_ = false; break;
    case 27: reverse_ = false; break;
    case 29: bold_ = false; break;
    case 30: text(0, 0, 0); break;
    case 40: paper(0, 0, 0); break;
    case 41: paper(192, 0, 0); break;
    case 42: paper(0, 192, 0); break;
    case 43: paper(255, 255, 0); break;
    case 44: paper(64, 64, 192); break;
    case 45: paper(192, 0, 192); break;
    case 46: paper(0, 192, 192); break;
    case 47: paper(192, 192, 192); break;
    case 49: case 61: bg.a = 0; break;
    case 60: fg.a = 0; break;
    default: break;
  }
}
