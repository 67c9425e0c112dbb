// The application: start-up, connection handshake, main loop and shut-down.
// The seams let tests and the demo run it without a person, without the real
// /dev and without the internet; the program itself uses the defaults.
#pragma once

#include <string>

#include "app/alert.h"

struct AppConfig {
  std::string devicePath;       // empty: discover the unit's device under devDir
  std::string devDir = "/dev";  // where the serial call-out devices are listed
  std::string prefsDir;         // empty: SDL's per-user preference directory
  std::string basePath;         // empty: SDL_GetBasePath(), else the current directory
  std::string firmwarePageUrl;  // empty: the build-time page address
  AlertSink alertSink;          // empty: the platform's message box
};

// Runs the program to its end and returns the process exit status.
int runTavixDisp(const AppConfig& config);
