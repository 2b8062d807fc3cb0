#include "link/frame.h"
#include "link/livesession.h"
#include "link/networkdevice.h"
#include "link/serialport.h"
#include "link/serialports.h"
#include "link/telnetcodec.h"
#include "tests/link/networkpeer.h"
#include "tests/support/coreapplication.h"
#include "tests/support/okresult.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace qova;
using link::NetworkAddress;
using link::NetworkKind;
using test::NetworkPeer;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// ---- Names ------------------------------------------------------------------------------

struct NameRow {
    const char *name;
    bool network;
    std::optional<NetworkAddress> address;
    const char *display;
};

class NetworkNames : public testing::TestWithParam<NameRow> {};

TEST_P(NetworkNames, ParseAsWritten)
{
    const NameRow &row = GetParam();
    const QString name = QString::fromUtf8(row.name);
    EXPECT_EQ(link::IsNetworkName(name), row.network);
    const auto address = link::ParseNetworkName(name);
    EXPECT_EQ(address, row.address);
    if (address) {
        EXPECT_EQ(link::NetworkDisplayName(*address), QString::fromUtf8(row.display));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NetworkNames,
    testing::Values(NameRow{"tcp://bay3:4001", true, NetworkAddress{NetworkKind::Raw, "bay3", 4001}, "bay3:4001"},
                    NameRow{"rfc2217://10.0.0.5:2217", true, NetworkAddress{NetworkKind::Rfc2217, "10.0.0.5", 2217},
                            "10.0.0.5:2217"},
                    NameRow{"TCP://Bay3:1", true, NetworkAddress{NetworkKind::Raw, "bay3", 1}, "bay3:1"},
                    NameRow{"tcp://bay3:4001/", true, NetworkAddress{NetworkKind::Raw, "bay3", 4001}, "bay3:4001"},
                    NameRow{"tcp://[::1]:4001", true, NetworkAddress{NetworkKind::Raw, "::1", 4001}, "[::1]:4001"},
                    NameRow{"tcp://bay3", true, std::nullopt, ""}, NameRow{"tcp://:4001", true, std::nullopt, ""},
                    NameRow{"tcp://bay3:0", true, std::nullopt, ""},
                    NameRow{"tcp://bay3:70000", true, std::nullopt, ""},
                    NameRow{"tcp://bay3:4001/ttyS0", true, std::nullopt, ""},
                    NameRow{"tcp://op@bay3:4001", true, std::nullopt, ""},
                    NameRow{"rfc2217://bay3:4001?x=1", true, std::nullopt, ""},
                    NameRow{"/dev/ttyUSB0", false, std::nullopt, ""}, NameRow{"COM7", false, std::nullopt, ""},
                    NameRow{"demo", false, std::nullopt, ""}, NameRow{"udp://bay3:4001", false, std::nullopt, ""}));

// ---- Telnet -----------------------------------------------------------------------------

struct TelnetRow {
    const char *what;
    std::vector<QByteArray> chunks; // as the socket happened to deliver them
    QByteArray data;
    QByteArray answers;
    std::vector<link::telnet::ComPortReply> replies;
    std::optional<bool> accepted;
};

class TelnetClient : public testing::TestWithParam<TelnetRow> {};

TEST_P(TelnetClient, SeparatesDataFromNegotiation)
{
    const TelnetRow &row = GetParam();
    link::telnet::Client client;
    std::deque<std::uint8_t> data;
    for (const QByteArray &chunk : row.chunks)
        client.feed(chunk, data);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(std::vector<std::uint8_t>(data.begin(), data.end()).data()),
                         static_cast<qsizetype>(data.size())),
              row.data)
        << row.what;
    EXPECT_EQ(client.takeAnswers().toHex(' '), row.answers.toHex(' ')) << row.what;
    EXPECT_EQ(client.takeReplies(), row.replies) << row.what;
    EXPECT_EQ(client.comPortAccepted(), row.accepted) << row.what;
    EXPECT_TRUE(client.takeAnswers().isEmpty()) << "answers are sent once";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TelnetClient,
    testing::Values(
        TelnetRow{"plain bytes", {bytes({0x11, 0x00, 0x0D, 0x0A})}, bytes({0x11, 0x00, 0x0D, 0x0A}), {}, {}, {}},
        TelnetRow{"a doubled IAC is one 255", {bytes({0x01, 255, 255, 0x02})}, bytes({0x01, 255, 0x02}), {}, {}, {}},
        TelnetRow{"a doubled IAC split over two reads",
                  {bytes({0x01, 255}), bytes({255, 0x02})},
                  bytes({0x01, 255, 0x02}),
                  {},
                  {},
                  {}},
        TelnetRow{"the server takes port control", {bytes({255, 253, 44})}, {}, {}, {}, true},
        TelnetRow{"the server refuses port control", {bytes({255, 254, 44})}, {}, {}, {}, false},
        TelnetRow{"acknowledgements of binary and no go-ahead get no answer",
                  {bytes({255, 253, 0, 255, 251, 0, 255, 253, 3, 255, 251, 3})},
                  {},
                  {},
                  {},
                  {}},
        TelnetRow{"echo and window size are refused",
                  {bytes({255, 251, 1, 255, 253, 31})},
                  {},
                  bytes({255, 254, 1, 255, 252, 31}),
                  {},
                  {}},
        TelnetRow{"a baud rate reply",
                  {bytes({255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240})},
                  {},
                  {},
                  {{101, bytes({0, 0, 0x25, 0x80})}},
                  {}},
        TelnetRow{"a reply split in the middle, with a doubled IAC in its value",
                  {bytes({0x41, 255, 250, 44, 101, 0, 0}), bytes({255}), bytes({255, 0x80, 255}), bytes({240, 0x42})},
                  bytes({0x41, 0x42}),
                  {},
                  {{101, bytes({0, 0, 255, 0x80})}},
                  {}},
        TelnetRow{"another option's sub-negotiation is dropped",
                  {bytes({255, 250, 24, 1, 255, 240, 0x07})},
                  bytes({0x07}),
                  {},
                  {},
                  {}},
        TelnetRow{"NOP and go-ahead between data",
                  {bytes({0x01, 255, 241, 0x02, 255, 249, 0x03})},
                  bytes({0x01, 0x02, 0x03}),
                  {},
                  {},
                  {}},
        TelnetRow{"what ser2net sends on connecting",
                  {bytes({255, 251, 3, 255, 253, 3, 255, 251, 1, 255, 254, 1, 255, 253, 0, 255, 251, 0, 255, 253, 44})},
                  {},
                  bytes({255, 254, 1}),
                  {},
                  true}));

