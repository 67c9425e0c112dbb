// What the byte-stream parser asks of the screen: text at the cursor, cursor
// moves, attributes, erasing, character size, background layers, shapes and
// pictures. The program's screen is edispSDL; tests put a recorder here.
#pragma once

class ScreenIntf {
public:
  virtual ~ScreenIntf() = default;

  // Text and cursor.
  virtual void puts_(const char* text, unsigned len) = 0;
  virtual void move(int row, int col) = 0;
  virtual void curmove(int dRow, int dCol) = 0;
  virtual void cur_rowtop() = 0;
  virtual void curon() = 0;
  virtual void curoff() = 0;
  virtual void set_attribute(int a) = 0;
  virtual void set_attribute(int a, int b) = 0;
  virtual void set_attribute(int a, int b, int c) = 0;
  virtual void set_attribute(int a, int b, int c, int d) = 0;
  virtual void save_attribute(int slot) = 0;
  virtual void load_attribute(int slot) = 0;

  // Clearing and erasing.
  virtual void clear() = 0;
  virtual void del_to_end() = 0;
  virtual void del_row() = 0;
  virtual void del(int n) = 0;
  virtual void init_disp() = 0;
  virtual void set_charsize(int n) = 0;

  // Background layers and pictures.
  virtual void set_bgbuff(int layer) = 0;
  virtual void clear_bgbuff(int layer) = 0;
  virtual void draw_fillrect(int layer, int w, int h, int x, int y, int colour) = 0;
  virtual void draw_rectangle(int layer, int w, int h, int x, int y, int colour) = 0;
  virtual void draw_line(int layer, int x1, int y1, int x2, int y2, int colour) = 0;
  virtual void draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) = 0;
  virtual void draw_image(int picture, int layer, int x, int y) = 0;
  virtual void draw_image2(int picture, int layer, int folder, int x, int y) = 0;
};
