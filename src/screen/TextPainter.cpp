#include "screen/TextPainter.h"

#include <algorithm>
#include <vector>

namespace {

// Per font number: two unused entries, then the cell width and height in
// logical pixels.
const int sFontSize[3][4] = {
    {0, 0, 4, 8},   // 0: misaki gothic, 160 x 48 cells on 640 x 384
    {0, 0, 5, 12},  // 1: M+ 10 dots, 128 x 32 cells
    {0, 0, 8, 16},  // 2: Shinonome 16 dots, 80 x 24 cells
};

struct FontFile {
  int index;
  const char* pathFormat;
  int pointSize;
};
// Opening order of the fonts.
const FontFile kFontFiles[3] = {
    {2, "%sfonts/JF-Dot-Shinonome16.ttf", 16},
    {1, "%sfonts/JF-Dot-MPlus10.ttf", 10},
    {0, "%sfonts/misaki_gothic.ttf", 16},
};
constexpr size_t kFontPathExtra = 100;

}  // namespace

TextPainter::TextPainter(int w, int h) : pixels(w, h) {}

TextPainter::~TextPainter() {
  keptCells.clear();
  if (layer) SDL_DestroyTexture(layer);
  for (TTF_Font* font : fonts)
    if (font) TTF_CloseFont(font);
}

void TextPainter::create(SDL_Renderer* r, const std::string& basePath, const CreationFailure& failed) {
  renderer = r;
  std::vector<char> path(basePath.size() + kFontPathExtra);
  for (const FontFile& f : kFontFiles) {
    SDL_snprintf(path.data(), path.size(), f.pathFormat, basePath.c_str());
    fonts[f.index] = TTF_OpenFont(path.data(), f.pointSize);
    if (!fonts[f.index]) failed("Error: TTF_OpenFont", SDL_GetError());
  }
  layer = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_TARGET, width(), pixels.height());
  if (!layer)
    failed("Error: SDL_CreateTexture", SDL_GetError());
  else
    SDL_SetTextureBlendMode(layer, SDL_BLENDMODE_BLEND);
  pixels.attach(renderer, layer);
}

void TextPainter::setCharSize(int n) {
  if (n >= 0 && n <= 2) size = n;
}

int TextPainter::cellWidth() const { return sFontSize[size][2]; }

int TextPainter::cellHeight() const { return sFontSize[size][3]; }

int TextPainter::draw(const char* utf8, size_t len, int row, int column, const Pen& pen) {
  const int64_t x = int64_t{column} * cellWidth();
  const int64_t y = int64_t{row} * cellHeight();
  const SDL_Color ink = pen.ink(), paper = pen.paper();
  if (keptCells.isEnabled()) {
    const KeptCells::Style style{size, fonts[size], cellHeight(), pen.underline(), pen.bold(), ink, paper};
    const int kept = keptCells.draw(renderer, pixels, style, utf8, len, x, y);
    if (kept != KeptCells::kNotKept) return kept;
  }
  SDL_Surface* surface = fonts[size] ? TTF_RenderUTF8_Solid(fonts[size], utf8, ink) : nullptr;
  if (!surface) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "TTF_RenderUTF8_Solid : %s\n", SDL_GetError());
    return -1;
  }
  const int w = surface->w;
  const int ch = cellHeight();
  // Cells wholly outside the layer are clipped away; skipping them keeps the
  // coordinates handed to SDL small.
  const bool visible = x < width() && x + w + 1 > 0 && y < pixels.height() && y + ch > 0;
  bool ok = true;
  if (visible) {
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!pixels.target(y, y + ch)) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_SetRenderTarget : %s\n", SDL_GetError());
      ok = false;
    } else {
      const SDL_Rect dst{static_cast<int>(x), static_cast<int>(y), w, ch};
      SDL_SetRenderDrawColor(renderer, paper.r, paper.g, paper.b, paper.a);
      SDL_RenderFillRect(renderer, &dst);
      if (pen.underline()) {
        SDL_SetRenderDrawColor(renderer, ink.r, ink.g, ink.b, ink.a);
        SDL_RenderDrawLine(renderer, dst.x, dst.y + ch - 1, dst.x + w - 1, dst.y + ch - 1);
      }
      bool copied = SDL_RenderCopy(renderer, texture, nullptr, &dst) == 0;
      if (copied && pen.bold()) {
        const SDL_Rect shifted{dst.x + 1, dst.y, dst.w, dst.h};
        copied = SDL_RenderCopy(renderer, texture, nullptr, &shifted) == 0;
      }
      if (!copied) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_RenderCopy : %s\n", SDL_GetError());
        ok = false;
      }
    }
    if (texture) SDL_DestroyTexture(texture);
  }
  SDL_FreeSurface(surface);
  return ok ? w : -1;
}

void TextPainter::erase(int64_t x, int64_t w, int row, SDL_Color colour) {
  const int64_t ch = cellHeight();
  const int64_t y = int64_t{row} * ch;
  // Clip to the layer so that far-off cursors never reach SDL as huge numbers.
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(x + w, width());
  const int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(y + ch, pixels.height());
  if (x0 < x1 && y0 < y1) {
    const SDL_Rect r{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
    pixels.target(y0, y1);
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, 0);
    SDL_RenderFillRect(renderer, &r);
  }
}

void TextPainter::clear() {
  pixels.target(0, pixels.height());
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
  SDL_RenderClear(renderer);
}

SDL_Texture* TextPainter::texture() {
  pixels.flush();
  return layer;
}
