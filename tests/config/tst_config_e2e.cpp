// The three configuration exchanges over a pseudo-terminal, against the simulated
// analyser program, through the real serial port code and the program's event-loop waits.

#include "config/configframes.h"
#include "config/ui/calibrationdialog.h"
#include "config/ui/headerdialog.h"
#include "config/ui/setupdialog.h"
#include "link/frame.h"
#include "link/qserialdevice.h"
#include "tests/support/scriptedoperator.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <span>

using namespace qova;

class TestConfigEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void threeExchangesAgainstTheSimulatedAnalyser();
    void cleanupTestCase();

private:
    QTemporaryDir dir_;
    QProcess sim_;
    QString terminal_;
};

void TestConfigEndToEnd::initTestCase()
{
    QVERIFY(dir_.isValid());
    sim_.setProgram(QStringLiteral(QOVA_ANALYSER_SIM));
    sim_.setArguments({QStringLiteral("--quiet"), QStringLiteral("--log"), dir_.filePath(QStringLiteral("sim.log"))});
    sim_.start();
    QVERIFY2(sim_.waitForStarted(5000), qPrintable(sim_.errorString()));
    QElapsedTimer t;
    t.start();
    while (!sim_.canReadLine() && t.elapsed() < 5000)
        sim_.waitForReadyRead(100);
    if (!sim_.canReadLine())
        QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + QString::fromLocal8Bit(sim_.readAllStandardError())));
    terminal_ = QString::fromLocal8Bit(sim_.readLine()).trimmed();
}

void TestConfigEndToEnd::threeExchangesAgainstTheSimulatedAnalyser()
{
    link::EventLoopPause pause;
    test::ScriptedOperator op;
    const QString terminal = terminal_;
    ui::SharedState state([terminal](int) { return std::make_unique<link::QSerialDevice>(terminal); }, pause, op);
    state.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(4, 16, 37)); };

    // The digital display holds the port open for setup and calibration.
    const Done opened = link::OpenPort(state.port);
    QVERIFY2(opened.ok() && state.port.PortOpen, qPrintable(opened.ok() ? QString() : opened.problem().text()));

    config::TSETUP setup(state);
    setup.show();
    setup.RadioButton2->click();  // CNG
    setup.RadioButton8->click();  // 4 PAGE
    setup.RadioButton13->click(); // F
    setup.ComboBox1->setCurrentIndex(3);
    QElapsedTimer t;
    t.start();
    setup.Button1->click();
    const qint64 setupMs = t.elapsed();
    QCOMPARE(op.texts(), QStringList());
    QCOMPARE(setup.result(), int(QDialog::Accepted));
    qInfo("setup send: %lld ms (fixed waits: %d ms)", setupMs, config::kSetupPreWaitMs + config::kSetupAnswerWaitMs);
    QVERIFY(setupMs >= config::kSetupPreWaitMs);
    QVERIFY(setupMs < config::kSetupPreWaitMs + config::kSetupAnswerWaitMs);

    config::TForm10 calibration(state);
    calibration.show();
    calibration.Edit1->setText(QStringLiteral("350"));
    calibration.Edit2->setText(QStringLiteral("1380"));
    calibration.Edit3->setText(QStringLiteral("2200"));
    calibration.Edit4->setText(QStringLiteral("1000"));
    t.restart();
    calibration.Button1->click();
    const qint64 calibrationMs = t.elapsed();
    QCOMPARE(op.texts(), QStringList());
    QCOMPARE(calibration.result(), int(QDialog::Accepted));
    qInfo("calibration send: %lld ms (fixed waits: %d ms)", calibrationMs,
          config::kCalibrationPreWaitMs + config::kCalibrationAnswerWaitMs);

    // The header dialog opens the port afresh, replacing the display's handle.
    config::TForm6 header(state);
    header.show();
    header.Edit1->setText(QStringLiteral("QOVA MOTORS"));
    header.Edit2->setText(QString::fromUtf8("T\u00E9l 0123 \u20AC"));
    t.restart();
    header.Button1->click();
    const qint64 headerMs = t.elapsed();
    QCOMPARE(op.texts(), QStringList());
    QCOMPARE(header.result(), int(QDialog::Accepted));
    QVERIFY(state.port.PortOpen);
    qInfo("header send: %lld ms (fixed waits: %d ms)", headerMs,
          config::kHeaderPreWaitMs + config::kHeaderAnswerWaitMs);

    // What the analyser received, byte for byte.
    link::ClosePort(state.port);
    sim_.terminate();
    QVERIFY(sim_.waitForFinished(5000));
    QFile log(dir_.filePath(QStringLiteral("sim.log")));
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    std::vector<std::uint8_t> received;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            received.push_back(static_cast<std::uint8_t>(parts[1].toUInt(nullptr, 16)));
    }
    std::vector<std::uint8_t> expected = {0x77, 0x96, 0x03, 0x37, 0x16, 0x04, 0x08, 0x12, 0x1A};
    const std::uint16_t setupCheck = link::FrameChecksum(std::span(expected).subspan(1));
    expected.push_back(static_cast<std::uint8_t>(setupCheck & 0xFF));
    expected.push_back(static_cast<std::uint8_t>(setupCheck >> 8));
    for (std::uint8_t b : {0x99, 0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03, 0xAD, 0xFD})
        expected.push_back(b);
    const QByteArray lines = QByteArray("QOVA MOTORS         ") + QByteArray("T\xE9l 0123 \x80          ");
    expected.push_back(0xDD);
    expected.insert(expected.end(), lines.begin(), lines.end());
    const std::uint16_t headerCheck = link::FrameChecksum(std::span(expected).last(40));
    expected.push_back(static_cast<std::uint8_t>(headerCheck & 0xFF));
    expected.push_back(static_cast<std::uint8_t>(headerCheck >> 8));
    QCOMPARE(received, expected);
}

void TestConfigEndToEnd::cleanupTestCase()
{
    if (sim_.state() != QProcess::NotRunning) {
        sim_.terminate();
        if (!sim_.waitForFinished(3000))
            sim_.kill();
    }
}

QTEST_MAIN(TestConfigEndToEnd)
#include "tst_config_e2e.moc"
