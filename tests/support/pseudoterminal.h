#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace qova::test {

// The analyser's or adapter's end of a pseudo-terminal (Unix only); the program opens the
// other end by its name. Unplugging closes this end, which takes the name away as unplugging
// a USB adapter does.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ >= 0 && ::grantpt(fd_) == 0 && ::unlockpt(fd_) == 0)
            name_ = QString::fromLocal8Bit(::ptsname(fd_));
    }
    ~PseudoTerminal() { unplug(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    void unplug()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Empty when no pseudo-terminal could be made.
    QString name() const { return name_; }
    // What the program wrote, waiting up to `firstByteMs` for the first byte.
    QByteArray received(int firstByteMs = 2000)
    {
        pollfd p{fd_, POLLIN, 0};
        QByteArray out;
        while (::poll(&p, 1, out.isEmpty() ? firstByteMs : 20) > 0) {
            char buf[64];
            const auto n = ::read(fd_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
        }
        return out;
    }

private:
    int fd_ = -1;
    QString name_;
};

} // namespace qova::test
