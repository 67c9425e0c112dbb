// The bytes that cross the serial link, defined once for the display program,
// the unit simulator and the tests. Header only, no dependencies: the
// simulator includes it without linking anything of the display program.
#pragma once

#include <cstddef>

namespace unit_wire {

// Control bytes.
constexpr unsigned char kBackspace = 0x08;
constexpr unsigned char kTab = 0x09;
constexpr unsigned char kLineFeed = 0x0A;
constexpr unsigned char kVerticalTab = 0x0B;
constexpr unsigned char kFormFeed = 0x0C;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kDel = 0x7F;

// Host to unit: the keep-alive byte, sent at least every kKeepAliveIntervalMs
// while the port is open.
constexpr unsigned char kKeepAlive = 0xFE;
constexpr unsigned kKeepAliveIntervalMs = 3000;
// Host to unit: the firmware version request ESC @ 999 y, with its closing NUL.
constexpr unsigned char kVersionRequest[] = {kEsc, '@', '9', '9', '9', 'y', 0x00};
constexpr std::size_t kVersionRequestSize = sizeof kVersionRequest;

// Unit to host: the version report ESC @ a ; b ; c ; d V.
constexpr char kVersionReportFormat[] = "\x1b@%u;%u;%u;%uV";

// Host to unit, the input reports.
// Cursor keys: ESC [ <final>, finals for up, down, right, left.
constexpr unsigned char kCursorUpFinal = 'A';
constexpr unsigned char kCursorDownFinal = 'B';
constexpr unsigned char kCursorRightFinal = 'C';
constexpr unsigned char kCursorLeftFinal = 'D';
// Navigation keys: ESC [ <final> for Home, End, Page Up, Page Down.
constexpr unsigned char kNavigationFinals[] = {'1', '4', '5', '6'};
// Function keys F1..F10: ESC O <final>.
constexpr unsigned char kFunctionIntro = 'O';
constexpr unsigned char kFunctionFinals[] = {'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y'};
// Wheel up, down, left, right: ESC @ 9 9 <digit> y.
constexpr unsigned char kWheelDigits[] = {'5', '6', '7', '8'};
// Mouse: ESC [ < code ; x ; y M, x and y in screen pixels.
constexpr char kMouseReportFormat[] = "\x1b[<%u;%u;%uM";

}  // namespace unit_wire
