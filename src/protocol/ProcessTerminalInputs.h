// Encodes the frame's input state into the byte sequences the unit expects
// and writes them to the serial link.
#pragma once

class HumanInputsIntf;
class CommSerial;

// Program-wide serial link the reports are written to.
extern CommSerial* serial;

// Sends this frame's reports to link; true when at least one was written.
bool ProcessTerminalInputs(HumanInputsIntf* inputs, CommSerial* link, int scale);
// The same, written to the program-wide link.
bool ProcessTerminalInputs(HumanInputsIntf* inputs, int scale);
