// Command-line options of the unit simulator (also taken by the demo).
#pragma once

#include <string>

#include "SimSession.h"

struct SimOptions {
  FirmwareVersion version;  // reported to the program; 1.0.0.0 unless given
  std::string replayFile;   // send this file's bytes instead of the demonstration
  std::string recordFile;   // write every byte the program sends to this file
  std::string linkPath;     // also make this a symbolic link to the device
  bool log = false;         // print the program's input reports to standard error
  bool help = false;
};

// Parses argv[1..argc-1]; false with `error` set on an unknown option or a
// bad value.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);

// The option lines of the usage text.
const char* simOptionsHelp();
