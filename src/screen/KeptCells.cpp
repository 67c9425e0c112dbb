#include "screen/KeptCells.h"

#include <algorithm>

namespace {

// Glyphs kept for composing cells are rendered in this colour and tinted.
const SDL_Color kGlyphWhite = {255, 255, 255, 255};
const SDL_Color kClearPixel = {0, 0, 0, 0};
// Kept cells live in kKeptCells slots of kSlotSize x kSlotSize pixels: any
// one character of any font fits a slot.
constexpr int kSlotSize = 16;
constexpr int kSlotPixels = kSlotSize * kSlotSize;
constexpr size_t kKeptCells = 16384;
constexpr size_t kKeptMasks = 4096;
// Style bits of a kept cell, kept with its font number.
constexpr int kStyleUnderline = 1;
constexpr int kStyleBold = 2;

uint32_t packColour(SDL_Color c) {
  return uint32_t{c.r} | (uint32_t{c.g} << 8) | (uint32_t{c.b} << 16) | (uint32_t{c.a} << 24);
}

}  // namespace

KeptCells::KeptCells() : glyphMasks(kKeptMasks, true), cells(kKeptCells, false) {}

KeptCells::~KeptCells() { clear(); }

void KeptCells::setEnabled(bool on) {
  enabled = on;
  if (!on) clear();
}

void KeptCells::clear() {
  cells.clear();
  glyphMasks.clear();
  if (cellScratch) SDL_DestroyTexture(cellScratch);
  cellScratch = nullptr;
}

// A kept cell holds exactly what the plain drawing leaves in the run's
// rectangle: the paper fill replaces every pixel there, so the cell does not
// depend on what was under it and one opaque copy puts it back. The one
// pixel column that a bold glyph's second copy reaches past the cell is
// drawn as runs of ink. Solid rendering gives glyph pixels the ink's colour
// at full alpha, whatever the ink's alpha, so those runs replace what is
// there.
int KeptCells::draw(SDL_Renderer* renderer, TextLayer& layer, const Style& style, const char* utf8, size_t len,
                    int64_t x, int64_t y) {
  const int ch = style.cellHeight;
  if (len > GlyphCache::kMaxKeyBytes || ch > kSlotSize || !style.font) return kNotKept;
  // The key: font with the two style bits, and both colours.
  const int fontKey =
      style.fontNumber * 4 + (style.underline ? kStyleUnderline : 0) + (style.bold ? kStyleBold : 0);
  const uint64_t colours = (uint64_t{packColour(style.ink)} << 32) | packColour(style.paper);
  int slot = -1;
  const GlyphCache::Glyph* cell = cells.find(fontKey, colours, utf8, len, &slot);
  if (!cell) {
    const GlyphCache::Glyph* mask = glyphMask(renderer, style, utf8, len);
    if (!mask) return -1;
    if (mask->width > kSlotSize) return kNotKept;
    GlyphCache::Glyph made{nullptr, mask->width, 0, {}};
    if (!composeCell(renderer, mask->texture, style, &made)) return kNotKept;
    slot = cells.insert(fontKey, colours, utf8, len, made);
    if (slot < 0) return kNotKept;
    if (!storeCell(renderer, slot, made.width, ch)) {
      cells.clear();
      return kNotKept;
    }
    cell = cells.find(fontKey, colours, utf8, len, &slot);
  }
  const int width = cell->width;
  const int w = layer.width(), h = layer.height();
  const bool visible = x < w && x + width + 1 > 0 && y < h && y + ch > 0;
  if (!visible) return width;
  // The cell and its bold edge column, clipped to the layer.
  const int x0 = static_cast<int>(std::max<int64_t>(x, 0));
  const int x1 = static_cast<int>(std::min<int64_t>(x + width, w));
  const int y0 = static_cast<int>(std::max<int64_t>(y, 0));
  const int y1 = static_cast<int>(std::min<int64_t>(y + ch, h));
  if (!layer.load(y0, y1)) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "SDL_RenderReadPixels : %s\n", SDL_GetError());
    return -1;
  }
  const Uint32* slotPixels = cellPixels.get() + static_cast<size_t>(slot) * kSlotPixels;
  if (x0 < x1) {
    for (int row = y0; row < y1; ++row) {
      SDL_memcpy(layer.row(row) + x0, slotPixels + (row - y) * kSlotSize + (x0 - x),
                 static_cast<size_t>(x1 - x0) * sizeof(Uint32));
    }
  }
  const int64_t edgeX = x + width;
  if (cell->edgeRuns > 0 && edgeX >= 0 && edgeX < w) {
    const Uint32 edgeInk = packColour(SDL_Color{style.ink.r, style.ink.g, style.ink.b, SDL_ALPHA_OPAQUE});
    for (int i = 0; i < cell->edgeRuns; ++i) {
      const int64_t top = std::max<int64_t>(y + cell->edge[i][0], y0);
      const int64_t bottom = std::min<int64_t>(y + cell->edge[i][0] + cell->edge[i][1], y1);
      for (int64_t row = top; row < bottom; ++row) layer.row(static_cast<int>(row))[edgeX] = edgeInk;
    }
  }
  layer.changed(y0, y1);
  return width;
}