// A server may send anything: every store of the client keeps a bound, and what passes it
// is dropped or answered once, never echoed back in full.
QByteArray subnegotiation(std::uint8_t command, const QByteArray &value)
{
    return bytes({255, 250, 44, command}) + value + bytes({255, 240});
}
std::vector<link::telnet::ComPortReply> modemNoticesThenBaud(std::size_t notices)
{
    std::vector<link::telnet::ComPortReply> out(notices, {107, bytes({0x30})});
    out.push_back({101, bytes({0, 0, 0x25, 0x80})});
    return out;
}
constexpr int kLongestKeptValue = link::telnet::kMaxSubnegotiationBytes - 2; // after option and command

INSTANTIATE_TEST_SUITE_P(
    Bounds, TelnetClient,
    testing::Values(TelnetRow{"a request asked twenty thousand times is refused once",
                              {bytes({255, 253, 99}).repeated(20000)},
                              {},
                              bytes({255, 252, 99}),
                              {},
                              {}},
                    TelnetRow{"an offer repeated across reads is refused once",
                              {bytes({255, 251, 99}).repeated(1000), bytes({255}), bytes({251, 99, 0x07})},
                              bytes({0x07}),
                              bytes({255, 254, 99}),
                              {},
                              {}},
                    TelnetRow{"binary switched off and on a thousand times is agreed once",
                              {bytes({255, 254, 0, 255, 253, 0}).repeated(1000)},
                              {},
                              bytes({255, 251, 0}),
                              {},
                              {}},
                    TelnetRow{"a sub-negotiation at the bound is kept",
                              {subnegotiation(101, QByteArray(kLongestKeptValue, 'A'))},
                              {},
                              {},
                              {{101, QByteArray(kLongestKeptValue, 'A')}},
                              {}},
                    TelnetRow{"a sub-negotiation a byte over the bound is dropped and data flows after it",
                              {subnegotiation(101, QByteArray(kLongestKeptValue + 1, 'A')) + bytes({0x07})},
                              bytes({0x07}),
                              {},
                              {},
                              {}},
                    TelnetRow{"doubled IACs count once toward the bound",
                              {subnegotiation(101, bytes({255, 255}).repeated(kLongestKeptValue))},
                              {},
                              {},
                              {{101, QByteArray(kLongestKeptValue, '\xFF')}},
                              {}},
                    TelnetRow{"a megabyte before its IAC SE, in pieces, is dropped and the reply after it kept",
                              {bytes({255, 250, 44, 106}), QByteArray(512 * 1024, 'B'), QByteArray(512 * 1024, 'B'),
                               bytes({255, 240, 0x07}) + subnegotiation(101, bytes({0, 0, 0x25, 0x80}))},
                              bytes({0x07}),
                              {},
                              {{101, bytes({0, 0, 0x25, 0x80})}},
                              {}},
                    TelnetRow{"of a hundred unasked notices the newest are kept, and the reply after them",
                              {subnegotiation(107, bytes({0x30})).repeated(100) +
                               subnegotiation(101, bytes({0, 0, 0x25, 0x80}))},
                              {},
                              {},
                              modemNoticesThenBaud(link::telnet::kMaxHeldReplies - 1),
                              {}}));

