#include "tests/link/networkpeer.h"

#include "link/telnetcodec.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <vector>

namespace qova::test {

namespace tn = link::telnet;

class PeerServer : public QObject {
public:
    explicit PeerServer(NetworkPeer &peer) : peer_(peer)
    {
        connect(&server_, &QTcpServer::newConnection, this, &PeerServer::accept);
    }
    quint16 listen()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        return server_.serverPort();
    }
    void dropAll()
    {
        for (QTcpSocket *s : clients_) {
            s->abort();
            s->deleteLater();
        }
        clients_.clear();
    }

private:
    struct Parser {
        enum { Data, Iac, Option, Sub, SubIac } state = Data;
        QByteArray sub;
    };

    void accept()
    {
        while (QTcpSocket *s = server_.nextPendingConnection()) {
            {
                QMutexLocker lock(&peer_.mutex_);
                ++peer_.connections_;
            }
            clients_.push_back(s);
            auto parser = std::make_shared<Parser>();
            connect(s, &QTcpSocket::readyRead, this, [this, s, parser] { take(s, *parser); });
            const auto &b = peer_.behaviour_;
            if (b.kind == NetworkPeer::Kind::Rfc2217 && !b.silent) {
                const char verb = static_cast<char>(b.refusePortControl ? tn::kDont : tn::kDo);
                s->write(QByteArray() + char(tn::kIac) + verb + char(tn::kComPortOption));
            }
        }
    }

    void take(QTcpSocket *s, Parser &p)
    {
        const QByteArray bytes = s->readAll();
        const auto &b = peer_.behaviour_;
        if (b.silent)
            return;
        for (const char c : bytes) {
            const auto u = static_cast<std::uint8_t>(c);
            if (b.kind == NetworkPeer::Kind::Raw) {
                data(s, u);
                continue;
            }
            switch (p.state) {
            case Parser::Data:
                if (u == tn::kIac)
                    p.state = Parser::Iac;
                else
                    data(s, u);
                break;
            case Parser::Iac:
                if (u == tn::kIac) {
                    data(s, u);
                    p.state = Parser::Data;
                } else if (u == tn::kSb) {
                    p.sub.clear();
                    p.state = Parser::Sub;
                } else if (u >= tn::kWill) {
                    p.state = Parser::Option;
                } else {
                    p.state = Parser::Data;
                }
                break;
            case Parser::Option:
                p.state = Parser::Data;
                break;
            case Parser::Sub:
                if (u == tn::kIac)
                    p.state = Parser::SubIac;
                else
                    p.sub.append(c);
                break;
            case Parser::SubIac:
                if (u == tn::kIac) {
                    p.sub.append(c);
                    p.state = Parser::Sub;
                } else {
                    if (u == tn::kSe && p.sub.size() >= 2 && static_cast<std::uint8_t>(p.sub[0]) == tn::kComPortOption)
                        setting(s, static_cast<std::uint8_t>(p.sub[1]), p.sub.mid(2));
                    p.state = Parser::Data;
                }
                break;
            }
        }
    }

    void setting(QTcpSocket *s, std::uint8_t command, QByteArray value)
    {
        {
            QMutexLocker lock(&peer_.mutex_);
            peer_.settings_[command] = value;
        }
        const auto baud = peer_.behaviour_.confirmedBaud;
        if (command == tn::kSetBaudRate && baud != 0)
            value = QByteArray() + char(baud >> 24) + char(baud >> 16) + char(baud >> 8) + char(baud);
        s->write(tn::ComPortCommand(static_cast<std::uint8_t>(command + tn::kServerReplyOffset), value));
    }

    void data(QTcpSocket *s, std::uint8_t byte)
    {
        {
            QMutexLocker lock(&peer_.mutex_);
            peer_.received_.append(static_cast<char>(byte));
        }
        if (byte == peer_.behaviour_.dropOn && ++dropSeen_ == peer_.behaviour_.dropOnCount) {
            s->abort();
            return;
        }
        const auto &answers = peer_.behaviour_.answers;
        const auto it = answers.find(byte);
        if (it == answers.end())
            return;
        s->write(peer_.behaviour_.kind == NetworkPeer::Kind::Rfc2217 ? tn::EscapeData(it->second) : it->second);
    }

    NetworkPeer &peer_;
    int dropSeen_ = 0;
    QTcpServer server_{this};
    std::vector<QTcpSocket *> clients_;
};

NetworkPeer::NetworkPeer(Behaviour behaviour) : behaviour_(std::move(behaviour))
{
    auto *server = new PeerServer(*this);
    server->moveToThread(&thread_);
    server_ = server;
    thread_.start();
    QMetaObject::invokeMethod(
        server, [this, server] { port_ = server->listen(); }, Qt::BlockingQueuedConnection);
}

NetworkPeer::~NetworkPeer()
{
    QObject *server = server_;
    QMetaObject::invokeMethod(
        server,
        [server] {
            static_cast<PeerServer *>(server)->dropAll();
            delete server;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

QByteArray NetworkPeer::received() const
{
    QMutexLocker lock(&mutex_);
    return received_;
}

std::map<std::uint8_t, QByteArray> NetworkPeer::lineSettings() const
{
    QMutexLocker lock(&mutex_);
    return settings_;
}

int NetworkPeer::connections() const
{
    QMutexLocker lock(&mutex_);
    return connections_;
}

void NetworkPeer::dropClients()
{
    auto *server = static_cast<PeerServer *>(server_);
    QMetaObject::invokeMethod(
        server, [server] { server->dropAll(); }, Qt::BlockingQueuedConnection);
}

quint16 UnusedLocalPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace qova::test
