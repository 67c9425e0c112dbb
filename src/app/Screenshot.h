// F12: the screen saved as a PNG in the user's pictures folder, its file name
// shown in the window title for a few seconds.
#pragma once

#include <cstdint>
#include <string>

class edispSDL;

// The user's pictures folder: $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR
// entry of user-dirs.dirs in $XDG_CONFIG_HOME (or ~/.config), else
// ~/Pictures.
std::string picturesDir();

class ScreenshotKey {
public:
  static const uint32_t kTitleNoteMs = 3000;

  // Once per main-loop pass with the pass's key code: F12 saves the screen;
  // a title note whose time is up gives way to the usual title.
  void pass(edispSDL& screen, unsigned key, uint32_t nowMs);
  // Milliseconds until a title note is due to end; UINT32_MAX without one.
  uint32_t idleMs(uint32_t nowMs) const;

private:
  void save(edispSDL& screen, uint32_t nowMs);

  std::string usualTitle;
  bool noting = false;
  uint32_t noteEndMs = 0;
};
