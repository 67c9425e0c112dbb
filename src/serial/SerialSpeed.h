// Line speeds: the terminal interface's speed codes for rates in bits per
// second, and the rates that have none (set through ArbitrarySpeed.h).
#pragma once

#include <termios.h>

#include "serial/ArbitrarySpeed.h"

// The speed code for rate; false when the terminal interface has none.
bool speedCodeFor(unsigned long rate, speed_t* code);

// The code to keep on the line until a rate without a code is set: the
// line's present speed code when it is one of the codes, else 9600.
speed_t interimSpeedCode(speed_t current);
