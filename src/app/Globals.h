// The program's three long-lived objects, owned by the application: these
// name them from start-up to shut-down and are null otherwise.
#pragma once

class edispSDL;
class HumanInputsSDL;
class CommSerial;

extern edispSDL* disp;
extern HumanInputsSDL* inputs;
extern CommSerial* serial;
