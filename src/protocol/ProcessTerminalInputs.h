// Encodes the frame's input state into the byte sequences the unit expects
// and writes them to the serial link.
#pragma once

#include "input/human_inputs_intf.h"

class CommSerial;

// Program-wide serial link the reports are written to.
extern CommSerial* serial;

// Sends this frame's reports to link; true when at least one was written.
// Mouse positions are measured from the screen's corner, at window pixel
// corner, and divided by the scale it is shown at.
bool ProcessTerminalInputs(HumanInputsIntf* inputs, CommSerial* link, int scale, TPoint corner = TPoint{0, 0});
// The same, written to the program-wide link.
bool ProcessTerminalInputs(HumanInputsIntf* inputs, int scale);
