#pragma once

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
// False with `error` (what failed and the system's reason) when there is none.
bool OpenSimTerminal(speed_t speed, SimTerminal &terminal, std::string &error);

} // namespace qova::sim
