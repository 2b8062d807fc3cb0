#include "link/frame.h"
#include "link/livereading.h"
#include "link/networkdevice.h"
#include "link/qserialdevice.h"
#include "link/serialport.h"
#include "obd/elmsession.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <ctime>
#include <memory>

using namespace qova;

namespace {
// The simulator program, started and stopped with the test.
class SimProcess {
public:
    explicit SimProcess(QStringList arguments)
    {
        process_.setProgram(QStringLiteral(QOVA_ANALYSER_SIM));
        process_.setArguments(arguments << QStringLiteral("--quiet"));
        process_.start();
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        // With the car's OBD adapter, where it is served comes on the second line.
        if (arguments.contains(QStringLiteral("--obd"))) {
            if (!process_.canReadLine())
                process_.waitForReadyRead(5000);
            obdAddress_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        }
    }
    QString obdAddress() const { return obdAddress_; }
    ~SimProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000))
                process_.kill();
        }
    }
    QString path() const { return path_; }
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QString path_;
    QString obdAddress_;
};

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}
} // namespace

class AnalyserSimTest : public QObject {
    Q_OBJECT

private:
    link::ThreadPause pause_;
    QString devicePath_;
    link::PortState port_{[this](int) { return std::make_unique<link::QSerialDevice>(devicePath_); }, pause_};
    int failed_ = 0;

    // Opens the port on the simulator's terminal, as a live window does.
    bool openOn(const SimProcess &sim)
    {
        devicePath_ = sim.path();
        const Done opened = link::OpenPort(port_);
        openProblem_ = opened.ok() ? QString() : opened.problem().text();
        return opened.ok() && port_.PortOpen;
    }
    QString openProblem_; // of the last openOn

    bool pollOnce(link::LiveReading &r)
    {
        link::RequestReading(port_);
        pause_.sleepMs(100);
        return link::ReadLiveFrame(port_, r, failed_);
    }

    // The port on a simulator that pulls itself out a second after it starts, polled once
    // before that, then the simulator gone.
    void pollUntilUnplugged(SimProcess &sim)
    {
        QVERIFY(!sim.path().isEmpty());
        QVERIFY2(openOn(sim), qPrintable(openProblem_));
        link::LiveReading r;
        QVERIFY(pollOnce(r));
        QVERIFY(sim.process().waitForFinished(3000));
    }

private slots:
    void init()
    {
        link::ClosePort(port_);
        port_.PortHandle.reset();
    }

