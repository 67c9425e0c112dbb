// An alert drawn in a window of the program's own, with the screen's font,
// so that the program goes on seeing its events while the alert waits: a
// quit (a signal, the close button of the program's other window) answers
// the alert as its escape button would, and stays queued for the program.
#pragma once

#include "app/Settings.h"

// Shows the alert until it is answered and returns the chosen button:
// Return or Space choose the focused one (first the default), Escape and
// the alert's close button the escape one. -1 when no window could be made
// for it (no font, no window system); the alert was not shown then.
int showAlertWindow(const AlertRequest& request, int defaultButton, int escapeButton);
