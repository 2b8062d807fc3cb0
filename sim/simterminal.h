#pragma once

#include "result/result.h"

#include <string>
#include <termios.h>

namespace qova::sim {

// A pseudo-terminal a program opens by its name as it would a serial adapter: raw at `speed`,
// the master non-blocking for the simulator's loop. The far end is held open, so the line
// stays up while no program has it: without it the master reports a hang-up that poll()
// would return at once, for ever.
struct SimTerminal {
    int master = -1;
    int slave = -1;
    std::string name; // what the program opens
};
// The problem says which step failed and the system's reason; nothing is left open then.
qova::Result<SimTerminal> OpenSimTerminal(speed_t speed);

} // namespace qova::sim
