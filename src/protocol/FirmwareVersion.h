// The unit's firmware version a.b.c.d, kept as (a << 24) | (b << 16) |
// (c << 8) | d with the parts not masked; 0 means none reported.
#pragma once

#include <cstdint>
#include <string>

inline uint32_t packFirmwareVersion(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

// "a.b.c.d", one part for each byte of the packed value.
inline std::string firmwareVersionText(uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) +
         "." + std::to_string(v & 0xFF);
}