    void pollOverThePseudoTerminal()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("received.log"));
        SimProcess sim({QStringLiteral("--log"), log, QStringLiteral("--seed"), QStringLiteral("3")});
        QVERIFY2(sim.path().startsWith(QStringLiteral("/dev/")), qPrintable(sim.path()));
        QVERIFY2(openOn(sim), qPrintable(openProblem_));
        QVERIFY(port_.handleValid());

        link::LiveReading r;
        for (int i = 0; i < 3; ++i)
            QVERIFY2(pollOnce(r), qPrintable(QStringLiteral("cycle %1").arg(i)));
        QVERIFY(r.StatusA & link::PowerUpCountdown);
        QCOMPARE(r.FuelCode, std::uint8_t(1));

        // A command frame goes through and is acknowledged.
        const std::vector<std::uint8_t> values{0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03};
        QVERIFY(link::SendCommandFrame(port_, 0x99, values, 10, 300).ok());

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY(lines.size() >= 3 + 11);
        QVERIFY(lines.first().endsWith(" 0x11"));
        QVERIFY(lines.at(3).endsWith(" 0x99"));
    }

    void unplugClosesTheDeviceAndANewOpenWorks()
    {
        {
            SimProcess sim({QStringLiteral("--unplug-after"), QStringLiteral("1000")});
            pollUntilUnplugged(sim);
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
            link::LiveReading r;
            QVERIFY(!pollOnce(r));
            QVERIFY(!port_.PortHandle->isOpen());
            QVERIFY(!port_.PortHandle->errorString().isEmpty());

            // No byte and no spinning: reads return at once, and the event loop idles.
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 200; ++i)
                link::ReadByte(port_);
            QCOMPARE(port_.BytesRead, 0u);
            // A read that waited for its byte would take seconds for 200 reads; the bound leaves
            // room for a busy machine.
            QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
            const double cpuBefore = cpuMs();
            QTest::qWait(300);
            QVERIFY2(cpuMs() - cpuBefore < 50, qPrintable(QString::number(cpuMs() - cpuBefore)));
        }

        SimProcess again({});
        QVERIFY(!again.path().isEmpty());
        QVERIFY2(openOn(again), qPrintable(openProblem_));
        link::LiveReading r;
        QVERIFY(pollOnce(r));
    }

    // The adapter goes while the program only waits in its event loop, between
    // exchanges or behind a prompt: the port must not keep the loop spinning.
    void unplugBetweenExchangesDoesNotSpin()
    {
        SimProcess sim({QStringLiteral("--unplug-after"), QStringLiteral("1000")});
        pollUntilUnplugged(sim);
        if (QTest::currentTestFailed())
            return;

        const double cpuBefore = cpuMs();
        QTest::qWait(300);
        const double spent = cpuMs() - cpuBefore;
        QVERIFY2(spent < 50, qPrintable(QStringLiteral("%1 ms of CPU in 300 ms").arg(spent)));
        QVERIFY(!port_.PortHandle->isOpen());
    }

    // The adapter goes in the middle of a command frame: the frame is not acknowledged,
    // and the bytes up to the one named reached the log.
    void unplugOnAByteEndsTheExchange()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("received.log"));
        SimProcess sim({QStringLiteral("--log"), log, QStringLiteral("--unplug-on"), QStringLiteral("0x5E:2")});
        QVERIFY(!sim.path().isEmpty());
        QVERIFY2(openOn(sim), qPrintable(openProblem_));
        const std::vector<std::uint8_t> values{0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03};
        QVERIFY(link::SendCommandFrame(port_, 0x99, values, 10, 300).ok()); // the first 0x5E is let by
        QCOMPARE(sim.process().state(), QProcess::Running);
        QVERIFY(!link::SendCommandFrame(port_, 0x99, values, 10, 300).ok());
        QVERIFY(sim.process().waitForFinished(3000));
        QCOMPARE(sim.process().exitCode(), 0);

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 11 + 2);
        QVERIFY(lines.last().endsWith(" 0x5E"));
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("byte too large") << QStringList{QStringLiteral("--unplug-on"), QStringLiteral("0x100")};
        QTest::newRow("count zero") << QStringList{QStringLiteral("--unplug-on"), QStringLiteral("0x44:0")};
        QTest::newRow("not a number") << QStringList{QStringLiteral("--unplug-on"), QStringLiteral("D")};
        QTest::newRow("no count after colon") << QStringList{QStringLiteral("--unplug-on"), QStringLiteral("68:")};
        QTest::newRow("no value") << QStringList{QStringLiteral("--unplug-on")};
        QTest::newRow("unknown fault") << QStringList{QStringLiteral("--fault"), QStringLiteral("smoke")};
        QTest::newRow("unknown OBD car") << QStringList{QStringLiteral("--obd"), QStringLiteral("taxi")};
        QTest::newRow("OBD port out of range") << QStringList{QStringLiteral("--obd"), QStringLiteral("healthy"),
                                                              QStringLiteral("--obd-tcp"), QStringLiteral("70000")};
    }

    void badArgumentsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QProcess p;
        p.start(QStringLiteral(QOVA_ANALYSER_SIM), arguments);
        QVERIFY(p.waitForFinished(3000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no terminal path: nothing was served
    }

    // The car's adapter as a program reaches it: a serial line at the adapter's usual
    // 38400 baud, or a Wi-Fi adapter's TCP port; read by the program's own OBD session.
    void obdSideServed_data()
    {
        QTest::addColumn<QString>("car");
        QTest::addColumn<bool>("overTcp");
        QTest::addColumn<bool>("lamp");
        QTest::addColumn<int>("incomplete");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("lamp on, terminal") << QStringLiteral("lamp-on") << false << true << 0
                                           << QStringList{QStringLiteral("P0133"), QStringLiteral("P0420")};
        QTest::newRow("not ready, TCP") << QStringLiteral("not-ready") << true << false << 3 << QStringList{};
    }

    void obdSideServed()
    {
        QFETCH(QString, car);
        QFETCH(bool, overTcp);
        QFETCH(bool, lamp);
        QFETCH(int, incomplete);
        QFETCH(QStringList, codes);
        QStringList arguments{QStringLiteral("--obd"), car};
        if (overTcp) {
            QTcpServer probe; // a port free on this machine now
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            arguments << QStringLiteral("--obd-tcp") << QString::number(probe.serverPort());
        }
        SimProcess sim(arguments);
        QVERIFY2(overTcp ? sim.obdAddress().startsWith(QStringLiteral("tcp://127.0.0.1:"))
                         : sim.obdAddress().startsWith(QStringLiteral("/dev/")),
                 qPrintable(sim.obdAddress()));
        obd::ElmSession::Options options;
        if (overTcp)
            options.baudRates.clear();
        link::EventLoopPause pause; // the socket needs the event loop
        std::unique_ptr<link::ByteDevice> device;
        if (overTcp)
            device = std::make_unique<link::NetworkDevice>(sim.obdAddress(), pause);
        else
            device = std::make_unique<link::QSerialDevice>(sim.obdAddress());
        obd::ElmSession session(std::move(device), pause, options);
        session.start();
        const auto &r = session.readings();
        for (int i = 0; i < 1000 && !(r.status && r.storedCodes && r.vin && r.engineSpeed); ++i) {
            session.tick();
            pause.sleepMs(10);
        }
        QVERIFY2(r.status && r.storedCodes && r.vin && r.engineSpeed, qPrintable(session.problem()));
        QCOMPARE(r.status->value.lampOn, lamp);
        QCOMPARE(r.status->value.incomplete(), incomplete);
        QCOMPARE(QStringList(r.storedCodes->value.begin(), r.storedCodes->value.end()), codes);
        QVERIFY(r.vin->value.trusted);
        QCOMPARE(session.baudRate(), overTcp ? 0 : 38400);
    }

    void stopsCleanlyOnSignals()
    {
        for (const char *how : {"terminate", "interrupt"}) {
            SimProcess sim({});
            QVERIFY(!sim.path().isEmpty());
            if (QByteArray(how) == "terminate")
                sim.process().terminate();
            else
                ::kill(static_cast<pid_t>(sim.process().processId()), SIGINT);
            QVERIFY(sim.process().waitForFinished(3000));
            QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
            QCOMPARE(sim.process().exitCode(), 0);
            QVERIFY(!QFile::exists(sim.path())); // the terminal went with it
        }
    }
};

QTEST_GUILESS_MAIN(AnalyserSimTest)
#include "tst_analysersim.moc"
