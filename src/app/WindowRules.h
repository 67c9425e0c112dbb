// The window over the 640 x 384 logical screen: where and how large it
// opens from the stored preferences, how a resize by the user snaps to whole
// screens, and what a move or a resize stores.
#pragma once

#include "app/Prefs.h"
#include "screen/ScreenPlacement.h"

struct WindowGeometry {
  int x, y;
  bool sized;  // a stored size is applied, as it stands
  int w, h;
  int scale;   // window pixels per screen pixel
};

// Position from "window_x"/"window_y" (else 40); the size only when both
// "window_w" and "window_h" are stored and within 16 screens.
WindowGeometry startWindow(const PreferenceMap& prefs);

// The whole number of screens nearest to w x h (a half rounds up), the
// smaller of the two directions, from 1 to 16.
int snappedScale(int w, int h);

// x, y: the window's outer corner, where a new window is put.
void storeWindowMove(PreferenceMap& prefs, int x, int y);
void storeWindowScale(PreferenceMap& prefs, int scale);
