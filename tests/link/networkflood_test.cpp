// A server that floods the link must not grow the program: the live session against a
// flooding server on 127.0.0.1 reads a faulty line and the process's resident memory stays
// within a few megabytes. QOVA_FLOOD_SECONDS sets how long each flood lasts (default 60).
#include "link/livesession.h"
#include "link/networkdevice.h"
#include "link/serialport.h"
#include "link/telnetcodec.h"
#include "tests/support/coreapplication.h"
#include "tests/support/okresult.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace qova;

namespace {

QByteArray repeated(const QByteArray &unit, int times)
{
    return unit.repeated(times);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// What a willing RFC 2217 server answers at once: port control taken, every setting confirmed.
QByteArray agreeingServer()
{
    QByteArray out = bytes({link::telnet::kIac, link::telnet::kDo, link::telnet::kComPortOption});
    for (const auto &r : link::telnet::AnalyserLineRequests())
        out += link::telnet::ComPortCommand(r.command + link::telnet::kServerReplyOffset, r.value);
    return out;
}

// Resident memory of this process, from /proc.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

// Takes one connection on 127.0.0.1, sends `prologue`, then `burst` over and over until
// told to stop or `seconds` have passed. It never reads, as a server that lost its
// analyser side, and keeps its own unsent bytes under a bound, so the memory measured is
// the client's.
class FloodServer {
public:
    FloodServer(QByteArray prologue, QByteArray burst, int seconds)
    {
        std::promise<quint16> listening;
        auto port = listening.get_future();
        thread_ = std::thread([this, prologue, burst, seconds, &listening] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost);
            listening.set_value(server.serverPort());
            QElapsedTimer clock;
            clock.start();
            const qint64 endMs = 1000LL * seconds + 10000;
            while (!stop_ && !server.hasPendingConnections() && clock.elapsed() < endMs)
                server.waitForNewConnection(50);
            std::unique_ptr<QTcpSocket> client(server.nextPendingConnection());
            if (!client)
                return;
            client->write(prologue);
            while (!stop_ && clock.elapsed() < endMs && client->state() == QAbstractSocket::ConnectedState) {
                if (client->bytesToWrite() < 256 * 1024)
                    client->write(burst);
                client->waitForBytesWritten(20);
            }
            client->abort();
        });
        port_ = port.get();
    }
    ~FloodServer()
    {
        stop_ = true;
        thread_.join();
    }
    quint16 port() const { return port_; }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    quint16 port_ = 0;
};

struct FloodRow {
    const char *name;
    const char *scheme;
    QByteArray prologue;
    QByteArray burst;
};

class NetworkFlood : public testing::TestWithParam<FloodRow> {
public:
    static void SetUpTestSuite() { test::CoreApplication("networkflood_test"); }
};

TEST_P(NetworkFlood, ReadsAsAFaultyLineAndMemoryStaysPut)
{
    if (residentBytes() < 0)
        GTEST_SKIP() << "no /proc/self/statm to measure resident memory";
    const int seconds =
        qEnvironmentVariableIsSet("QOVA_FLOOD_SECONDS") ? qEnvironmentVariableIntValue("QOVA_FLOOD_SECONDS") : 60;
    const FloodRow &row = GetParam();
    FloodServer server(row.prologue, row.burst, seconds);
    link::EventLoopPause pause;
    const QString name = QStringLiteral("%1://127.0.0.1:%2").arg(row.scheme).arg(server.port());
    link::PortState port([&](int) { return std::make_unique<link::NetworkDevice>(name, pause); }, pause);
    link::LiveSession session(port);
    int valid = 0, noResponse = 0;
    QObject::connect(&session, &link::LiveSession::validFrame, [&valid] { ++valid; });
    QObject::connect(&session, &link::LiveSession::noResponse, [&noResponse] { ++noResponse; });

    const qint64 before = residentBytes();
    qint64 largest = before;
    ASSERT_TRUE(qova::test::Ok(session.start({.noResponseAfter = 3})));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000LL * seconds) {
        pause.sleepMs(200);
        session.cycle();
        largest = std::max(largest, residentBytes());
    }
    session.stop();
    const qint64 grownKb = (largest - before) / 1024;
    std::printf("%s: resident %lld kB before, at most %lld kB during %d s (+%lld kB)\n", row.name,
                static_cast<long long>(before / 1024), static_cast<long long>(largest / 1024), seconds,
                static_cast<long long>(grownKb));
    EXPECT_LT(grownKb, 5 * 1024);
    EXPECT_EQ(valid, 0);
    EXPECT_GT(noResponse, 0) << "the flooded link reads as a line that does not answer";
}

INSTANTIATE_TEST_SUITE_P(
    Floods, NetworkFlood,
    testing::Values(
        // A sub-negotiation that never ends: IAC SB COM-PORT-OPTION and no IAC SE.
        FloodRow{"SubnegotiationWithoutEnd", "rfc2217",
                 agreeingServer() + bytes({link::telnet::kIac, link::telnet::kSb, link::telnet::kComPortOption, 106}),
                 repeated("A", 64 * 1024)},
        // Bytes without end on a raw port, 255s among them.
        FloodRow{"RawGarbage", "tcp", {}, repeated(bytes({0x5A, 0xFF, 0x00, 0x13, 0x80, 0x7F, 0x01, 0x24}), 8 * 1024)},
        // The same option asked for twenty thousand times a burst.
        FloodRow{"OptionRequests", "rfc2217", agreeingServer(),
                 repeated(bytes({link::telnet::kIac, link::telnet::kDo, 99}), 20000)}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
