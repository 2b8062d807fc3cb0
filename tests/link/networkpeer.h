#pragma once

#include <QByteArray>
#include <QMutex>
#include <QThread>
#include <cstdint>
#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace qova::test {

// A serial device server on 127.0.0.1 in its own thread, so the device under test can wait
// on its socket while the server answers: raw, or telnet with RFC 2217 as a real server
// speaks it. It records the data bytes it got and the line settings it was asked for, and
// answers a data byte with the bytes `answers` gives for it.
class NetworkPeer {
public:
    enum class Kind : std::uint8_t { Raw, Rfc2217 };
    struct Behaviour {
        Kind kind = Kind::Raw;
        std::map<std::uint8_t, QByteArray> answers;
        bool refusePortControl = false;  // DONT COM-PORT-OPTION
        bool silent = false;             // takes the connection and never says a word
        std::uint32_t confirmedBaud = 0; // the baud rate it says it set; 0 for what it was asked
        // Drops the connection on taking this data byte the dropOnCount-th time, as a
        // server that is stopped in the middle of an exchange.
        int dropOn = -1;
        int dropOnCount = 1;
    };

    explicit NetworkPeer(Behaviour behaviour);
    ~NetworkPeer();

    quint16 port() const { return port_; }
    QByteArray received() const;
    // The value of each COM-PORT-OPTION command it was sent, by command.
    std::map<std::uint8_t, QByteArray> lineSettings() const;
    int connections() const;
    // Drops every connection, as a server that is stopped does; still listens after.
    void dropClients();

private:
    friend class PeerServer;
    Behaviour behaviour_;
    QThread thread_;
    QObject *server_ = nullptr;
    quint16 port_ = 0;
    mutable QMutex mutex_;
    QByteArray received_;
    std::map<std::uint8_t, QByteArray> settings_;
    int connections_ = 0;
};

// A 127.0.0.1 port that nothing listens on (a server was there a moment ago).
quint16 UnusedLocalPort();

} // namespace qova::test
