#include "sim/obdserver.h"
#include "sim/simterminal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace qova::sim {

ObdServer::ObdServer(std::shared_ptr<Analyser> adapter) : adapter_(std::move(adapter)) {}

ObdServer::~ObdServer()
{
    for (int fd : {client_, listen_, slave_, master_})
        if (fd >= 0)
            ::close(fd);
}

Done ObdServer::open(int tcpPort)
{
    const auto systemSays = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    if (tcpPort == 0) {
        const qova::Result<SimTerminal> terminal = OpenSimTerminal(B38400);
        if (!terminal.ok())
            return qova::Problem{QStringLiteral("OBD pseudo-terminal"), terminal.problem().text(), {}};
        master_ = terminal->master;
        slave_ = terminal->slave;
        address_ = terminal->name;
        return {};
    }
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int yes = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(tcpPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 1) != 0)
        return qova::Problem{QStringLiteral("OBD port %1").arg(tcpPort), systemSays(), {}};
    address_ = "tcp://127.0.0.1:" + std::to_string(tcpPort);
    return {};
}

int ObdServer::talkFd() const
{
    return master_ >= 0 ? master_ : client_;
}

void ObdServer::addPollFds(std::vector<pollfd> &fds) const
{
    if (listen_ >= 0)
        fds.push_back({listen_, POLLIN, 0});
    if (talkFd() >= 0)
        fds.push_back({talkFd(), POLLIN, 0});
}

void ObdServer::dropClient()
{
    if (client_ >= 0)
        ::close(client_);
    client_ = -1;
}

void ObdServer::serve(const std::vector<pollfd> &fds, std::int64_t nowMs)
{
    for (const pollfd &p : fds) {
        if (p.fd == listen_ && (p.revents & POLLIN)) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK);
            if (fd >= 0) {
                dropClient(); // a new program takes the adapter over
                client_ = fd;
            }
        } else if (p.fd == talkFd() && p.fd >= 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) {
            std::uint8_t buf[256];
            const ssize_t got = ::read(p.fd, buf, sizeof buf);
            if (got == 0 && p.fd == client_) {
                dropClient();
                continue;
            }
            for (ssize_t i = 0; i < got; ++i)
                adapter_->receive(buf[i], nowMs);
        }
    }
    const auto out = adapter_->unasked(nowMs);
    if (!out.empty() && talkFd() >= 0) {
        // Small answers into an idle line: a full one loses them, as a real adapter's buffer would.
        if (::write(talkFd(), out.data(), out.size()) < 0 && talkFd() == client_ && errno != EAGAIN)
            dropClient();
    }
}

} // namespace qova::sim
