#include "sim/simterminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qova::sim {

bool OpenSimTerminal(speed_t speed, SimTerminal &terminal, std::string &error)
{
    terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
    const char *name = nullptr;
    if (terminal.master < 0 || grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0 ||
        (name = ptsname(terminal.master)) == nullptr) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    terminal.name = name;
    terminal.slave = ::open(terminal.name.c_str(), O_RDWR | O_NOCTTY);
    if (terminal.slave < 0) {
        error = std::string("open the terminal: ") + std::strerror(errno);
        return false;
    }
    termios tio{};
    tcgetattr(terminal.slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(terminal.slave, TCSANOW, &tio);
    fcntl(terminal.master, F_SETFL, fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    return true;
}

} // namespace qova::sim
