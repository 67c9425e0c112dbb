// The pseudo-terminal pair the tests play the unit on; shared with the simulator.
#pragma once

#include "PtyPair.h"
