// The built dot fonts as the screen renders them (SDL_ttf, solid, at their
// point size): a half- and a full-width glyph at the cell height in the
// bitmap font's shape (a row per number, leftmost pixel highest, M+ glyphs
// one blank row down).
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FontTest, SampleGlyphsHaveTheBitmapShapeAndCellSize) {
  const struct { const char* file; int pointSize; const char* text; int w; std::vector<unsigned> rows; } cases[] = {
      {"JF-Dot-Shinonome16.ttf", 16, "A", 8, {0, 0x10, 0x10, 0x28, 0x28, 0x28, 0x44, 0x44, 0x44, 0x7C, 0x82, 0x82, 0x82,
                                              0x82, 0, 0}},
      {"JF-Dot-Shinonome16.ttf", 16, u8"あ", 16, {0x200, 0x200, 0x260, 0x1F80, 0x200, 0x240, 0x3F0, 0x448, 0xC44,
                                                 0x1482, 0x2482, 0x2302, 0x2504, 0x1818, 0x60, 0}},
      {"JF-Dot-MPlus10.ttf", 10, "A", 5, {0, 0, 0, 0xC, 0x12, 0x12, 0x1E, 0x12, 0x12, 0x12, 0, 0}},
      {"JF-Dot-MPlus10.ttf", 10, u8"あ", 10, {0, 0x40, 0x40, 0x3FE, 0x40, 0xF8, 0x194, 0x2A2, 0x2A2, 0x1C4, 0x18, 0}}};
  ASSERT_EQ(TTF_Init(), 0) << TTF_GetError();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.text);
    TTF_Font* font = TTF_OpenFont((std::string(TAVIX_BUILD_DIR) + "fonts/" + c.file).c_str(), c.pointSize);
    SDL_Surface* s = font ? TTF_RenderUTF8_Solid(font, c.text, SDL_Color{255, 255, 255, 255}) : nullptr;
    ASSERT_NE(s, nullptr) << TTF_GetError();
    EXPECT_EQ(s->w, c.w);
    std::vector<unsigned> rows(s->h);
    for (int y = 0; y < s->h; ++y)
      for (int x = 0; x < s->w; ++x) rows[y] = rows[y] << 1 | (static_cast<Uint8*>(s->pixels)[y * s->pitch + x] != 0);
    EXPECT_EQ(rows, c.rows);
    SDL_FreeSurface(s);
    TTF_CloseFont(font);
  }
  TTF_Quit();
}
