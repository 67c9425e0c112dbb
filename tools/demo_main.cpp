// tavixDispDemo: the display program with a simulated unit as its unit. It
// starts the simulator on a pseudo-terminal in a thread of its own and runs
// the program's own code on that device, with preferences of its own (so
// the real program's window position and firmware check stay untouched).
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SimulatedUnit.h"
#include "app/App.h"
#include "app/Prefs.h"

namespace {


// The demo's unit reports a made-up firmware version: comparing it with the
// maker's download page means nothing, so the day's check is marked done
// unless asked for.
void skipTodaysFirmwareCheck(const std::string& prefsDir) {
  Settings settings;
  settings.prefsDir = prefsDir;
  PreferenceMap prefs;
  readPrefsData(settings, kPrefsFile, prefs);
  prefs[kPrefCheckedDate] = getTodayDate();
  writePrefsData(settings, kPrefsFile, prefs);
}

}  // namespace

int main(int argc, char** argv) {
  bool firmwareCheck = false;
  std::vector<char*> simArgs;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--firmware-check") == 0) {
      firmwareCheck = true;
    } else {
      simArgs.push_back(argv[i]);
    }
  }
  SimOptions options;
  std::string error;
  if (!parseSimOptions(static_cast<int>(simArgs.size()), simArgs.data(), options, error)) {
    std::fprintf(stderr, "tavixDispDemo: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::printf("Usage: tavixDispDemo [options]\n"
                "Opens tavixDisp with a simulated T.A.V.I.X unit connected.\n\n%s"
                "  --firmware-check   compare the unit's version with the firmware page\n",
                simOptionsHelp());
    return 0;
  }
  if (options.version) {
    std::printf("tavixDispDemo %s\n", TAVIX_VERSION);
    return 0;
  }
  if (!options.decodeFile.empty() || !options.pngFile.empty()) {
    std::fprintf(stderr, "tavixDispDemo: --decode and --png are tavixSim's\n");
    return 2;
  }

  SimulatedUnit unit;
  if (!unit.start(options, error)) {
    std::fprintf(stderr, "tavixDispDemo: %s\n", error.c_str());
    return 1;
  }

  AppConfig config;
  config.devicePath = unit.devicePath();
  config.imagesDir = options.imagesDir;
  char* prefPath = SDL_GetPrefPath("tavixProject", "tavixDispDemo");
  if (prefPath != nullptr) {
    config.prefsDir = prefPath;
    SDL_free(prefPath);
    if (!firmwareCheck) skipTodaysFirmwareCheck(config.prefsDir);
  }

  unit.runInBackground();
  int status = runTavixDisp(config);
  unit.stopBackground();
  return status;
}
