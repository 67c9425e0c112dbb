// The program's command line: the device and line speed to use, a recording
// and a trace of the session, connection events on standard error, and the
// requests that only print something (help, version, the serial devices).
#pragma once

#include <string>

#include "app/App.h"

struct Options {
  enum Action { Run, Help, Version, List };
  Action action = Run;
  AppConfig config;  // the run's settings, from the options and the environment
};

// Parses argv[1..argc-1] into options, taking the firmware page address from
// the environment variable TAVIX_FIRMWARE_PAGE_URL when it is set. False with
// a one-line error on an unknown option or a bad value.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

// The usage text printed by --help.
std::string optionsUsage();
