// Command-line options of the unit simulator (also taken by the demo).
#pragma once

#include <cstdint>
#include <string>

#include "SimSession.h"

struct SimOptions {
  FirmwareVersion firmware;     // reported to the program: 1.0.0.0, or the recording's, unless given
  bool firmwareGiven = false;
  std::string replayFile;       // play this recording instead of the demonstration
  bool fast = false;            // ... all at once instead of at its pace
  std::string recordFile;       // write every byte the program sends to this file
  std::string linkPath;         // also make this a symbolic link to the device
  std::string imagesDir;        // pictures are looked for here first
  std::string decodeFile;       // print the trace of this recording, and nothing else
  std::string pngFile;          // save the screen the replayed recording leaves here, and nothing else
  uint64_t atMs = UINT64_MAX;   // ... the screen at this time of it
  bool log = false;             // print the program's input reports to standard error
  bool verbose = false;         // tell which folder each picture comes from
  bool help = false;
  bool version = false;
};

// Parses argv[1..argc-1]; false with `error` set on an unknown option, a
// bad value, or options that do not go together.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);

// The option lines of the usage text: those of the simulated unit, which
// the demo takes too, and those of the simulator's own tools.
const char* simOptionsHelp();
const char* simToolsHelp();
