// The program's one screen: a resizable window over a fixed logical screen
// made of four background layers (one shown at a time) and a text layer with
// alpha above them. It holds the cursor and presentation, and hands the
// drawing to its parts: the window, the background layers, the text painter
// and the pen. Knows nothing of the wire protocol.
#pragma once

#include <SDL.h>

#include <cstdarg>
#include <cstdint>

#include "screen/BackgroundLayers.h"
#include "screen/CreationFailure.h"
#include "screen/Pen.h"
#include "screen/ScreenIntf.h"
#include "screen/ScreenPlacement.h"
#include "screen/ScreenWindow.h"
#include "screen/TextPainter.h"

class edispSDL : public ScreenIntf {
public:
  // Each creation failure is told through `failed` (empty: a line on
  // standard error).
  edispSDL(const char* title, int x, int y, int w, int h, const char* basePath, CreationFailure failed = CreationFailure());
  edispSDL(const edispSDL&) = delete;
  edispSDL& operator=(const edispSDL&) = delete;

  // Window.
  void resizeWindow(int w, int h);
  void getWindowSize(int* w, int* h);
  void changeWindowTitle(const char* title);
  // Desktop fullscreen on or off; the window's own size and place come back
  // when it is left.
  void toggleFullscreen();
  bool isFullscreen() const;
  // Where the screen shows in the window as it is now: the largest whole
  // scale that fits, centred on black.
  ScreenPlacement placement();
  SDL_Window* getWindow() const { return window.sdlWindow(); }

  // Presentation.
  void updateContent();
  void stopUpdate();
  void resumeUpdate();

  // What the screen shows at its logical size: the shown background layer
  // with the text layer over it, as a new RGB surface the caller frees; null
  // on failure. Independent of the window's size and of presentation.
  SDL_Surface* captureScreen();

  // Text and cursor.
  void puts_(const char* text, unsigned len) override;
  void printw(const char* fmt, ...);
  void vprintw(const char* fmt, va_list args);
  int getLineLength(const char* s) const;
  void move(int row, int col) override;
  void curmove(int dRow, int dCol) override;
  void cur_rowtop() override;
  void curon() override;
  void curoff() override;
  void set_attribute(int a) override;
  void set_attribute(int a, int b) override;
  void set_attribute(int a, int b, int c) override;
  void set_attribute(int a, int b, int c, int d) override;
  void save_attribute(int slot) override;
  void load_attribute(int slot) override;
  int getCursorRow() const { return cursorY; }
  int getCursorCol() const { return cursorX; }
  int getCharSize() const { return text.charSize(); }

  // Clearing and erasing.
  void clear() override;
  void del_to_end() override;
  void del_row() override;
  void del(int n) override;
  void init_disp() override;
  void set_charsize(int n) override;

  // Background layers and pictures.
  void set_bgbuff(int layer) override;
  void clear_bgbuff(int layer) override;
  void draw_fillrect(int layer, int w, int h, int x, int y, int colour) override;
  void draw_rectangle(int layer, int w, int h, int x, int y, int colour) override;
  void draw_line(int layer, int x1, int y1, int x2, int y2, int colour) override;
  void draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) override;
  void draw_image(int picture, int layer, int x, int y) override;
  void draw_image2(int picture, int layer, int folder, int x, int y) override;
  // Where picture files are read (see BackgroundLayers).
  void setPictureLookup(BackgroundLayers::PictureLookup lookup) { layers.setPictureLookup(std::move(lookup)); }
  int getBgBuffIndex() const { return bgBuffIndex; }

  // Drawn characters are kept (per font, text, colours, underline and bold)
  // and reused (on by default); off, every character is rendered anew. The
  // pixels drawn are the same either way.
  void setKeptCellsEnabled(bool on) { text.setKeptCellsEnabled(on); }

  // True only if every window, renderer, texture and font was created.
  bool initialized;

private:
  friend class ScreenTestView;

  // Makes the cursor row's pixels x .. x + width - 1 transparent, then presents.
  void eraseCells(int64_t x, int64_t width);

  // Destroyed in reverse order: what was drawn through the renderer goes
  // before the window that owns it.
  ScreenWindow window;
  BackgroundLayers layers;
  TextPainter text;
  Pen pen;
  int cursorX = 0;
  int cursorY = 0;
  int bgBuffIndex = 0;
  bool updateEnabled = true;
  CreationFailure reportFailure;
};
