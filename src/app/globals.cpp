#include "app/globals.h"

edispSDL* disp = nullptr;
HumanInputsSDL* inputs = nullptr;
CommSerial* serial = nullptr;
