#include "protocol/StreamTrace.h"

#include <cinttypes>
#include <cstdio>

#include "protocol/EscSeqParser.h"
#include "protocol/FirmwareVersion.h"
#include "protocol/UnitWire.h"

namespace {

const char kFromUnit[] = "U>H";
const char kToUnit[] = "H>U";
const char kConnection[] = "---";

const char* reason(ParseObserver::Dropped why) {
  switch (why) {
    case ParseObserver::Dropped::UnknownFinal: return "ignored: no command has this final byte";
    case ParseObserver::Dropped::ValueCount: return "ignored: wrong number of values";
    case ParseObserver::Dropped::NoDigits: return "ignored: a field without digits";
    case ParseObserver::Dropped::OutOfRange: return "ignored: a number above 2147483647";
    case ParseObserver::Dropped::Selector: return "ignored: the command has no such selector";
    case ParseObserver::Dropped::NoEffect: return "ignored: a command without effect";
    case ParseObserver::Dropped::CharacterSet: return "ignored: character set selection";
    case ParseObserver::Dropped::Interrupted: return "abandoned: cut short by the byte after it";
    case ParseObserver::Dropped::Malformed: return "abandoned: a byte that is neither parameter nor final byte";
    case ParseObserver::Dropped::LeadWithoutTrail: return "dropped: a Shift_JIS lead byte without its trail byte";
    case ParseObserver::Dropped::NotInTable: return "dropped: not in the Shift_JIS table";
    case ParseObserver::Dropped::ControlByte: return "ignored: a control byte without effect";
  }
  return "ignored";
}

// Text drawn, in double quotes: UTF-8 as it is, quotes, backslashes and
// control bytes escaped.
std::string quotedText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

StreamTrace::StreamTrace(ScreenIntf* screen, Write write) : screen(screen), write(std::move(write)) {}

std::string StreamTrace::printable(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    switch (c) {
      case unit_wire::kEsc: out += "\\e"; break;
      case unit_wire::kCarriageReturn: out += "\\r"; break;
      case unit_wire::kLineFeed: out += "\\n"; break;
      case unit_wire::kBackspace: out += "\\b"; break;
      case unit_wire::kTab: out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        }
    }
  }
  return out;
}

void StreamTrace::parse(EscSeqParser& parser, unsigned char byte, uint64_t ms) {
  unitMs = ms;
  current = byte;
  take(byte);
  parser.ParseByte(byte);
  if (!calls.empty()) {
    endRun();
    line(unitMs, kFromUnit, pending, calls, pendingCut);
    pending.clear();
    pendingCut = 0;
    calls.clear();
  } else if (!drawn.empty()) {
    runBytes += pending;
    runText += drawn;
    pending.clear();
    if (runBytes.size() >= kMaxShownBytes) endRun();
  }
  drawn.clear();
}

void StreamTrace::take(unsigned char byte) {
  if (pending.size() < kMaxShownBytes) {
    pending += static_cast<char>(byte);
  } else {
    ++pendingCut;
  }
}

void StreamTrace::chunkParsed() { endRun(); }

void StreamTrace::endRun() {
  if (runBytes.empty()) return;
  line(unitMs, kFromUnit, runBytes, "puts_(" + quotedText(runText) + ")");
  runBytes.clear();
  runText.clear();
}

void StreamTrace::discarded(const std::string& bytes, uint64_t ms) {
  endRun();
  line(ms, kFromUnit, bytes, "discarded: came after the version report, before the main loop");
}

void StreamTrace::toUnit(const unsigned char* bytes, std::size_t count, uint64_t ms) {
  decoded.clear();
  reports.feed(bytes, count, decoded);
  std::string meaning;
  for (const HostEvent& event : decoded) meaning += (meaning.empty() ? "" : "; ") + describe(event);
  line(ms, kToUnit, std::string(reinterpret_cast<const char*>(bytes), count), meaning.empty() ? "not a report" : meaning);
}

void StreamTrace::opened(const std::string& device, unsigned long baudrate, uint64_t ms) {
  line(ms, kConnection, "", "opened " + printable(device) + " at " + std::to_string(baudrate) + " bit/s");
}

void StreamTrace::reconnected(const std::string& device, uint64_t ms) {
  line(ms, kConnection, "", "reconnected to " + printable(device));
}

void StreamTrace::lost(uint64_t ms) { line(ms, kConnection, "", "link lost"); }

// "   1.234 U>H "bytes" meaning", or "   1.234 --- meaning" without bytes;
// bytes cut from a long event are counted after them: ""\e[1;1;1" (+9000 bytes)".
void StreamTrace::line(uint64_t ms, const char* direction, const std::string& bytes, const std::string& meaning,
                       std::size_t cut) {
  char time[32];
  std::snprintf(time, sizeof time, "%4" PRIu64 ".%03u ", ms / 1000, static_cast<unsigned>(ms % 1000));
  std::string text = time;
  text += direction;
  if (direction != kConnection) text += " \"" + printable(bytes) + "\"";
  if (cut > 0) text += " (+" + std::to_string(cut) + " bytes)";
  write(text + " " + meaning + "\n");
}