TEST(TelnetWire, AnalyserLineSettingsAsSent)
{
    QByteArray wire;
    for (const auto &r : link::telnet::AnalyserLineRequests())
        wire.append(link::telnet::ComPortCommand(r.command, r.value));
    EXPECT_EQ(wire.toHex(' '), QByteArray("ff fa 2c 01 00 00 25 80 ff f0 ff fa 2c 02 08 ff f0 ff fa 2c 03 01 ff f0 "
                                          "ff fa 2c 04 01 ff f0 ff fa 2c 05 01 ff f0"));
}

TEST(TelnetWire, EscapesEvery255)
{
    EXPECT_EQ(link::telnet::EscapeData(bytes({0x11, 255, 255, 0x00})), bytes({0x11, 255, 255, 255, 255, 0x00}));
    EXPECT_EQ(link::telnet::ComPortCommand(1, bytes({0, 0, 255, 0})),
              bytes({255, 250, 44, 1, 0, 0, 255, 255, 0, 255, 240}));
}

// ---- The device against a server --------------------------------------------------------

class NetworkRig {
public:
    NetworkRig() : port([this](int) { return std::make_unique<link::NetworkDevice>(name, pause, timeoutMs); }, pause) {}
    link::EventLoopPause pause;
    QString name;
    int timeoutMs = link::NetworkDevice::kConnectTimeoutMs;
    link::PortState port;
};

class WithApplication : public testing::Test {
public:
    static void SetUpTestSuite() { test::CoreApplication("networkdevice_test"); }
};

QString nameFor(NetworkPeer::Kind kind, quint16 port)
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(kind == NetworkPeer::Kind::Raw ? "tcp" : "rfc2217").arg(port);
}

// A live frame whose data and check word hold 255s, which telnet must double on the wire.
QByteArray liveFrame()
{
    std::vector<std::uint8_t> data(link::kLiveDataSize, 0x00);
    data[0] = 0xFF;
    data[5] = 0xFF;
    data[6] = 0x21;
    const auto frame = link::BuildCommandFrame(0, data);
    return QByteArray(reinterpret_cast<const char *>(frame.data()) + 1, static_cast<qsizetype>(frame.size() - 1));
}

