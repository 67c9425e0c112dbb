#include "HostInputDecoder.h"

#include <cstdio>

namespace {

const uint8_t kEsc = 0x1B;
const uint8_t kKeepAlive = 0xFE;
const uint8_t kCr = 0x0D;
const uint8_t kBs = 0x08;

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
      "page up",    "page down",       "function",   "wheel up",  "wheel down",
      "wheel left", "wheel right",     "char",       "mouse"};
  std::string text = names[event.kind];
  char detail[64];
  detail[0] = '\0';
  if (event.kind == HostEvent::Function) {
    std::snprintf(detail, sizeof detail, " F%d", event.number);
  } else if (event.kind == HostEvent::Char) {
    std::snprintf(detail, sizeof detail, " '%c'", static_cast<char>(event.number));
  } else if (event.kind == HostEvent::Mouse) {
    std::snprintf(detail, sizeof detail, " code %d at %d,%d", event.code, event.x, event.y);
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
      if (c == '[') {
        state = Csi;
      } else if (c == 'O') {
        state = Ss3;
      } else if (c == '@') {
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
      switch (c) {
        case 'A': event.kind = HostEvent::Up; break;
        case 'B': event.kind = HostEvent::Down; break;
        case 'C': event.kind = HostEvent::Right; break;
        case 'D': event.kind = HostEvent::Left; break;
        case '1': event.kind = HostEvent::Home; break;
        case '4': event.kind = HostEvent::End; break;
        case '5': event.kind = HostEvent::PageUp; break;
        case '6': event.kind = HostEvent::PageDown; break;
        case '<':
          state = MouseReport;
          collected.clear();
          return;
        default:
          ground(c, out);
          return;
      }
      out.push_back(event);
      return;

    case Ss3:
      state = Ground;
      if (c >= 'P' && c <= 'Y') {
        event.kind = HostEvent::Function;
        event.number = c - 'P' + 1;
        out.push_back(event);
      } else {
        ground(c, out);
      }
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
      if (c == 'y') {
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
      if (c == 'M') {
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
  if (c == kKeepAlive) {
    event.kind = HostEvent::KeepAlive;
  } else if (c == kCr) {
    event.kind = HostEvent::Enter;
  } else if (c == kBs) {
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
  if (collected == "999") {
    event.kind = HostEvent::VersionRequest;
  } else if (collected == "995") {
    event.kind = HostEvent::WheelUp;
  } else if (collected == "996") {
    event.kind = HostEvent::WheelDown;
  } else if (collected == "997") {
    event.kind = HostEvent::WheelLeft;
  } else if (collected == "998") {
    event.kind = HostEvent::WheelRight;
  } else {
    return;
  }
  out.push_back(event);
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