void StreamTrace::dropped(Dropped why, bool withThisByte) {
  endRun();
  std::string bytes = pending;
  std::size_t cut = pendingCut;
  pending.clear();
  pendingCut = 0;
  if (!withThisByte && !bytes.empty()) {
    // The byte being parsed is parsed on: it is the last one taken, or one cut.
    if (cut > 0) {
      --cut;
    } else {
      bytes.pop_back();
    }
    pending = static_cast<char>(current);
  }
  if (!bytes.empty()) line(unitMs, kFromUnit, bytes, reason(why), cut);
}

void StreamTrace::versionReported(uint32_t version) {
  calls += (calls.empty() ? "" : "; ") + std::string("firmware version ") + firmwareVersionText(version);
}

void StreamTrace::call(const char* name, std::initializer_list<int> args) {
  if (!calls.empty()) calls += "; ";
  calls += name;
  calls += '(';
  bool first = true;
  for (int a : args) {
    if (!first) calls += ", ";
    calls += std::to_string(a);
    first = false;
  }
  calls += ')';
}

void StreamTrace::puts_(const char* text, unsigned len) {
  drawn += text;
  if (screen) screen->puts_(text, len);
}

void StreamTrace::move(int row, int col) {
  call("move", {row, col});
  if (screen) screen->move(row, col);
}

void StreamTrace::curmove(int dRow, int dCol) {
  call("curmove", {dRow, dCol});
  if (screen) screen->curmove(dRow, dCol);
}

void StreamTrace::cur_rowtop() {
  call("cur_rowtop", {});
  if (screen) screen->cur_rowtop();
}

void StreamTrace::curon() {
  call("curon", {});
  if (screen) screen->curon();
}

void StreamTrace::curoff() {
  call("curoff", {});
  if (screen) screen->curoff();
}

void StreamTrace::set_attribute(int a) {
  call("set_attribute", {a});
  if (screen) screen->set_attribute(a);
}

void StreamTrace::set_attribute(int a, int b) {
  call("set_attribute", {a, b});
  if (screen) screen->set_attribute(a, b);
}

void StreamTrace::set_attribute(int a, int b, int c) {
  call("set_attribute", {a, b, c});
  if (screen) screen->set_attribute(a, b, c);
}

void StreamTrace::set_attribute(int a, int b, int c, int d) {
  call("set_attribute", {a, b, c, d});
  if (screen) screen->set_attribute(a, b, c, d);
}

void StreamTrace::save_attribute(int slot) {
  call("save_attribute", {slot});
  if (screen) screen->save_attribute(slot);
}

void StreamTrace::load_attribute(int slot) {
  call("load_attribute", {slot});
  if (screen) screen->load_attribute(slot);
}

void StreamTrace::clear() {
  call("clear", {});
  if (screen) screen->clear();
}

void StreamTrace::del_to_end() {
  call("del_to_end", {});
  if (screen) screen->del_to_end();
}

void StreamTrace::del_row() {
  call("del_row", {});
  if (screen) screen->del_row();
}

void StreamTrace::del(int n) {
  call("del", {n});
  if (screen) screen->del(n);
}

void StreamTrace::init_disp() {
  call("init_disp", {});
  if (screen) screen->init_disp();
}

void StreamTrace::set_charsize(int n) {
  call("set_charsize", {n});
  if (screen) screen->set_charsize(n);
}

void StreamTrace::set_bgbuff(int layer) {
  call("set_bgbuff", {layer});
  if (screen) screen->set_bgbuff(layer);
}

void StreamTrace::clear_bgbuff(int layer) {
  call("clear_bgbuff", {layer});
  if (screen) screen->clear_bgbuff(layer);
}

void StreamTrace::draw_fillrect(int layer, int w, int h, int x, int y, int colour) {
  call("draw_fillrect", {layer, w, h, x, y, colour});
  if (screen) screen->draw_fillrect(layer, w, h, x, y, colour);
}

void StreamTrace::draw_rectangle(int layer, int w, int h, int x, int y, int colour) {
  call("draw_rectangle", {layer, w, h, x, y, colour});
  if (screen) screen->draw_rectangle(layer, w, h, x, y, colour);
}

void StreamTrace::draw_line(int layer, int x1, int y1, int x2, int y2, int colour) {
  call("draw_line", {layer, x1, y1, x2, y2, colour});
  if (screen) screen->draw_line(layer, x1, y1, x2, y2, colour);
}

void StreamTrace::draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) {
  call("draw_ellipse", {layer, filled, cx, cy, rx, ry, colour});
  if (screen) screen->draw_ellipse(layer, filled, cx, cy, rx, ry, colour);
}

void StreamTrace::draw_image(int picture, int layer, int x, int y) {
  call("draw_image", {picture, layer, x, y});
  if (screen) screen->draw_image(picture, layer, x, y);
}

void StreamTrace::draw_image2(int picture, int layer, int folder, int x, int y) {
  call("draw_image2", {picture, layer, folder, x, y});
  if (screen) screen->draw_image2(picture, layer, folder, x, y);
}