class NetworkDeviceKinds : public WithApplication, public testing::WithParamInterface<NetworkPeer::Kind> {};

TEST_P(NetworkDeviceKinds, BytesCrossUnchangedBothWays)
{
    NetworkPeer peer({GetParam(), {{link::kPollCommand, liveFrame()}}});
    NetworkRig rig;
    rig.name = nameFor(GetParam(), peer.port());
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(rig.port)));
    link::WriteByte(rig.port, 0xFF);
    link::WriteByte(rig.port, link::kPollCommand);
    const auto size = static_cast<std::size_t>(link::kLiveFrameSize);
    ASSERT_TRUE(rig.pause.sleepUntil(2000, [&] { return rig.port.PortHandle->queuedBytes() >= size; }));
    QByteArray got;
    for (std::size_t i = 0; i < size; ++i)
        got.append(static_cast<char>(link::ReadByte(rig.port)));
    EXPECT_EQ(got.toHex(' '), liveFrame().toHex(' '));
    link::ReadByte(rig.port);
    EXPECT_EQ(rig.port.BytesRead, 0u) << "a byte more than the server sent";
    EXPECT_EQ(peer.received(), bytes({0xFF, link::kPollCommand}));
    if (GetParam() == NetworkPeer::Kind::Rfc2217) {
        const std::map<std::uint8_t, QByteArray> asked = {
            {1, bytes({0, 0, 0x25, 0x80})}, {2, bytes({8})}, {3, bytes({1})}, {4, bytes({1})}, {5, bytes({1})}};
        EXPECT_EQ(peer.lineSettings(), asked);
    } else {
        EXPECT_TRUE(peer.lineSettings().empty());
    }
}

TEST_P(NetworkDeviceKinds, ADroppedConnectionClosesTheDeviceAndTheNextOpenConnectsAgain)
{
    NetworkPeer peer({GetParam(), {}});
    NetworkRig rig;
    rig.name = nameFor(GetParam(), peer.port());
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(rig.port)));
    peer.dropClients();
    ASSERT_TRUE(rig.pause.sleepUntil(2000, [&] {
        link::ReadByte(rig.port);
        return !rig.port.handleValid();
    }));
    EXPECT_FALSE(link::WriteByte(rig.port, link::kPollCommand));
    EXPECT_TRUE(rig.port.PortHandle->errorString().contains("closed the connection"))
        << rig.port.PortHandle->errorString().toStdString();
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(rig.port)));
    EXPECT_EQ(peer.connections(), 2);
}

TEST_P(NetworkDeviceKinds, ARefusedConnectionFailsTheOpenWithTheSystemsReason)
{
    NetworkRig rig;
    rig.name = nameFor(GetParam(), test::UnusedLocalPort());
    const Done opened = link::OpenPort(rig.port);
    ASSERT_FALSE(opened.ok());
    EXPECT_FALSE(rig.port.PortOpen);
    EXPECT_EQ(opened.problem().what, QStringLiteral("COM1 (%1)").arg(rig.name));
    EXPECT_TRUE(opened.problem().why.contains("refused", Qt::CaseInsensitive))
        << qova::test::Said(opened).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, NetworkDeviceKinds, testing::Values(NetworkPeer::Kind::Raw, NetworkPeer::Kind::Rfc2217),
                         [](const auto &info) { return info.param == NetworkPeer::Kind::Raw ? "Raw" : "Rfc2217"; });

struct ServerFaultRow {
    const char *what;
    NetworkPeer::Behaviour behaviour;
    const char *reason;
    int atLeastMs;
};

class Rfc2217ServerFaults : public WithApplication, public testing::WithParamInterface<ServerFaultRow> {};

