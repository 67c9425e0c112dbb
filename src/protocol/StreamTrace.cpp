#include "protocol/StreamTrace.h"


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

const char kHex[] = "0123456789abcdef";

// Text drawn, in double quotes: UTF-8 as it is, quotes, backslashes and
// control bytes escaped. Runs that need no escape go in whole.
void appendQuoted(std::string& to, const std::string& text) {
  to += '"';
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') continue;
    to.append(text, plain, i - plain);
    plain = i + 1;
    if (c == '"' || c == '\\') {
      to += '\\';
      to += static_cast<char>(c);
    } else {
      const char hex[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
      to.append(hex, 4);
    }
  }
  to.append(text, plain, std::string::npos);
  to += '"';
}

// Milliseconds as seconds, "%4u.%03u" ("   1.234"), appended.
void appendTime(std::string& to, uint64_t ms) {
  char digits[24];
  int n = 0;
  for (uint64_t s = ms / 1000; s > 0 || n == 0; s /= 10) digits[n++] = static_cast<char>('0' + s % 10);
  for (int pad = n; pad < 4; ++pad) to += ' ';
  while (n > 0) to += digits[--n];
  const unsigned m = static_cast<unsigned>(ms % 1000);
  const char fraction[4] = {'.', static_cast<char>('0' + m / 100), static_cast<char>('0' + m / 10 % 10),
                            static_cast<char>('0' + m % 10)};
  to.append(fraction, 4);
}

}  // namespace

StreamTrace::StreamTrace(ScreenIntf* screen) : screen(screen) {}

std::string StreamTrace::printable(const std::string& bytes) {
  std::string text;
  appendPrintable(text, bytes.data(), bytes.size());
  return text;
}

// Runs of printable ASCII go in whole.
void StreamTrace::appendPrintable(std::string& to, const char* bytes, std::size_t count) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') continue;
    to.append(bytes + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case unit_wire::kEsc: to.append("\\e", 2); break;
      case unit_wire::kCarriageReturn: to.append("\\r", 2); break;
      case unit_wire::kLineFeed: to.append("\\n", 2); break;
      case unit_wire::kBackspace: to.append("\\b", 2); break;
      case unit_wire::kTab: to.append("\\t", 2); break;
      case '\\': to.append("\\\\", 2); break;
      case '"': to.append("\\\"", 2); break;
      default: {
        const char hex[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
        to.append(hex, 4);
      }
    }
  }
  to.append(bytes + plain, count - plain);
}

// The byte joins `pending` only when nothing comes of it yet: a character
// joins the run of text, a byte that ends a sequence or is dropped gets its
// line with the bytes before it.
void StreamTrace::parse(EscSeqParser& parser, unsigned char byte, uint64_t ms) {
  unitMs = ms;
  current = byte;
  taken = false;
  drew = false;
  parser.ParseByte(byte);
  if (!calls.empty()) {
    endRun();
    take(current);
    line(unitMs, kFromUnit, pending, calls, pendingCut);
    pending.clear();
    pendingCut = 0;
    calls.clear();
  } else if (drew) {
    if (!pending.empty()) {
      runBytes += pending;
      pending.clear();
    }
    runBytes.push_back(static_cast<char>(current));
    if (runBytes.size() >= kMaxShownBytes) endRun();
  } else if (!taken) {
    take(current);
  }
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
  line(unitMs, kFromUnit, runBytes, "puts_(", 0, false);
  appendQuoted(out, runText);
  out.append(")\n", 2);
  runBytes.clear();
  runText.clear();
}

void StreamTrace::discarded(const std::string& bytes, uint64_t ms) {
  endRun();
  line(ms, kFromUnit, bytes, "discarded: came after the version report, before the main loop", 0);
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

void StreamTrace::lost(uint64_t ms) { line(ms, kConnection, "", "link lost", 0); }

// "   1.234 U>H "bytes" meaning", or "   1.234 --- meaning" without bytes;
// bytes cut from a long event are counted after them: ""\e[1;1;1" (+9000 bytes)".
// The meaning is left open when the line goes on.
void StreamTrace::line(uint64_t ms, const char* direction, const std::string& bytes, const char* meaning,
                       std::size_t cut, bool ends) {
  appendTime(out, ms);
  out += ' ';
  out += direction;
  if (direction != kConnection) {
    out.append(" \"", 2);
    appendPrintable(out, bytes.data(), bytes.size());
    out += '"';
  }
  if (cut > 0) out += " (+" + std::to_string(cut) + " bytes)";
  out += ' ';
  out += meaning;
  if (ends) out += '\n';
}

void StreamTrace::line(uint64_t ms, const char* direction, const std::string& bytes, const std::string& meaning,
                       std::size_t cut) {
  line(ms, direction, bytes, meaning.c_str(), cut);
}

void StreamTrace::dropped(Dropped why, bool withThisByte) {
  endRun();
  if (withThisByte) {
    take(current);  // the byte being parsed ends the dropped bytes
    taken = true;
  }
  if (!pending.empty()) line(unitMs, kFromUnit, pending, reason(why), pendingCut, true);
  pending.clear();
  pendingCut = 0;
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
  for (const char* c = text; *c != '\0'; ++c) runText.push_back(*c);  // a character or two: no call to strlen
  drew = true;
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
