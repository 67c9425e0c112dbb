#include "protocol/HostInputDecoder.h"

#include <cstdio>

#include "protocol/UnitWire.h"

namespace {

using unit_wire::kEsc;

// The introducers and finals of the reports, taken from the wire forms.
const uint8_t kCsi = static_cast<uint8_t>(unit_wire::kMouseReportFormat[1]);
const uint8_t kMouseIntro = static_cast<uint8_t>(unit_wire::kMouseReportFormat[2]);
const uint8_t kMouseFinal = static_cast<uint8_t>(unit_wire::kMouseReportFormat[sizeof unit_wire::kMouseReportFormat - 2]);
const uint8_t kAtIntro = unit_wire::kVersionRequest[1];
const uint8_t kAtFinal = unit_wire::kVersionRequest[5];
const std::string kVersionDigits(reinterpret_cast<const char*>(unit_wire::kVersionRequest) + 2, 3);
// Wheel reports share the request's first two digits: ESC @ 9 9 <digit> y.
const std::string kWheelPrefix = kVersionDigits.substr(0, 2);
const HostEvent::Kind kWheelKinds[] = {HostEvent::WheelUp, HostEvent::WheelDown, HostEvent::WheelLeft,
                                       HostEvent::WheelRight};
const HostEvent::Kind kNavigationKinds[] = {HostEvent::Home, HostEvent::End, HostEvent::PageUp,
                                            HostEvent::PageDown};

// "@" commands are at most a few digits ("999"); mouse reports are three
// numbers of at most five digits each. Anything longer is not a report.
const size_t kMaxAtDigits = 6;
const size_t kMaxMouseText = 24;
const size_t kMaxMouseDigits = 6;

}  // namespace

bool HostEvent::operator==(const HostEvent& other) const {
  return kind == other.kind && number == other.number && code == other.code && x == other.x &&
         y == other.y;
}

std::string describe(const HostEvent& event) {
  static const char* const names[] = {
      "keep-alive", "version request", "up",         "down",      "right",
      "left",       "enter",           "back",       "home",      "end",
      "page up",    "page down",       "F",          "wheel up",  "wheel down",
      "wheel left", "wheel right",     "key",        "mouse"};
  std::string text = names[event.kind];
  char detail[64];
  detail[0] = '\0';
  if (event.kind == HostEvent::Function) {
    std::snprintf(detail, sizeof detail, "%d", event.number);
  } else if (event.kind == HostEvent::Char) {
    std::snprintf(detail, sizeof detail, " '%c'", static_cast<char>(event.number));
  } else if (event.kind == HostEvent::Mouse) {
    std::snprintf(detail, sizeof detail, " %d at %d,%d", event.code, event.x, event.y);
  }
  return text + detail;
}

void HostInputDecoder::reset() {
  state = Ground;
  collected.clear();
}

void HostInputDecoder::feed(const uint8_t* data, size_t len, std::vector<HostEvent>& out) {
  for (size_t i = 0; i < len; ++i) step(data[i], out);
}

