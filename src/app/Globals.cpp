#include "app/Globals.h"

edispSDL* disp = nullptr;
HumanInputsSDL* inputs = nullptr;
CommSerial* serial = nullptr;
