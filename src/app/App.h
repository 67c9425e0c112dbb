// The application: start-up, connection handshake, main loop and shut-down.
// Its settings let tests and the demo run it without a person, without the
// real /dev and without the internet; the program itself uses the defaults.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/Prefs.h"
#include "app/Settings.h"

class edispSDL;
class CommSerial;
class HumanInputsSDL;
class EscSeqParser;

// A look at the running program, for tests and tools that drive it.
struct AppProbe {
  enum Stage {
    Started,         // start-up done, before the connection handshake
    VersionWaited,   // handshake: the version wait ended, bytes still waiting are about to be discarded
    LoopPass,        // start of a main-loop pass that will run
  };
  Stage stage;
  edispSDL* disp;
  CommSerial* serial;
  HumanInputsSDL* inputs;
  EscSeqParser* parser;
  PreferenceMap* prefs;
  int scale;
  const char* devicePath;
};

struct AppConfig : Settings {
  std::string devicePath;       // empty: discover the unit's device under devDir
  std::string devDir = "/dev";  // where the serial call-out devices are listed
  std::string basePath;         // empty: SDL_GetBasePath(), else the current directory
  // Called on the main thread at each stage; it may push SDL events or talk
  // to the unit, and must not delete anything it is given.
  std::function<void(const AppProbe&)> probe;
  uint32_t baudrate = 0;        // 0: the preference file's line speed
  std::string recordFile = {};  // empty: no recording of the session
  std::string traceFile = {};   // empty: no trace; "-": standard error
  std::string imagesDir = {};   // pictures are looked for here first
  bool verbose = false;         // connection events on standard error
};

// Exit statuses besides 0 (the window was closed): 1 when a library or the
// screen cannot be started, and these two when the unit cannot be reached.
constexpr int kExitCannotConnect = 3;  // the port could not be opened
constexpr int kExitTimedOut = 4;       // the unit did not answer the version request

// Runs the program to its end and returns the process exit status.
int runTavixDisp(const AppConfig& config);

// Milliseconds since the SDL tick value start, right across one wrap of the
// 32-bit counter.
unsigned GetElapsedTick(unsigned start);
