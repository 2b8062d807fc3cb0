// The network devices against the real ser2net, bridging a pseudo-terminal served by
// qova-analyser-sim to 127.0.0.1, as a workshop's serial device server does.
#include "link/livereading.h"
#include "link/livesession.h"
#include "link/networkdevice.h"
#include "link/serialport.h"
#include "tests/link/networkpeer.h"
#include "tests/support/coreapplication.h"
#include "tests/support/okresult.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;

namespace {

bool inCi()
{
    return qgetenv("CI") == "true";
}

// A process this test started, ended at the end of the test.
class Child {
public:
    ~Child() { stop(); }
    QProcess process;
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

class Ser2netBridge {
public:
    // Empty when everything runs; else why not. The readiness probe connects to the port the
    // test uses: ser2net refuses a second port on the same device while it still closes the
    // first.
    QString start(bool raw)
    {
        const QString ser2net = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (ser2net.isEmpty())
            return QStringLiteral("ser2net is not installed (Debian: apt-get install ser2net)");
        if (!dir_.isValid())
            return QStringLiteral("no temporary folder");
        sim_.process.start(QStringLiteral(QOVA_SIM_PATH),
                           {QStringLiteral("--quiet"), QStringLiteral("--seed"), QStringLiteral("7")});
        if (!sim_.process.waitForStarted(5000) || !sim_.process.waitForReadyRead(5000))
            return QStringLiteral("qova-analyser-sim did not start: %1").arg(sim_.process.errorString());
        const QString pty = QString::fromLocal8Bit(sim_.process.readLine()).trimmed();
        if (!pty.startsWith(QLatin1String("/dev/")))
            return QStringLiteral("qova-analyser-sim printed %1 instead of its terminal").arg(pty);
        rawPort = test::UnusedLocalPort();
        rfcPort = test::UnusedLocalPort();
        QFile config(dir_.filePath(QStringLiteral("ser2net.yaml")));
        if (!config.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the ser2net configuration");
        config.write(QStringLiteral("connection: &raw\n"
                                    "  accepter: tcp,127.0.0.1,%1\n"
                                    "  connector: serialdev,%3,9600n81,local\n"
                                    "connection: &rfc2217\n"
                                    "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                    "  connector: serialdev,%3,9600n81,local\n")
                         .arg(rawPort)
                         .arg(rfcPort)
                         .arg(pty)
                         .toUtf8());
        config.close();
        ser2net_ = ser2net;
        probePort_ = raw ? rawPort : rfcPort;
        return startServer();
    }

    // Starts (again) the server alone; the analyser stays.
    QString startServer()
    {
        server_.process.setProcessChannelMode(QProcess::MergedChannels);
        server_.process.start(ser2net_, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                                         dir_.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"),
                                         dir_.filePath(QStringLiteral("ser2net.yaml"))});
        if (!server_.process.waitForStarted(5000))
            return QStringLiteral("ser2net did not start: %1").arg(server_.process.errorString());
        for (int i = 0; i < 100; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), probePort_);
            if (probe.waitForConnected(100))
                return {};
            if (server_.process.state() == QProcess::NotRunning)
                break;
            QThread::msleep(30);
        }
        return QStringLiteral("ser2net took no connection on 127.0.0.1 port %1: %2")
            .arg(probePort_)
            .arg(QString::fromLocal8Bit(server_.process.readAll()));
    }
    void stopServer() { server_.stop(); }

    quint16 rawPort = 0, rfcPort = 0;

private:
    QTemporaryDir dir_;
    QString ser2net_;
    quint16 probePort_ = 0;
    Child sim_, server_;
};

class RealSer2net : public testing::TestWithParam<link::NetworkKind> {
protected:
    static void SetUpTestSuite() { test::CoreApplication("ser2net_test"); }
    void SetUp() override
    {
        const bool raw = GetParam() == link::NetworkKind::Raw;
        const QString why = bridge.start(raw);
        if (!why.isEmpty()) {
            if (inCi())
                FAIL() << "cannot run the real ser2net: " << why.toStdString();
            GTEST_SKIP() << why.toStdString();
        }
        name =
            QStringLiteral("%1://127.0.0.1:%2").arg(raw ? "tcp" : "rfc2217").arg(raw ? bridge.rawPort : bridge.rfcPort);
    }

    Ser2netBridge bridge;
    QString name;
    link::EventLoopPause pause;
    link::PortState port{[this](int) { return std::make_unique<link::NetworkDevice>(name, pause); }, pause};
};

TEST_P(RealSer2net, PollsAndSurvivesTheServerStoppedAndStartedAgain)
{
    link::LiveSession session(port);
    int valid = 0;
    QObject::connect(&session, &link::LiveSession::validFrame, [&valid] { ++valid; });
    ASSERT_TRUE(qova::test::Ok(session.start({})));
    for (int i = 0; i < 3; ++i) {
        pause.sleepMs(300);
        session.cycle();
    }
    EXPECT_EQ(valid, 3) << "valid frames through ser2net";

    bridge.stopServer();
    for (int i = 0; i < 2; ++i) {
        pause.sleepMs(300);
        session.cycle();
    }
    EXPECT_FALSE(port.handleValid());
    {
        // The cycles' quiet reopen keeps its reason to itself; an open now says it.
        const QString said = qova::test::Said(link::OpenPort(port));
        EXPECT_TRUE(said.contains("refused", Qt::CaseInsensitive) || said.contains("closed the connection"))
            << said.toStdString();
    }
    const int whileDown = valid;

    ASSERT_EQ(bridge.startServer(), QString());
    for (int i = 0; i < 4; ++i) {
        pause.sleepMs(300);
        session.cycle();
    }
    EXPECT_TRUE(port.handleValid());
    // The reconnecting cycle only polls; the ones after it read frames.
    EXPECT_GE(valid - whileDown, 2) << "polling did not resume";
    session.stop();
}

INSTANTIATE_TEST_SUITE_P(Kinds, RealSer2net, testing::Values(link::NetworkKind::Raw, link::NetworkKind::Rfc2217),
                         [](const auto &info) { return info.param == link::NetworkKind::Raw ? "Raw" : "Rfc2217"; });

} // namespace
