#include "app/Options.h"

#include <cstdlib>

namespace {

const char kFirmwarePageVariable[] = "TAVIX_FIRMWARE_PAGE_URL";

// One option: its name, the name of its value (null when it takes none),
// what it does, and how it goes into the options; apply returns false when
// the value is unusable.
struct OptionRule {
  const char* name;
  const char* valueName;
  const char* help;
  bool (*apply)(Options& options, const std::string& value);
};

bool positiveNumber(const std::string& text, uint32_t& number) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  number = static_cast<uint32_t>(value);
  return value > 0 && value <= 0xFFFFFFFFull;
}

const OptionRule kRules[] = {
    {"--device", "PATH", "use this serial device instead of looking for the unit",
     [](Options& o, const std::string& v) {
       o.config.devicePath = v;
       return !v.empty();
     }},
    {"--baud", "N", "line speed in bit/s for this run only",
     [](Options& o, const std::string& v) { return positiveNumber(v, o.config.baudrate); }},
    {"--record", "FILE", "record the session, timed, to FILE (for tavixSim --replay, --decode, --png)",
     [](Options& o, const std::string& v) {
       o.config.recordFile = v;
       return !v.empty();
     }},
    {"--trace", "FILE", "one line per event on the link, decoded, to FILE (- for standard error)",
     [](Options& o, const std::string& v) {
       o.config.traceFile = v;
       return !v.empty();
     }},
    {"--images", "DIR", "look for pictures in DIR first",
     [](Options& o, const std::string& v) {
       o.config.imagesDir = v;
       return !v.empty();
     }},
    {"--verbose", nullptr, "one line on standard error per connection event and picture folder",
     [](Options& o, const std::string&) {
       o.config.verbose = true;
       return true;
     }},
    {"--list", nullptr, "list the serial devices and whether they can be opened",
     [](Options& o, const std::string&) {
       o.action = Options::List;
       return true;
     }},
    {"--version", nullptr, "print the version and the firmware page address",
     [](Options& o, const std::string&) {
       o.action = Options::Version;
       return true;
     }},
    {"--help", nullptr, "print this text",
     [](Options& o, const std::string&) {
       o.action = Options::Help;
       return true;
     }},
};

}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  if (const char* page = std::getenv(kFirmwarePageVariable)) {
    options.config.firmwarePageUrl = page;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const OptionRule* rule = nullptr;
    for (const OptionRule& candidate : kRules) {
      if (arg == candidate.name) rule = &candidate;
    }
    if (!rule) {
      error = "unknown option \"" + arg + "\" (see --help)";
      return false;
    }
    if (rule->valueName && i + 1 >= argc) {
      error = arg + " needs a value: " + arg + " " + rule->valueName;
      return false;
    }
    const std::string value = rule->valueName ? argv[++i] : "";
    if (!rule->apply(options, value)) {
      error = "bad value for " + arg + ": \"" + value + "\"";
      return false;
    }
  }
  return true;
}

std::string optionsUsage() {
  std::string usage =
      "Usage: tavixDisp [options]\n"
      "The display terminal of the T.A.V.I.X unit. Without options it looks for the\n"
      "unit's serial device by itself.\n\n";
  for (const OptionRule& rule : kRules) {
    std::string left = std::string("  ") + rule.name + (rule.valueName ? std::string(" ") + rule.valueName : "");
    left.resize(18, ' ');
    usage += left + rule.help + "\n";
  }
  usage += std::string("\nEnvironment: ") + kFirmwarePageVariable +
           " replaces the firmware page address.\nF12 saves the screen as a PNG in the pictures folder.\n";
  return usage;
}