void HostInputDecoder::feed(const std::string& bytes, std::vector<HostEvent>& out) {
  feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

void HostInputDecoder::step(uint8_t c, std::vector<HostEvent>& out) {
  HostEvent event;
  switch (state) {
    case Ground:
      ground(c, out);
      return;

    case Escape:
      if (c == kCsi) {
        state = Csi;
      } else if (c == unit_wire::kFunctionIntro) {
        state = Ss3;
      } else if (c == kAtIntro) {
        state = AtCommand;
        collected.clear();
      } else {
        // Not a report: the byte stands for itself.
        state = Ground;
        ground(c, out);
      }
      return;

    case Csi:
      state = Ground;
      if (c == kMouseIntro) {
        state = MouseReport;
        collected.clear();
      } else if (csiKey(c, event)) {
        out.push_back(event);
      } else {
        ground(c, out);
      }
      return;

    case Ss3:
      state = Ground;
      for (size_t i = 0; i < sizeof unit_wire::kFunctionFinals; ++i) {
        if (c == unit_wire::kFunctionFinals[i]) {
          event.kind = HostEvent::Function;
          event.number = static_cast<int>(i) + 1;
          out.push_back(event);
          return;
        }
      }
      ground(c, out);
      return;

    case AtCommand:
      if (c >= '0' && c <= '9') {
        if (collected.size() < kMaxAtDigits) {
          collected.push_back(static_cast<char>(c));
          return;
        }
        state = Ground;  // too long to be a report: dropped
        return;
      }
      state = Ground;
      if (c == kAtFinal) {
        finishAtCommand(out);
      } else {
        ground(c, out);
      }
      return;

    case MouseReport:
      if ((c >= '0' && c <= '9') || c == ';') {
        if (collected.size() < kMaxMouseText) {
          collected.push_back(static_cast<char>(c));
          return;
        }
        state = Ground;
        return;
      }
      state = Ground;
      if (c == kMouseFinal) {
        finishMouseReport(out);
      } else {
        ground(c, out);
      }
      return;
  }
}

void HostInputDecoder::ground(uint8_t c, std::vector<HostEvent>& out) {
  HostEvent event;
  if (c == kEsc) {
    state = Escape;
    return;
  }
  if (c == unit_wire::kKeepAlive) {
    event.kind = HostEvent::KeepAlive;
  } else if (c == unit_wire::kCarriageReturn) {
    event.kind = HostEvent::Enter;
  } else if (c == unit_wire::kBackspace) {
    event.kind = HostEvent::Back;
  } else if (c >= 0x20 && c <= 0x7E) {
    event.kind = HostEvent::Char;
    event.number = c;
  } else {
    return;  // the request's terminating zero and any other byte
  }
  out.push_back(event);
}

void HostInputDecoder::finishAtCommand(std::vector<HostEvent>& out) {
  HostEvent event;
  if (collected == kVersionDigits) {
    event.kind = HostEvent::VersionRequest;
    out.push_back(event);
    return;
  }
  for (size_t i = 0; i < sizeof unit_wire::kWheelDigits; ++i) {
    if (collected == kWheelPrefix + static_cast<char>(unit_wire::kWheelDigits[i])) {
      event.kind = kWheelKinds[i];
      out.push_back(event);
      return;
    }
  }
}

bool HostInputDecoder::csiKey(uint8_t c, HostEvent& event) {
  const HostEvent::Kind arrows[] = {HostEvent::Up, HostEvent::Down, HostEvent::Right, HostEvent::Left};
  const uint8_t arrowFinals[] = {unit_wire::kCursorUpFinal, unit_wire::kCursorDownFinal,
                                 unit_wire::kCursorRightFinal, unit_wire::kCursorLeftFinal};
  for (size_t i = 0; i < 4; ++i) {
    if (c == arrowFinals[i]) {
      event.kind = arrows[i];
      return true;
    }
    if (c == unit_wire::kNavigationFinals[i]) {
      event.kind = kNavigationKinds[i];
      return true;
    }
  }
  return false;
}

void HostInputDecoder::finishMouseReport(std::vector<HostEvent>& out) {
  int values[3] = {0, 0, 0};
  int count = 0;
  size_t digits = 0;
  bool inField = false;
  for (char ch : collected) {
    if (ch == ';') {
      if (!inField || count == 2) return;  // empty field or a fourth one
      ++count;
      digits = 0;
      inField = false;
      continue;
    }
    if (++digits > kMaxMouseDigits) return;
    values[count] = values[count] * 10 + (ch - '0');
    inField = true;
  }
  if (count != 2 || !inField) return;
  HostEvent event;
  event.kind = HostEvent::Mouse;
  event.code = values[0];
  event.x = values[1];
  event.y = values[2];
  out.push_back(event);
}
