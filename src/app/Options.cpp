#include "app/Options.h"

#include <getopt.h>

#include <cstdlib>
#include <vector>

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

// The options that also have a letter of their own.
const struct {
  char letter;
  const char* name;
} kLetters[] = {{'h', "--help"}, {'V', "--version"}};

const size_t kRuleCount = sizeof kRules / sizeof kRules[0];
// getopt_long's code for rule i; above every letter.
int ruleCode(size_t i) { return 256 + static_cast<int>(i); }

// The rule getopt_long reported with code (a rule's code or a letter), or null.
const OptionRule* ruleFor(int code) {
  const char* name = "";
  for (const auto& letter : kLetters) {
    if (code == letter.letter) name = letter.name;
  }
  for (size_t i = 0; i < kRuleCount; ++i) {
    if (code == ruleCode(i) || std::string(name) == kRules[i].name) return &kRules[i];
  }
  return nullptr;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  if (const char* page = std::getenv(kFirmwarePageVariable)) {
    options.config.firmwarePageUrl = page;
  }
  std::vector<struct option> longOptions;
  for (size_t i = 0; i < kRuleCount; ++i) {
    longOptions.push_back({kRules[i].name + 2, kRules[i].valueName ? required_argument : no_argument, nullptr, ruleCode(i)});
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});
  // "+": options end at the first word that is not one; ":": a missing value is told apart.
  std::string letters = "+:";
  for (const auto& letter : kLetters) letters += letter.letter;

  opterr = 0;
#ifdef __APPLE__
  optreset = 1;
  optind = 1;
#else
  optind = 0;  // glibc starts afresh
#endif
  for (int code; (code = getopt_long(argc, argv, letters.c_str(), longOptions.data(), nullptr)) != -1;) {
    // The word getopt_long stopped at, as the user wrote it.
    const std::string word = argv[optind - 1], given = word.substr(0, word.find('='));
    const OptionRule* rule = ruleFor(code == '?' || code == ':' ? optopt : code);
    if (code == ':') {
      error = std::string(rule->name) + " needs a value: " + rule->name + " " + rule->valueName;
      return false;
    }
    if (code == '?') {
      const bool letter = optopt > 0 && optopt < 256;
      error = rule && !letter ? given + " takes no value"
                              : "unknown option \"" + (letter ? std::string("-") + char(optopt) : given) + "\" (see --help)";
      return false;
    }
    const std::string value = rule->valueName ? optarg : "";
    if (!rule->apply(options, value)) {
      error = "bad value for " + std::string(rule->name) + ": \"" + value + "\"";
      return false;
    }
  }
  if (optind < argc) {
    error = "unknown option \"" + std::string(argv[optind]) + "\" (see --help)";
    return false;
  }
  return true;
}

std::string optionsUsage() {
  std::string usage =
      "Usage: tavixDisp [options]\n"
      "The display terminal of the T.A.V.I.X unit. Without options it looks for the\n"
      "unit's serial device by itself. A value follows its option as the next word\n"
      "or after \"=\" (--device=PATH); \"--\" ends the options.\n\n";
  for (const OptionRule& rule : kRules) {
    std::string left = "      ";
    for (const auto& letter : kLetters) {
      if (std::string(letter.name) == rule.name) left = std::string("  -") + letter.letter + ", ";
    }
    left += std::string(rule.name) + (rule.valueName ? std::string(" ") + rule.valueName : "");
    left.resize(22, ' ');
    usage += left + rule.help + "\n";
  }
  usage += std::string("\nEnvironment: ") + kFirmwarePageVariable +
           " replaces the firmware page address.\nF12 saves the screen as a PNG in the pictures folder.\n";
  return usage;
}
