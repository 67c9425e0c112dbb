// Modal alerts: the one-button error alert and the two-button prompt of the
// firmware check, shown through the sink of the settings they are given.
#pragma once

#include "app/Settings.h"

// Shows the alert through the settings' sink and waits for the answer.
int showAlert(const Settings& settings, const AlertRequest& request);

// Modal alert with a header, a message and one "OK" button. Returns after the
// user dismissed it, or the program was asked to quit (the quit stays
// queued); without a display the texts go to standard error.
void DisplayErrorDialog(const Settings& settings, const char* header, const char* message);

// The same with the default settings: the platform's message box.
void DisplayErrorDialog(const char* header, const char* message);

// The video driver shows nothing (SDL's dummy and offscreen drivers):
// there is no window to see and no one to answer a box.
bool invisibleVideoDriver(const char* driver);