const GlyphCache::Glyph* KeptCells::glyphMask(SDL_Renderer* renderer, const Style& style, const char* utf8,
                                              size_t len) {
  const GlyphCache::Glyph* mask = glyphMasks.find(style.fontNumber, 0, utf8, len, nullptr);
  if (mask) return mask;
  SDL_Surface* surface = TTF_RenderUTF8_Solid(style.font, utf8, kGlyphWhite);
  if (!surface) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "TTF_RenderUTF8_Solid : %s\n", SDL_GetError());
    return nullptr;
  }
  const GlyphCache::Glyph made{SDL_CreateTextureFromSurface(renderer, surface), surface->w, 0, {}};
  SDL_FreeSurface(surface);
  if (!made.texture) return nullptr;
  if (glyphMasks.insert(style.fontNumber, 0, utf8, len, made) < 0) {
    SDL_DestroyTexture(made.texture);
    return nullptr;
  }
  return glyphMasks.find(style.fontNumber, 0, utf8, len, nullptr);
}

bool KeptCells::composeCell(SDL_Renderer* renderer, SDL_Texture* mask, const Style& style, GlyphCache::Glyph* glyph) {
  const int width = glyph->width;
  if (!cellScratch) {
    cellScratch = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_TARGET, kSlotSize + 1,
                                    kSlotSize);
    if (!cellScratch) return false;
    SDL_SetTextureBlendMode(cellScratch, SDL_BLENDMODE_NONE);
  }
  if (!cellPixels) cellPixels.reset(new Uint32[kKeptCells * kSlotPixels]);
  // The cell as the plain drawing draws it, on a cleared scratch target one
  // column wider than the glyph.
  const int ch = style.cellHeight;
  const SDL_Color ink = style.ink, paper = style.paper;
  if (SDL_SetRenderTarget(renderer, cellScratch) != 0) return false;
  SDL_SetRenderDrawColor(renderer, kClearPixel.r, kClearPixel.g, kClearPixel.b, kClearPixel.a);
  SDL_RenderClear(renderer);
  const SDL_Rect dst{0, 0, width, ch};
  SDL_SetRenderDrawColor(renderer, paper.r, paper.g, paper.b, paper.a);
  SDL_RenderFillRect(renderer, &dst);
  if (style.underline) {
    SDL_SetRenderDrawColor(renderer, ink.r, ink.g, ink.b, ink.a);
    SDL_RenderDrawLine(renderer, 0, ch - 1, width - 1, ch - 1);
  }
  SDL_SetTextureColorMod(mask, ink.r, ink.g, ink.b);
  bool ok = SDL_RenderCopy(renderer, mask, nullptr, &dst) == 0;
  if (ok && style.bold) {
    const SDL_Rect shifted{1, 0, width, ch};
    ok = SDL_RenderCopy(renderer, mask, nullptr, &shifted) == 0;
  }
  if (!ok) return false;
  glyph->edgeRuns = 0;
  if (style.bold) {
    Uint32 column[kSlotSize];
    const SDL_Rect edge{width, 0, 1, ch};
    if (SDL_RenderReadPixels(renderer, &edge, SDL_PIXELFORMAT_ABGR8888, column, sizeof column[0]) != 0) return false;
    for (int row = 0; row < ch;) {
      if ((column[row] >> 24) == 0) {
        ++row;
        continue;
      }
      const int first = row;
      while (row < ch && (column[row] >> 24) != 0) ++row;
      glyph->edge[glyph->edgeRuns][0] = static_cast<uint8_t>(first);
      glyph->edge[glyph->edgeRuns][1] = static_cast<uint8_t>(row - first);
      ++glyph->edgeRuns;
    }
  }
  return true;
}

bool KeptCells::storeCell(SDL_Renderer* renderer, int slot, int width, int height) {
  if (slot < 0 || static_cast<size_t>(slot) >= kKeptCells || !cellPixels) return false;
  if (SDL_SetRenderTarget(renderer, cellScratch) != 0) return false;
  const SDL_Rect src{0, 0, width, height};
  return SDL_RenderReadPixels(renderer, &src, SDL_PIXELFORMAT_ABGR8888,
                              cellPixels.get() + static_cast<size_t>(slot) * kSlotPixels,
                              kSlotSize * static_cast<int>(sizeof(Uint32))) == 0;
}
