// The logical screen's size, and where that screen shows in a window of any
// size. The window's presentation and the mouse reports to the unit follow
// the same rule, so a pixel of the screen is reported where it is shown.
#pragma once

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 384;

// Where the screen of screenW x screenH shows in a window of w x h: the
// largest whole scale at which it fits (at least 1), its corner placed so
// that it is centred (negative when even one screen does not fit).
struct ScreenPlacement {
  int scale;
  int x, y;
};
ScreenPlacement placeScreen(int w, int h, int screenW = kScreenWidth, int screenH = kScreenHeight);
