#include "UnitStream.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "protocol/UnitWire.h"

namespace {
const char kEsc = static_cast<char>(unit_wire::kEsc);
}

int rgb555(int r, int g, int b) {
  return ((r >> 3 & 31) << 10) | ((g >> 3 & 31) << 5) | (b >> 3 & 31);
}

std::string toShiftJis(const std::string& utf8) {
  std::string result;
  iconv_t cd = iconv_open("SHIFT_JIS", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8.size(), '?');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  while (inLeft > 0) {
    char buffer[64];
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    result.append(buffer, outPtr);
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      // Skip one unconvertible or broken UTF-8 character.
      result.push_back('?');
      do {
        ++in;
        --inLeft;
      } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
    }
  }
  iconv_close(cd);
  return result;
}

UnitStream& UnitStream::sequence(char introducer, std::initializer_list<long> values, char final) {
  out.push_back(kEsc);
  out.push_back(introducer);
  bool first = true;
  for (long v : values) {
    if (!first) out.push_back(';');
    // The program reads digits only: a negative number cannot be sent.
    out += std::to_string(v < 0 ? 0 : v);
    first = false;
  }
  out.push_back(final);
  return *this;
}

UnitStream& UnitStream::text(const std::string& ascii) {
  out += ascii;
  return *this;
}

UnitStream& UnitStream::japanese(const std::string& utf8) {
  out += toShiftJis(utf8);
  return *this;
}

UnitStream& UnitStream::newline() {
  out += "\r\n";
  return *this;
}

UnitStream& UnitStream::move(int row, int col) { return sequence('[', {row, col}, 'H'); }
UnitStream& UnitStream::up(int rows) { return sequence('[', {rows}, 'A'); }

UnitStream& UnitStream::attributes(std::initializer_list<int> codes) {
  out.push_back(kEsc);
  out.push_back('[');
  bool first = true;
  for (int code : codes) {
    if (!first) out.push_back(';');
    out += std::to_string(code);
    first = false;
  }
  out.push_back('m');
  return *this;
}

UnitStream& UnitStream::clearText() { return sequence('[', {2}, 'J'); }
UnitStream& UnitStream::eraseToEnd() { return sequence('[', {}, 'K'); }
UnitStream& UnitStream::eraseRow() { return sequence('[', {2}, 'K'); }
UnitStream& UnitStream::erase(int cells) { return sequence('[', {cells}, 'X'); }

UnitStream& UnitStream::initScreen() { return sequence('@', {0}, 'Z'); }
UnitStream& UnitStream::charSize(int size) { return sequence('@', {4 + size}, 'Z'); }
UnitStream& UnitStream::showLayer(int layer) { return sequence('@', {30 + layer}, 'Z'); }
UnitStream& UnitStream::clearLayer(int layer) { return sequence('@', {70 + layer}, 'Z'); }

UnitStream& UnitStream::fillRect(int layer, int w, int h, int x, int y, int colour) {
  return sequence('@', {0, layer, w, h, x, y, colour}, 'z');
}

UnitStream& UnitStream::rect(int layer, int w, int h, int x, int y, int colour) {
  return sequence('@', {4, layer, w, h, x, y, colour}, 'z');
}

UnitStream& UnitStream::line(int layer, int x1, int y1, int x2, int y2, int colour) {
  return sequence('@', {2, layer, x1, y1, x2, y2, colour}, 'z');
}

UnitStream& UnitStream::ellipse(int layer, bool filled, int cx, int cy, int rx, int ry,
                                int colour) {
  return sequence('@', {3, layer, filled ? 1 : 0, cx, cy, rx, ry, colour}, 'z');
}

UnitStream& UnitStream::picture(int number, int layer, int x, int y) {
  return sequence('@', {number, layer, x, y}, 'I');
}

UnitStream& UnitStream::folderPicture(int number, int layer, int folder, int x, int y) {
  return sequence('@', {number, layer, folder, x, y}, 'I');
}

UnitStream& UnitStream::versionReport(unsigned a, unsigned b, unsigned c, unsigned d) {
  char report[64];
  std::snprintf(report, sizeof report, unit_wire::kVersionReportFormat, a, b, c, d);
  out += report;
  return *this;
}

UnitStream& UnitStream::raw(const std::string& bytes) {
  out += bytes;
  return *this;
}

std::string UnitStream::take() {
  std::string result;
  result.swap(out);
  return result;
}
