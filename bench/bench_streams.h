// Byte streams as a busy unit sends them, made reproducibly from a seed:
// dense text, dense Shift_JIS text and small drawing commands. Each keeps
// the cursor on the screen so every character is really drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// Printable ASCII, 80 characters per row with one of ten whole styles
// (colours, bold, underline, reverse) set before each row, CR LF after it, back to the top after 24 rows.
std::string denseAscii(std::size_t bytes, uint32_t seed);

// Shift_JIS rows: two-byte kana and kanji (about a thousand different
// characters) mixed with half-width katakana, about 80 cells per row, in
// one of four styles, with the same row and page structure.
std::string denseShiftJis(std::size_t bytes, uint32_t seed);

// Small shapes on random layers: 32 x 32 filled and outlined rectangles,
// lines, filled and outlined ellipses of radius 16.
std::string smallShapes(std::size_t bytes, uint32_t seed);

// ESC @ a;b;c;d V: the unit's version report.
std::string versionReport(unsigned a, unsigned b, unsigned c, unsigned d);

}  // namespace bench
