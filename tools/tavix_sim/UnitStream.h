// Builds what the unit sends to the display program: text (ASCII and
// Shift_JIS), cursor and attribute sequences, and the unit's own commands
// for layers, shapes, pictures, character size and the firmware version.
// Each call appends its bytes; bytes() hands the whole stream over.
#pragma once

#include <initializer_list>
#include <string>

// 15-bit colour from 8-bit components (each component keeps its top 5 bits).
int rgb555(int r, int g, int b);

// Shift_JIS form of UTF-8 text; characters without one become "?".
std::string toShiftJis(const std::string& utf8);

class UnitStream {
public:
  // Text and cursor.
  UnitStream& text(const std::string& ascii);
  UnitStream& japanese(const std::string& utf8);  // sent as Shift_JIS
  UnitStream& newline();                          // CR LF
  UnitStream& move(int row, int col);
  UnitStream& up(int rows);
  UnitStream& attributes(std::initializer_list<int> codes);  // 1 to 4 codes; none resets
  UnitStream& clearText();
  UnitStream& eraseToEnd();
  UnitStream& eraseRow();
  UnitStream& erase(int cells);

  // Screen control.
  UnitStream& initScreen();
  UnitStream& charSize(int size);  // 0: 4 x 8, 1: 5 x 12, 2: 8 x 16
  UnitStream& showLayer(int layer);
  UnitStream& clearLayer(int layer);

  // Shapes and pictures on a background layer.
  UnitStream& fillRect(int layer, int w, int h, int x, int y, int colour);
  UnitStream& rect(int layer, int w, int h, int x, int y, int colour);
  UnitStream& line(int layer, int x1, int y1, int x2, int y2, int colour);
  UnitStream& ellipse(int layer, bool filled, int cx, int cy, int rx, int ry, int colour);
  UnitStream& picture(int number, int layer, int x, int y);
  UnitStream& folderPicture(int number, int layer, int folder, int x, int y);

  // The answer to the firmware version request.
  UnitStream& versionReport(unsigned a, unsigned b, unsigned c, unsigned d);

  UnitStream& raw(const std::string& bytes);
  const std::string& bytes() const { return out; }
  std::string take();

private:
  UnitStream& sequence(char introducer, std::initializer_list<long> values, char final);

  std::string out;
};
