#include "link/networkdevice.h"

#include "link/protocol.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>
#include <iterator>

namespace qova::link {

namespace {
const QString kRawScheme = QStringLiteral("tcp://");
const QString kRfc2217Scheme = QStringLiteral("rfc2217://");
// How long a server may take to agree the telnet options and confirm the line settings.
constexpr int kNegotiationTimeoutMs = 3000;

struct SettingName {
    std::uint8_t command;
    const char *name;
};
// The last is also what any other command sets.
constexpr SettingName kSettingNames[] = {{telnet::kSetBaudRate, "baud rate"},
                                         {telnet::kSetDataSize, "data bits"},
                                         {telnet::kSetParity, "parity"},
                                         {telnet::kSetStopSize, "stop bits"},
                                         {telnet::kSetControl, "flow control"}};

QString settingName(std::uint8_t command)
{
    for (const SettingName &s : kSettingNames)
        if (s.command == command)
            return QString::fromLatin1(s.name);
    return QString::fromLatin1(kSettingNames[std::size(kSettingNames) - 1].name);
}

QString valueText(const QByteArray &value)
{
    if (value.size() == 4) {
        std::uint32_t v = 0;
        for (const char c : value)
            v = (v << 8) | static_cast<std::uint8_t>(c);
        return QString::number(v);
    }
    return QString::fromLatin1(value.toHex(' '));
}
} // namespace

bool IsNetworkName(const QString &name)
{
    return name.startsWith(kRawScheme, Qt::CaseInsensitive) || name.startsWith(kRfc2217Scheme, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> ParseNetworkName(const QString &name)
{
    if (!IsNetworkName(name))
        return std::nullopt;
    const QUrl url(name, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || !url.userInfo().isEmpty() ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    NetworkAddress address;
    address.kind = name.startsWith(kRawScheme, Qt::CaseInsensitive) ? NetworkKind::Raw : NetworkKind::Rfc2217;
    address.host = url.host();
    address.port = static_cast<quint16>(url.port());
    return address;
}

QString NetworkDisplayName(const NetworkAddress &address)
{
    const QString host =
        address.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(address.host) : address.host;
    return QStringLiteral("%1:%2").arg(host).arg(address.port);
}

NetworkDevice::NetworkDevice(QString name, Pause &pause, int connectTimeoutMs)
    : name_(std::move(name)), address_(ParseNetworkName(name_)), pause_(pause), connectTimeoutMs_(connectTimeoutMs)
{
}

NetworkDevice::~NetworkDevice()
{
    close();
}

QString NetworkDevice::where() const
{
    return address_ ? QStringLiteral("%1 port %2").arg(address_->host).arg(address_->port) : name_;
}

bool NetworkDevice::openDevice()
{
    close();
    error_.clear();
    in_.clear();
    telnet_.reset();
    if (!address_) {
        error_ = QStringLiteral("not a network address; write tcp://HOST:PORT for a raw TCP server or "
                                "rfc2217://HOST:PORT for a telnet server with RFC 2217 port control");
        return false;
    }
    socket_ = std::make_unique<QTcpSocket>();
    // Every command is a byte or two; waiting to fill a segment would delay each of them.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Unbounded by default: a server sending without end would fill memory.
    socket_->setReadBufferSize(kSocketBufferBytes);
    QObject::connect(socket_.get(), &QAbstractSocket::disconnected, socket_.get(), [this] {
        if (open_)
            dropped(QStringLiteral("the server closed the connection"));
    });
    socket_->connectToHost(address_->host, address_->port);
    const bool settled = pause_.sleepUntil(connectTimeoutMs_, [this] {
        const auto s = socket_->state();
        return s == QAbstractSocket::ConnectedState || s == QAbstractSocket::UnconnectedState;
    });
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        error_ = settled ? QStringLiteral("%1 (%2)").arg(socket_->errorString(), where())
                         : QStringLiteral("no connection to %1 within %2 s").arg(where()).arg(connectTimeoutMs_ / 1000);
        socket_->abort();
        return false;
    }
    open_ = true;
    if (address_->kind == NetworkKind::Raw)
        return true;

    telnet_ = std::make_unique<telnet::Client>();
    if (!sendRaw(telnet::Client::OpeningRequests()))
        return false;
    pause_.sleepUntil(kNegotiationTimeoutMs, [this] { return !pump(0) || telnet_->comPortAccepted().has_value(); });
    if (!open_)
        return false;
    const auto accepted = telnet_->comPortAccepted();
    if (accepted != true) {
        error_ = accepted.has_value()
                     ? QStringLiteral("the server at %1 refused RFC 2217 port control; for a raw TCP port "
                                      "write tcp:// instead of rfc2217://")
                           .arg(where())
                     : QStringLiteral("the server at %1 did not answer the telnet negotiation within %2 s; for "
                                      "a raw TCP port write tcp:// instead of rfc2217://")
                           .arg(where())
                           .arg(kNegotiationTimeoutMs / 1000);
        close();
        return false;
    }
    return true;
}

bool NetworkDevice::setLineSettings()
{
    if (!isOpen())
        return false;
    if (address_->kind == NetworkKind::Raw)
        return true;
    const std::vector<telnet::LineRequest> requests = telnet::AnalyserLineRequests();
    QByteArray out;
    for (const auto &r : requests)
        out.append(telnet::ComPortCommand(r.command, r.value));
    if (!sendRaw(out))
        return false;

    std::vector<std::optional<QByteArray>> confirmed(requests.size());
    const auto allConfirmed = [&confirmed] {
        for (const auto &c : confirmed)
            if (!c)
                return false;
        return true;
    };
    pause_.sleepUntil(kNegotiationTimeoutMs, [&] {
        if (!pump(0))
            return true;
        for (const auto &reply : telnet_->takeReplies())
            for (std::size_t i = 0; i < requests.size(); ++i)
                if (reply.command == requests[i].command + telnet::kServerReplyOffset)
                    confirmed[i] = reply.value;
        return allConfirmed();
    });
    if (!open_)
        return false;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (!confirmed[i]) {
            error_ = QStringLiteral("the server at %1 did not confirm the %2 within %3 s")
                         .arg(where(), settingName(requests[i].command))
                         .arg(kNegotiationTimeoutMs / 1000);
            close();
            return false;
        }
        if (*confirmed[i] != requests[i].value) {
            error_ = QStringLiteral("the server at %1 set the %2 to %3 instead of %4")
                         .arg(where(), settingName(requests[i].command), valueText(*confirmed[i]),
                              valueText(requests[i].value));
            close();
            return false;
        }
    }
    return true;
}

bool NetworkDevice::setTimeouts()
{
    return isOpen();
}

bool NetworkDevice::setQueues()
{
    return isOpen();
}

void NetworkDevice::close()
{
    open_ = false;
    if (socket_) {
        QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
        socket_->abort();
    }
}

bool NetworkDevice::isOpen() const
{
    return open_ && socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void NetworkDevice::dropped(const QString &reason)
{
    error_ = QStringLiteral("%1 (%2)").arg(reason, where());
    open_ = false;
    // The socket stays until the next open or the device's end: this may run inside its
    // own notification, where it must not be destroyed.
    if (socket_)
        QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
}

bool NetworkDevice::pump(int waitMs)
{
    if (!open_ || !socket_)
        return false;
    if (socket_->bytesAvailable() == 0)
        socket_->waitForReadyRead(waitMs);
    const QByteArray got = socket_->isOpen() ? socket_->read(kSocketBufferBytes) : QByteArray();
    if (!got.isEmpty()) {
        if (telnet_) {
            telnet_->feed(got, in_);
            const QByteArray answers = telnet_->takeAnswers();
            if (!answers.isEmpty() && !sendRaw(answers))
                return false;
        } else {
            in_.insert(in_.end(), got.begin(), got.end());
        }
        if (in_.size() > kMaxQueuedBytes)
            in_.erase(in_.begin(), in_.end() - static_cast<std::ptrdiff_t>(kMaxQueuedBytes));
    }
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        if (open_)
            dropped(QStringLiteral("the server closed the connection"));
        return false;
    }
    return open_;
}

bool NetworkDevice::sendRaw(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    if (socket_->write(bytes) != bytes.size()) {
        dropped(socket_->errorString());
        return false;
    }
    socket_->flush();
    if (socket_->bytesToWrite() > 0)
        socket_->waitForBytesWritten(4);
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        dropped(QStringLiteral("the server closed the connection"));
        return false;
    }
    return socket_->bytesToWrite() == 0;
}

bool NetworkDevice::writeByte(std::uint8_t byte)
{
    const QByteArray one(1, static_cast<char>(byte));
    return sendRaw(telnet_ ? telnet::EscapeData(one) : one);
}

std::optional<std::uint8_t> NetworkDevice::readByte()
{
    if (!isOpen())
        return std::nullopt;
    if (in_.empty())
        pump(1);
    if (in_.empty())
        return std::nullopt;
    const std::uint8_t b = in_.front();
    in_.pop_front();
    return b;
}

std::size_t NetworkDevice::queuedBytes()
{
    if (!isOpen())
        return 0;
    pump(0);
    return in_.size();
}

} // namespace qova::link