TEST_P(Rfc2217ServerFaults, FailTheOpenSayingWhatTheServerDidWhileTheEventLoopRuns)
{
    const ServerFaultRow &row = GetParam();
    NetworkPeer peer(row.behaviour);
    NetworkRig rig;
    rig.name = nameFor(NetworkPeer::Kind::Rfc2217, peer.port());
    int ticks = 0;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&ticks] { ++ticks; });
    painter.start(50);
    QElapsedTimer clock;
    clock.start();
    const Done opened = link::OpenPort(rig.port);
    const auto took = clock.elapsed();
    ASSERT_FALSE(opened.ok()) << row.what;
    EXPECT_TRUE(opened.problem().why.contains(QString::fromUtf8(row.reason))) << qova::test::Said(opened).toStdString();
    EXPECT_FALSE(rig.port.handleValid());
    EXPECT_GE(took, row.atLeastMs) << row.what;
    // A wait of seconds that let no timer run would have frozen the windows.
    EXPECT_GE(ticks, static_cast<int>(took / 50) / 2) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Rows, Rfc2217ServerFaults,
                         testing::Values(ServerFaultRow{"refuses port control",
                                                        {NetworkPeer::Kind::Rfc2217, {}, true, false, 0},
                                                        "refused RFC 2217 port control",
                                                        0},
                                         ServerFaultRow{"a raw port taken for telnet: says nothing",
                                                        {NetworkPeer::Kind::Rfc2217, {}, false, true, 0},
                                                        "did not answer the telnet negotiation within 3 s",
                                                        2900},
                                         ServerFaultRow{"sets another baud rate",
                                                        {NetworkPeer::Kind::Rfc2217, {}, false, false, 4800},
                                                        "set the baud rate to 4800 instead of 9600",
                                                        0}));

#ifdef Q_OS_UNIX
// A listening socket whose queue is full and that never accepts: the kernel drops further
// handshakes, so a connection attempt hangs as one to a switched-off server does.
class FullListenQueue {
public:
    FullListenQueue()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd_, 0);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        // Not blocking: a filler the queue has no room for would itself hang for minutes.
        for (int &f : fillers_) {
            f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(f, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
    }
    ~FullListenQueue()
    {
        for (const int f : fillers_)
            ::close(f);
        ::close(fd_);
    }
    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    int fillers_[3] = {-1, -1, -1};
    quint16 port_ = 0;
};

TEST_F(WithApplication, AServerThatNeverAnswersTheConnectionTimesOutWhileTheEventLoopRuns)
{
    FullListenQueue queue;
    NetworkRig rig;
    rig.name = QStringLiteral("tcp://127.0.0.1:%1").arg(queue.port());
    rig.timeoutMs = 600;
    int ticks = 0;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&ticks] { ++ticks; });
    painter.start(20);
    QElapsedTimer clock;
    clock.start();
    const Done opened = link::OpenPort(rig.port);
    EXPECT_GE(clock.elapsed(), 590);
    ASSERT_FALSE(opened.ok());
    EXPECT_TRUE(opened.problem().why.contains("no connection to 127.0.0.1 port"))
        << qova::test::Said(opened).toStdString();
    EXPECT_GE(ticks, 10);
}
#endif

TEST_F(WithApplication, TheLiveSessionReconnectsToAServerThatDroppedIt)
{
    NetworkPeer peer({NetworkPeer::Kind::Rfc2217, {{link::kPollCommand, liveFrame()}}});
    NetworkRig rig;
    rig.name = nameFor(NetworkPeer::Kind::Rfc2217, peer.port());
    link::LiveSession session(rig.port);
    int valid = 0;
    QObject::connect(&session, &link::LiveSession::validFrame, [&valid] { ++valid; });
    ASSERT_TRUE(qova::test::Ok(session.start({})));
    rig.pause.sleepMs(100);
    session.cycle();
    EXPECT_EQ(valid, 1);
    peer.dropClients();
    // Whether a cycle reads an answer that came before the drop depends on timing; within
    // three cycles the session has found the connection gone and connected again.
    for (int i = 0; i < 3 && peer.connections() < 2; ++i) {
        rig.pause.sleepMs(100);
        session.cycle();
    }
    ASSERT_EQ(peer.connections(), 2);
    EXPECT_TRUE(rig.port.handleValid());
    // The reconnecting cycle polled; the next one reads the answer.
    const int before = valid;
    rig.pause.sleepMs(100);
    session.cycle();
    EXPECT_EQ(valid, before + 1);
    session.stop();
}

} // namespace

