#include "sim/simterminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qova::sim {

qova::Result<SimTerminal> OpenSimTerminal(speed_t speed)
{
    SimTerminal terminal;
    const auto failed = [&terminal](const char *what) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (terminal.slave >= 0)
            ::close(terminal.slave);
        if (terminal.master >= 0)
            ::close(terminal.master);
        return qova::Problem{QString::fromLatin1(what), why, {}};
    };
    terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
    const char *name = nullptr;
    if (terminal.master < 0 || grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0 ||
        (name = ptsname(terminal.master)) == nullptr)
        return failed("A pseudo-terminal cannot be made");
    terminal.name = name;
    terminal.slave = ::open(terminal.name.c_str(), O_RDWR | O_NOCTTY);
    if (terminal.slave < 0)
        return failed("The pseudo-terminal cannot be opened");
    termios tio{};
    tcgetattr(terminal.slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(terminal.slave, TCSANOW, &tio);
    fcntl(terminal.master, F_SETFL, fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    return terminal;
}

} // namespace qova::sim
