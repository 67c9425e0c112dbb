#include "SimOptions.h"

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--log") {
      options.log = true;
    } else if (arg == "--version") {
      std::string text;
      if (!value(text)) return false;
      if (!parseFirmwareVersion(text, options.version)) {
        error = "--version wants four numbers 0-255 like 1.2.3.4, not \"" + text + "\"";
        return false;
      }
    } else if (arg == "--replay") {
      if (!value(options.replayFile)) return false;
    } else if (arg == "--record") {
      if (!value(options.recordFile)) return false;
    } else if (arg == "--link") {
      if (!value(options.linkPath)) return false;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

const char* simOptionsHelp() {
  return "  --version A.B.C.D  firmware version the unit reports (default 1.0.0.0)\n"
         "  --replay FILE      send FILE's bytes as they are instead of the demonstration\n"
         "  --record FILE      write every byte the program sends to FILE\n"
         "  --link PATH        also make PATH a symbolic link to the unit's device\n"
         "  --log              print the program's input reports on standard error\n"
         "  --help             show this text\n";
}