namespace {

struct CaptionRow {
    const char *device;
    const char *caption;
};

class DeviceCaptions : public testing::TestWithParam<CaptionRow> {};

TEST_P(DeviceCaptions, NameTheChoiceShortly)
{
    link::VirtualPause pause;
    link::PortState port([](int) { return std::unique_ptr<link::ByteDevice>(); }, pause);
    port.PortNumber = 3;
    port.PortDevice = QString::fromUtf8(GetParam().device);
    port.namedFactory = [](const QString &) { return std::unique_ptr<link::ByteDevice>(); };
    EXPECT_EQ(link::PortCaptionName(port), QString::fromUtf8(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(Rows, DeviceCaptions,
                         testing::Values(CaptionRow{"", "COM3"}, CaptionRow{"/dev/ttyUSB0", "ttyUSB0"},
                                         CaptionRow{"/dev/pts/4", "pts/4"}, CaptionRow{"COM7", "COM7"},
                                         CaptionRow{"tcp://bay3:4001", "bay3:4001"},
                                         CaptionRow{"rfc2217://[fe80::1]:2217", "[fe80::1]:2217"},
                                         CaptionRow{"demo", "demo"}));

TEST(DeviceCaptions, AChoiceWithoutTheProgramsDevicesIsNotUsed)
{
    link::VirtualPause pause;
    link::PortState port([](int) { return std::unique_ptr<link::ByteDevice>(); }, pause);
    port.PortNumber = 2;
    port.PortDevice = QStringLiteral("demo");
    EXPECT_EQ(link::PortCaptionName(port), QStringLiteral("COM2"));
}

struct DescribeRow {
    link::SerialPortDescription port;
    const char *text;
};

class DescribePorts : public testing::TestWithParam<DescribeRow> {};

TEST_P(DescribePorts, SayWhatTheSystemKnows)
{
    EXPECT_EQ(link::DescribePort(GetParam().port), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DescribePorts,
    testing::Values(DescribeRow{{"ttyS0", "/dev/ttyS0", "", "", "", std::nullopt, std::nullopt, ""}, "ttyS0"},
                    DescribeRow{{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, ""},
                                "ttyUSB0  FT232R USB UART, FTDI, USB 0403:6001, serial A50285BI"},
                    DescribeRow{{"ttyACM0", "/dev/ttyACM0", "", "Prolific", "", 0x067b, std::nullopt, ""},
                                "ttyACM0  Prolific"},
                    DescribeRow{{"COM7", "COM7", "USB Serial Port", "USB Serial Port", "", 0x1a86, 0x7523, ""},
                                "COM7  USB Serial Port, USB 1a86:7523"}));

} // namespace

namespace {

class SilentServer : public WithApplication {};

TEST_F(SilentServer, IsASilentAnalyserTheConnectionStays)
{
    NetworkPeer peer({NetworkPeer::Kind::Raw, {}, false, true, 0});
    NetworkRig rig;
    rig.name = nameFor(NetworkPeer::Kind::Raw, peer.port());
    link::LiveSession session(rig.port);
    int invalid = 0;
    QObject::connect(&session, &link::LiveSession::invalidFrame, [&invalid] { ++invalid; });
    ASSERT_TRUE(qova::test::Ok(session.start({})));
    for (int i = 0; i < 3; ++i) {
        rig.pause.sleepMs(50);
        session.cycle();
    }
    EXPECT_EQ(invalid, 3);
    EXPECT_TRUE(rig.port.handleValid()) << "a quiet server is no dropped connection";
    EXPECT_EQ(peer.connections(), 1);
    session.stop();
}

} // namespace
