#include "SimOptions.h"

namespace {

// "S", "S.m", "S.mm" or "S.mmm" seconds, as milliseconds.
bool parseSeconds(const std::string& text, uint64_t& ms) {
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point), part = point == std::string::npos ? "" : text.substr(point + 1);
  const auto digits = [](const std::string& s, std::size_t most) {
    return !s.empty() && s.size() <= most && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (!digits(whole, 9) || (point != std::string::npos && !digits(part, 3))) return false;
  ms = std::stoull(whole) * 1000 + (part.empty() ? 0 : std::stoull((part + "00").substr(0, 3)));
  return true;
}

}  // namespace

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error) {
  bool atGiven = false;
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
    std::string text;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--log") {
      options.log = true;
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--fast") {
      options.fast = true;
    } else if (arg == "--firmware") {
      if (!value(text)) return false;
      if (!parseFirmwareVersion(text, options.firmware)) {
        error = "--firmware wants four numbers 0-255 like 1.2.3.4, not \"" + text + "\"";
        return false;
      }
      options.firmwareGiven = true;
    } else if (arg == "--at") {
      if (!value(text)) return false;
      if (!parseSeconds(text, options.atMs)) {
        error = "--at wants seconds like 2 or 1.25, not \"" + text + "\"";
        return false;
      }
      atGiven = true;
    } else if (arg == "--replay" || arg == "--record" || arg == "--link" || arg == "--images" || arg == "--decode" ||
               arg == "--png") {
      std::string& into = arg == "--replay" ? options.replayFile : arg == "--record" ? options.recordFile
                          : arg == "--link" ? options.linkPath : arg == "--images" ? options.imagesDir
                          : arg == "--decode" ? options.decodeFile : options.pngFile;
      if (!value(into)) return false;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (options.fast && options.replayFile.empty()) error = "--fast goes with --replay";
  if (!options.pngFile.empty() && options.replayFile.empty()) error = "--png goes with --replay";
  if (atGiven && options.pngFile.empty()) error = "--at goes with --png";
  if (!options.decodeFile.empty() && !options.replayFile.empty()) error = "--decode goes alone";
  return error.empty();
}

const char* simOptionsHelp() {
  return "  --firmware A.B.C.D  firmware version the unit reports (default 1.0.0.0, or the\n"
         "                     recording's)\n"
         "  --replay FILE      play FILE instead of the demonstration: a recording made\n"
         "                     with tavixDisp --record, at its pace, or any file of the\n"
         "                     unit's bytes, sent as they are\n"
         "  --fast             with --replay: send everything at once\n"
         "  --record FILE      write every byte the program sends to FILE\n"
         "  --link PATH        also make PATH a symbolic link to the unit's device\n"
         "  --images DIR       look for pictures in DIR first (the demo, --png)\n"
         "  --log              print the program's input reports on standard error\n"
         "  --version          print the version\n"
         "  --help             show this text\n";
}

const char* simToolsHelp() {
  return "  --decode FILE      print what happened in a recording, as tavixDisp --trace\n"
         "                     does, and end\n"
         "  --png OUT.png      with --replay, no device and no window: save the screen\n"
         "                     the recording leaves as OUT.png (640 x 384) and end\n"
         "  --at SECONDS       with --png: the screen at this time of a timed recording\n"
         "  --verbose          with --png: tell which folder each picture comes from\n";
}
