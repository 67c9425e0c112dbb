// The unit's firmware version a.b.c.d, kept as (a << 24) | (b << 16) |
// (c << 8) | d with the parts not masked; 0 means none reported.
#pragma once

#include <cstdint>
#include <string>

inline uint32_t packFirmwareVersion(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

// Reads "a.b.c.d" and nothing else, each part one to three digits and at
// most 255; false (packed unchanged) on anything else.
inline bool readFirmwareVersion(const std::string& text, uint32_t& packed) {
  uint32_t parts[4];
  std::size_t pos = 0;
  for (uint32_t& part : parts) {
    const std::size_t start = pos;
    part = 0;
    for (; pos < text.size() && pos - start < 3 && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      part = part * 10 + static_cast<uint32_t>(text[pos] - '0');
    }
    if (pos == start || part > 255) return false;
    if (&part != &parts[3] && (pos >= text.size() || text[pos++] != '.')) return false;
  }
  if (pos != text.size()) return false;
  packed = packFirmwareVersion(parts[0], parts[1], parts[2], parts[3]);
  return true;
}

// "a.b.c.d", one part for each byte of the packed value.
inline std::string firmwareVersionText(uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) +
         "." + std::to_string(v & 0xFF);
}
