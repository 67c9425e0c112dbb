#include "app/Recording.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/FirmwareVersion.h"

namespace {

const std::size_t kMaxHeaderLine = 4096;

bool readWhole(const std::string& path, std::string& bytes, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[65536];
  bool fits = true;
  for (std::size_t n; fits && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    fits = bytes.size() + n <= static_cast<std::size_t>(Recording::kMaxBytes);
    bytes.append(buffer, fits ? n : 0);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (!fits) error = path + ": larger than " + std::to_string(Recording::kMaxBytes) + " bytes";
  if (failed) error = path + ": read error";
  return fits && !failed;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool fromHex(const std::string& hex, std::string& bytes) {
  if (hex.empty() || hex.size() % 2 != 0) return false;
  bytes.resize(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = hexDigit(hex[2 * i]), low = hexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<char>(high * 16 + low);
  }
  return true;
}

// A decimal number of at most `digits` digits, all of text.
bool number(const std::string& text, std::size_t digits, uint64_t& value) {
  if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return true;
}

// "S.mmm": whole seconds, a point and three digits of milliseconds.
bool time(const std::string& text, uint64_t& ms) {
  const std::size_t point = text.find('.');
  uint64_t seconds = 0, millis = 0;
  if (point == std::string::npos || text.size() - point != 4 || !number(text.substr(0, point), 9, seconds) ||
      !number(text.substr(point + 1), 3, millis)) {
    return false;
  }
  ms = seconds * 1000 + millis;
  return true;
}

// The last `count` bytes received become a Discarded event at ms: taken
// from the ends of the FromUnit events before it, latest first. The program
// drops them right after they came, so they lie within the last few events.
bool discardLast(std::vector<Recording::Event>& events, uint64_t count, uint64_t ms) {
  const std::size_t kMostEventsBack = 32;
  std::string bytes;
  for (std::size_t i = events.size(); i-- > 0 && bytes.size() < count && events.size() - i <= kMostEventsBack;) {
    Recording::Event& event = events[i];
    if (event.kind != Recording::Event::FromUnit) continue;
    const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(count - bytes.size(), event.bytes.size()));
    bytes.insert(0, event.bytes, event.bytes.size() - take, take);
    event.bytes.resize(event.bytes.size() - take);
    if (event.bytes.empty()) events.erase(events.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (bytes.size() != count) return false;
  events.push_back({Recording::Event::Discarded, ms, bytes});
  return true;
}

// One event line, "S.mmm kind[ value]"; returns why it is not one, or "".
std::string event(const std::string& line, Recording& recording) {
  using Event = Recording::Event;
  const std::size_t space = line.find(' ');
  uint64_t ms = 0;
  if (space == std::string::npos || !time(line.substr(0, space), ms)) return "not an event";
  if (!recording.events.empty() && ms < recording.events.back().ms) return "the time goes back";
  const std::size_t valueAt = line.find(' ', space + 1);
  const std::string kind = line.substr(space + 1, valueAt == std::string::npos ? std::string::npos : valueAt - space - 1);
  const std::string value = valueAt == std::string::npos ? "" : line.substr(valueAt + 1);
  const bool takesValue = kind == "<" || kind == ">" || kind == "firmware" || kind == "dropped";
  if (takesValue != (valueAt != std::string::npos)) return "\"" + kind + "\" " + (takesValue ? "without" : "with") + " a value";
  std::string bytes;
  uint64_t count = 0;
  if (kind == "<" || kind == ">") {
    if (!fromHex(value, bytes)) return "bytes that are not in hex";
    recording.events.push_back({kind == "<" ? Event::FromUnit : Event::ToUnit, ms, bytes});
  } else if (kind == "firmware") {
    if (!readFirmwareVersion(value, recording.firmware)) return "not a version a.b.c.d";
  } else if (kind == "dropped") {
    if (!number(value, 9, count) || count == 0 || !discardLast(recording.events, count, ms)) {
      return "more bytes dropped than came just before";
    }
  } else if (kind == "opened" || kind == "reconnected" || kind == "lost") {
    recording.events.push_back({kind == "opened" ? Event::Opened : kind == "lost" ? Event::Lost : Event::Reconnected, ms, ""});
  } else {
    return "an unknown event \"" + kind.substr(0, 20) + "\"";
  }
  return "";
}

}  // namespace

bool readRecording(const std::string& path, Recording& recording, std::string& error) {
  recording = Recording();
  std::string bytes;
  return readWhole(path, bytes, error) && parseRecording(bytes, path, recording, error);
}

bool parseRecording(const std::string& bytes, const std::string& path, Recording& recording, std::string& error) {
  recording = Recording();
  const std::string magic = Recording::kMagic;
  if (bytes.compare(0, magic.size(), magic) != 0) {
    recording.events.push_back({Recording::Event::FromUnit, 0, bytes});
    return true;
  }
  recording.timed = true;
  const std::string first = bytes.substr(0, bytes.find('\n'));
  if (first != magic + std::to_string(Recording::kFormat)) {
    error = path + ": a recording in another format (\"" + first.substr(0, 40) + "\"); this one reads format " +
            std::to_string(Recording::kFormat);
    return false;
  }
  std::size_t pos = first.size() + 1;
  for (int lineNo = 2; pos < bytes.size(); ++lineNo) {
    const std::size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) {
      recording.note = path + ": the last line is cut off; it is left out";
      break;
    }
    const std::string line = bytes.substr(pos, end - pos);
    pos = end + 1;
    std::string why;
    const bool header = !line.empty() && (line[0] < '0' || line[0] > '9');
    if (header && line.size() > kMaxHeaderLine) {
      why = "a header line longer than " + std::to_string(kMaxHeaderLine) + " bytes";
    } else if (header && recording.events.empty()) {
      const std::string name = line.substr(0, line.find(' ')), value = line.substr(name.size() + (name.size() < line.size()));
      uint64_t speed = 0;
      if (name == "program") recording.program = value;
      if (name == "device") recording.device = value;
      if (name == "speed" && !number(value, 10, speed)) why = "a speed that is not a number";
      recording.speed = static_cast<unsigned long>(speed ? speed : recording.speed);
    } else {
      why = header ? "a header line after the events" : event(line, recording);
    }
    if (!why.empty()) {
      error = path + ": line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
  }
  return true;
}
