// The program's one screen: a resizable window over a fixed logical screen
// made of four background layers (one shown at a time) and a text layer with
// alpha above them. Knows nothing of the wire protocol.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/WindowRules.h"
#include "screen/KeptCells.h"
#include "screen/PictureCache.h"
#include "screen/ScreenIntf.h"
#include "screen/TextLayer.h"

class edispSDL : public ScreenIntf {
public:
  // Creation failures are shown through `alerts` (empty: the platform's
  // message box).
  edispSDL(const char* title, int x, int y, int w, int h, const char* basePath, AlertSink alerts = AlertSink());
  ~edispSDL();
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

  // Read-only views for the application and for tests.
  int getCursorRow() const { return cursorY; }
  int getCursorCol() const { return cursorX; }
  int getCharSize() const { return charSize; }
  int getBgBuffIndex() const { return bgBuffIndex; }
  bool isUpdateEnabled() const { return updateEnabled; }
  SDL_Color getFgColor() const { return fgColor; }
  SDL_Color getBgColor() const { return bgColor; }
  bool isBold() const { return bold; }
  bool isUnderline() const { return underline; }
  bool isBlink() const { return blink; }
  bool isReverse() const { return reverse; }
  // Number of presentations made so far (each composes and presents once).
  unsigned long getPresentCount() const { return presentCount; }
  SDL_Renderer* getRenderer() const { return renderer; }
  // The text layer, with every character drawn so far in it.
  SDL_Texture* getTextLayer();
  // The background layer 0..3, or null for any other number.
  SDL_Texture* getLayer(int layer) const;
  int getLogicalWidth() const { return logicalW; }
  int getLogicalHeight() const { return logicalH; }
  SDL_Window* getWindow() const { return window; }

  // Where picture files are read: given a name such as "5.jpg" or
  // "3/5.jpg", the path of the file. Without one, Image/ under the base path.
  using PictureLookup = std::function<std::string(const std::string& name)>;
  void setPictureLookup(PictureLookup lookup) { findPicture = std::move(lookup); }

  // Drawn characters are kept (per font, text, colours, underline and bold)
  // and reused (on by default); off, every character is rendered anew. The
  // pixels drawn are the same either way.
  void setGlyphCacheEnabled(bool on);
  bool isGlyphCacheEnabled() const { return keptCells.isEnabled(); }

  // True only if every window, renderer, texture and font was created.
  bool initialized;

private:
  // Shows the creation failure `what` with SDL's error text; clears initialized.
  void creationFailed(const char* what);
  // Colours and the four attribute bits back to their start values.
  void resetAttributes();
  // Draws one UTF-8 run of len bytes (NUL-terminated) at the cursor cell on
  // the text layer: paper fill, underline, glyphs (twice when bold). Returns
  // the run's width in pixels, or -1 after logging a failure. All glyph
  // rendering goes through here.
  int drawText(const char* utf8, size_t len, SDL_Color ink, SDL_Color paper);
  // Makes the cursor row's pixels x .. x + width - 1 transparent, then presents.
  void eraseCells(int64_t x, int64_t width);
  // Sets background layer `layer` as target with the drawing colour; false
  // (and nothing set) for a layer number outside 0..3.
  bool targetLayer(int layer, int colour);
  bool layerRect(int w, int h, int x, int y, SDL_Rect* out) const;
  void drawPicture(const char* path, int layer, int x, int y);
  // Sends the composed screen to the window at its placement: the whole
  // window when asked or when the window surface changed, else the spans
  // of rows that differ from what the window shows.
  void showComposed(bool whole);
  static int watchWindow(void* self, SDL_Event* event);
  SDL_Window* window;
  SDL_Renderer* renderer;
  SDL_Texture* textTexture;
  int charSize;
  TTF_Font* fonts[3];
  int cursorX;
  int cursorY;
  SDL_Color fgColor;
  SDL_Color bgColor;
  unsigned char bold : 1;
  unsigned char underline : 1;
  unsigned char blink : 1;
  unsigned char reverse : 1;
  SDL_Texture* bgBuffers[4];
  int bgBuffIndex;
  bool updateEnabled;
  char* basePath;
  AlertSink alertSink;
  int logicalW;
  int logicalH;
  unsigned long presentCount;
  // The renderer draws into the composed screen; shown holds what the
  // window was last sent, at logical size, and line one replicated row.
  SDL_Surface* composed;
  std::vector<Uint32> shown;
  std::vector<Uint32> line;
  SDL_Surface* shownSurface;
  int shownW;
  int shownH;
  // The window lost its content (exposed): the next showing sends it whole.
  bool windowStale;
  // The text layer's pixels held in memory, and the characters kept for
  // drawing into them.
  TextLayer textPixels;
  KeptCells keptCells;
  // Pictures decoded from their files, kept for drawing again.
  PictureCache pictures;
  PictureLookup findPicture;
};
