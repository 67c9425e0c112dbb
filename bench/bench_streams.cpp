#include "bench_streams.h"

#include <random>

namespace bench {

namespace {

const char kEsc = '\x1B';
const int kRowsPerPage = 24;
const int kCellsPerRow = 80;

// Attribute changes, each a whole style as a screen uses them: colours,
// backgrounds, bold, underline and reverse.
const char* const kAttributes[] = {"0",       "0;31",   "0;32;44", "0;1;33",  "0;4;36",
                                   "0;7",     "0;1;37", "0;35;47", "0;4;1;32", "0;34;43"};

// Japanese rows use the first few styles: about a thousand different
// characters in each.
const unsigned kShiftJisStyles = 4;

void endRow(std::string& s, int& row) {
  s += "\r\n";
  if (++row == kRowsPerPage) {
    s += kEsc;
    s += "[H";
    row = 0;
  }
}

}  // namespace

std::string denseAscii(std::size_t bytes, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(bytes + 128);
  int row = 0;
  while (s.size() < bytes) {
    s += kEsc;
    s += '[';
    s += kAttributes[rng() % (sizeof kAttributes / sizeof kAttributes[0])];
    s += 'm';
    for (int i = 0; i < kCellsPerRow; ++i) s += static_cast<char>(0x20 + rng() % 95);
    endRow(s, row);
  }
  s.resize(bytes);
  return s;
}

std::string denseShiftJis(std::size_t bytes, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(bytes + 128);
  int row = 0;
  while (s.size() < bytes) {
    s += kEsc;
    s += '[';
    s += kAttributes[rng() % kShiftJisStyles];
    s += 'm';
    int cells = 0;
    while (cells < kCellsPerRow - 1) {
      const unsigned kind = rng() % 4;
      if (kind == 0) {  // half-width katakana
        s += static_cast<char>(0xA1 + rng() % 63);
        cells += 1;
        continue;
      }
      unsigned char lead, trail;
      if (kind == 1) {  // hiragana
        lead = 0x82;
        trail = static_cast<unsigned char>(0x9F + rng() % 83);
      } else if (kind == 2) {  // katakana
        lead = 0x83;
        trail = static_cast<unsigned char>(0x40 + rng() % 87);
        if (trail == 0x7F) ++trail;
      } else {  // first-level kanji
        lead = static_cast<unsigned char>(0x88 + rng() % 8);
        trail = static_cast<unsigned char>(0x9F + rng() % 94);
      }
      s += static_cast<char>(lead);
      s += static_cast<char>(trail);
      cells += 2;
    }
    endRow(s, row);
  }
  // Never end inside a two-byte character.
  while (s.size() > bytes) s.pop_back();
  return s;
}

std::string smallShapes(std::size_t bytes, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(bytes + 64);
  const auto num = [&s](unsigned v) { s += std::to_string(v); };
  while (s.size() < bytes) {
    const unsigned layer = rng() % 4;
    const unsigned x = rng() % 608, y = rng() % 352, colour = rng() % 0x8000;
    s += kEsc;
    s += '@';
    switch (rng() % 4) {
      case 0:  // filled (0) or outlined (4) rectangle
      case 1:
        num(rng() % 2 ? 0 : 4);
        s += ';';
        num(layer);
        s += ";32;32;";
        num(x);
        s += ';';
        num(y);
        break;
      case 2:  // line
        s += "2;";
        num(layer);
        s += ';';
        num(x);
        s += ';';
        num(y);
        s += ';';
        num(x + rng() % 32);
        s += ';';
        num(y + rng() % 32);
        break;
      default:  // ellipse, filled or not
        s += "3;";
        num(layer);
        s += ';';
        num(rng() % 2);
        s += ';';
        num(x + 16);
        s += ';';
        num(y + 16);
        s += ";16;16";
        break;
    }
    s += ';';
    num(colour);
    s += 'z';
  }
  return s;
}

std::string versionReport(unsigned a, unsigned b, unsigned c, unsigned d) {
  return std::string(1, kEsc) + "@" + std::to_string(a) + ";" + std::to_string(b) + ";" + std::to_string(c) + ";" +
         std::to_string(d) + "V";
}

}  // namespace bench
