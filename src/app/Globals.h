// The program's three long-lived objects, created and destroyed by the
// application in a fixed order.
#pragma once

class edispSDL;
class HumanInputsSDL;
class CommSerial;

extern edispSDL* disp;
extern HumanInputsSDL* inputs;
extern CommSerial* serial;
