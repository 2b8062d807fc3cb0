#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "link/telnetcodec.h"

#include <QString>
#include <deque>
#include <memory>
#include <optional>

class QTcpSocket;

namespace qova::link {

// A serial device server on the network: "tcp://HOST:PORT" passes the bytes as they are,
// "rfc2217://HOST:PORT" speaks telnet with RFC 2217 port control.
enum class NetworkKind : std::uint8_t { Raw, Rfc2217 };

struct NetworkAddress {
    NetworkKind kind = NetworkKind::Raw;
    QString host;
    quint16 port = 0;
    bool operator==(const NetworkAddress &) const = default;
};

// Whether `name` is meant as a network device (it starts with tcp:// or rfc2217://),
// whether or not the rest is well formed.
bool IsNetworkName(const QString &name);
// The address a network name gives; nullopt when it is not one or is malformed. An IPv6
// host is written in brackets: "tcp://[::1]:4001".
std::optional<NetworkAddress> ParseNetworkName(const QString &name);
// "bay3:4001", as the operator calls the server in a caption.
QString NetworkDisplayName(const NetworkAddress &address);

// The analyser behind a network serial server, as a ByteDevice. Connecting waits through
// the Pause (at most connectTimeoutMs), so the windows keep painting; the connection is
// made by the event loop, which the program's Pause runs. Faults read like those of a
// serial port: a refused or unreachable server fails openDevice with the system's reason,
// and a dropped connection closes the device as an unplugged adapter closes its port, so
// the next OpenPort connects afresh.
class NetworkDevice final : public ByteDevice {
public:
    static constexpr int kConnectTimeoutMs = 3000;
    // The analyser's longest answer is a few hundred bytes. What a server sends beyond these
    // bounds is dropped, oldest first, as a serial line would overrun: the frames fail and
    // the link reads as faulty, but memory stays put whatever the server sends.
    static constexpr qint64 kSocketBufferBytes = 16 * 1024;
    static constexpr std::size_t kMaxQueuedBytes = 4096;

    NetworkDevice(QString name, Pause &pause, int connectTimeoutMs = kConnectTimeoutMs);
    ~NetworkDevice() override;

    // Connects; for RFC 2217 also agrees telnet options with the server.
    bool openDevice() override;
    // RFC 2217: asks the server for 9600 8N1 without flow control and checks each reply.
    // Raw: the server's port is set up on the server; nothing to ask.
    bool setLineSettings() override;
    bool setTimeouts() override;
    bool setQueues() override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    QString deviceName() const override { return name_; }
    QString errorString() const override { return error_; }

private:
    // Takes what the socket holds (waiting at most waitMs for more) into in_; false once
    // the connection is gone.
    bool pump(int waitMs);
    bool sendRaw(const QByteArray &bytes);
    void dropped(const QString &reason);
    QString where() const;

    QString name_;
    std::optional<NetworkAddress> address_;
    Pause &pause_;
    int connectTimeoutMs_;
    std::unique_ptr<QTcpSocket> socket_;
    std::unique_ptr<telnet::Client> telnet_;
    std::deque<std::uint8_t> in_;
    QString error_;
    bool open_ = false;
};

} // namespace qova::link
