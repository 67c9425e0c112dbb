// Decimal numbers as the unit and the firmware page write them: read one
// digit at a time, 2147483647 at the most.
#pragma once

#include <climits>
#include <cstdint>

constexpr int64_t kLargestNumber = INT_MAX;

// Appends one digit ('0'..'9') to value; false once value is past the
// largest number (value is then meaningless).
inline bool addDigit(int64_t& value, char digit) {
  value = value * 10 + (digit - '0');
  return value <= kLargestNumber;
}

// Reads the digits from p on and leaves p after the last one read; false
// when they make a number past the largest.
inline bool readDecimal(const char*& p, const char* end, int64_t& value) {
  value = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p) {
    if (!addDigit(value, *p)) return false;
  }
  return true;
}
