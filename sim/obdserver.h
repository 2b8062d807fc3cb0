#pragma once

#include "result/result.h"
#include "sim/analyser.h"

#include <memory>
#include <poll.h>
#include <string>
#include <vector>

namespace qova::sim {

using qova::Done;

// The car's OBD adapter of the simulator program, served beside the analyser in the same
// poll loop: on a pseudo-terminal of its own, or on a TCP port of the loopback address as
// a Wi-Fi adapter would be (one client at a time). Linux only, as the program is.
class ObdServer {
public:
    explicit ObdServer(std::shared_ptr<Analyser> adapter);
    ~ObdServer();
    ObdServer(const ObdServer &) = delete;
    ObdServer &operator=(const ObdServer &) = delete;

    // tcpPort 0: a pseudo-terminal.
    Done open(int tcpPort);
    // What a program opens: the terminal's path, or tcp://127.0.0.1:PORT.
    const std::string &address() const { return address_; }

    void addPollFds(std::vector<pollfd> &fds) const;
    // After poll(): takes connections and bytes, and sends what the adapter has to say.
    void serve(const std::vector<pollfd> &fds, std::int64_t nowMs);
    // How long the loop may sleep with an answer of the adapter's on its way.
    static constexpr int kAnswerPollMs = 5;

private:
    int talkFd() const;
    void dropClient();

    std::shared_ptr<Analyser> adapter_;
    std::string address_;
    int master_ = -1, slave_ = -1, listen_ = -1, client_ = -1;
};

} // namespace qova::sim
