#include "link/livereading.h"
#include "link/qserialdevice.h"
#include "link/serialport.h"

#include <QProcess>
#include <QtTest>
#include <memory>

using namespace qova;

class VehicleOptionTest : public QObject {
    Q_OBJECT

private slots:
    // The oil temperature of the first frame tells the cars apart before any prompt.
    void vehicleNamesTheCarAtTheProbe_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("oilMin");
        QTest::addColumn<int>("oilMax");
        QTest::newRow("default engine") << QStringList{} << 170 << 190;
        QTest::newRow("good-catalyst") << QStringList{QStringLiteral("--vehicle"), QStringLiteral("good-catalyst")}
                                       << 790 << 810;
        QTest::newRow("cold-engine") << QStringList{QStringLiteral("--vehicle"), QStringLiteral("cold-engine")} << 190
                                     << 210;
        QTest::newRow("no-oil-probe") << QStringList{QStringLiteral("--vehicle"), QStringLiteral("no-oil-probe")} << 0
                                      << 0;
    }
    void vehicleNamesTheCarAtTheProbe()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, oilMin);
        QFETCH(int, oilMax);
        QProcess sim;
        sim.start(QStringLiteral(QOVA_ANALYSER_SIM), arguments << QStringLiteral("--quiet"));
        QVERIFY(sim.waitForStarted(5000) && sim.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        {
            link::ThreadPause pause;
            link::PortState port{[&](int) { return std::make_unique<link::QSerialDevice>(path); }, pause};
            QVERIFY(link::OpenPort(port).ok());
            QVERIFY(port.PortOpen);
            link::LiveReading r;
            int failed = 0;
            link::RequestReading(port);
            pause.sleepMs(150);
            QVERIFY(link::ReadLiveFrame(port, r, failed));
            QVERIFY2(r.OilTemp >= oilMin && r.OilTemp <= oilMax, qPrintable(QString::number(r.OilTemp)));
            link::ClosePort(port);
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
    }

    void unknownVehicleIsRefused()
    {
        QProcess p;
        p.start(QStringLiteral(QOVA_ANALYSER_SIM), {QStringLiteral("--vehicle"), QStringLiteral("tractor")});
        QVERIFY(p.waitForFinished(3000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(p.readAllStandardError().contains("vehicles: good-catalyst"));
    }
};

QTEST_GUILESS_MAIN(VehicleOptionTest)
#include "tst_vehicleoption.moc"
