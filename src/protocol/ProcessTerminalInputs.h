// Encodes the frame's input state into the byte sequences the unit expects
// and sends them, one whole report at a time, to a byte sink.
#pragma once

#include "input/human_inputs_intf.h"
#include "protocol/ByteSink.h"

// Sends this frame's reports to sink; true when at least one was sent.
// Mouse positions are measured from the screen's corner, at window pixel
// corner, and divided by the scale it is shown at.
bool ProcessTerminalInputs(HumanInputsIntf* inputs, ByteSink& sink, int scale, TPoint corner = TPoint{0, 0});
