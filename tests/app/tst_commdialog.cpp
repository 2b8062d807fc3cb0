// The COMM dialog's connections beyond COM1 to COM4: the system's serial ports (here a
// pseudo-terminal the test opens), a network serial server and the built-in demo analyser.
#include "app/devices.h"
#include "app/obdconnection.h"
#include "app/settingsfile.h"
#include "app/ui/commdialog.h"
#include "app/ui/mainwindow.h"
#include "link/livereading.h"
#include "link/serialport.h"
#include "tests/support/pseudoterminal.h"
#include "tests/support/scriptedoperator.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace qova;

namespace {

struct Rig {
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state{{}, pause, op};
    QTemporaryDir dir;
    QString portFile = dir.filePath(QStringLiteral("SETUP.EA2"));
    QString ini = dir.filePath(QStringLiteral("gas.ini"));
    app::TForm1 form1{state};
    std::vector<link::SerialPortDescription> ports;
    int listings = 0;
    app::TForm4 form4{state,
                      portFile,
                      &form1,
                      nullptr,
                      [this] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); },
                      [this] {
                          ++listings;
                          return ports;
                      }};

    Rig()
    {
        app::UseProgramDevices(state.port, pause);
        QFile f(portFile);
        f.open(QIODevice::WriteOnly);
        f.write("PORT=3");
        f.close();
        form1.FormCreate(false, portFile);
    }
    QByteArray fileBytes() const
    {
        QFile f(portFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    QString kept() const
    {
        QSettings s(ini, QSettings::IniFormat);
        return s.value(QLatin1String(app::kDeviceChoiceKey)).toString();
    }
};

link::SerialPortDescription usbAdapter(const QString &name, const QString &serial)
{
    return {name,
            QStringLiteral("/dev/") + name,
            QStringLiteral("FT232R USB UART"),
            QStringLiteral("FTDI"),
            serial,
            0x0403,
            0x6001,
            QStringLiteral("1-1.2")};
}

} // namespace

class TestCommDialog : public QObject {
    Q_OBJECT
private slots:
    void keepsTheChoiceAndNamesIt_data();
    void keepsTheChoiceAndNamesIt();
    void aPseudoTerminalChosenFromTheListIsOpened();
    void theDemoAnalyserAnswersAPoll();
    void testSaysWhatAnsweredAndKeepsNothing_data();
    void testSaysWhatAnsweredAndKeepsNothing();
    void listsAfreshOnOpeningAndOnRefresh();
    void comnAgainForgetsTheConnection();
    void aNetworkChoiceWithoutAHostIsRefused();
    void theNextStartUsesTheKeptConnection();
    void obdAdapterChosenKeptAndUsed_data();
    void obdAdapterChosenKeptAndUsed();
    void obdTestTalksToTheDemoCar();
};

void TestCommDialog::keepsTheChoiceAndNamesIt_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("serverPort");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("caption");
    QTest::newRow("usb adapter") << "serial"
                                 << "" << 0 << 0 << "/dev/ttyUSB1"
                                 << "QOVA  ttyUSB1";
    QTest::newRow("raw tcp") << "network"
                             << "bay3" << 4001 << 0 << "tcp://bay3:4001"
                             << "QOVA  bay3:4001";
    QTest::newRow("rfc 2217") << "network"
                              << " 10.1.2.3 " << 2217 << 1 << "rfc2217://10.1.2.3:2217"
                              << "QOVA  10.1.2.3:2217";
    QTest::newRow("demo") << "demo"
                          << "" << 0 << 0 << "demo"
                          << "QOVA  demo";
    QTest::newRow("demo car") << "demo"
                              << "Failed catalyst" << 0 << 0 << "demo:failed-catalyst"
                              << "QOVA  demo:failed-catalyst";
}

void TestCommDialog::keepsTheChoiceAndNamesIt()
{
    QFETCH(QString, choice);
    QFETCH(QString, host);
    QFETCH(int, serverPort);
    QFETCH(int, kind);
    QFETCH(QString, device);
    QFETCH(QString, caption);
    Rig rig;
    rig.ports = {usbAdapter(QStringLiteral("ttyUSB0"), QStringLiteral("A1")),
                 usbAdapter(QStringLiteral("ttyUSB1"), QStringLiteral("B2"))};
    rig.form4.Prepare();
    rig.form4.show();
    QVERIFY(rig.form4.RadioButton3->isChecked());
    if (choice == QLatin1String("serial")) {
        rig.form4.DetectedPorts->setCurrentIndex(1);
        rig.form4.SerialPortChoice->click();
    } else if (choice == QLatin1String("network")) {
        rig.form4.NetworkChoice->click();
        rig.form4.NetworkHost->setText(host);
        rig.form4.NetworkPort->setValue(serverPort);
        rig.form4.NetworkKind->setCurrentIndex(kind);
    } else {
        if (!host.isEmpty()) {
            const int car = rig.form4.DemoCar->findText(host, Qt::MatchStartsWith);
            QVERIFY(car > 0);
            rig.form4.DemoCar->setCurrentIndex(car);
        }
        rig.form4.DemoChoice->click();
    }
    QVERIFY(!rig.form4.RadioButton3->isChecked());
    rig.form4.Button1->click();

    QVERIFY(!rig.form4.isVisible());
    QVERIFY(rig.op.shown.empty());
    QCOMPARE(rig.state.port.PortDevice, device);
    QCOMPARE(rig.kept(), device);
    QCOMPARE(rig.form1.windowTitle(), caption);
    // SETUP.EA2 still names COM3, and the port number stays with it.
    QCOMPARE(rig.fileBytes(), QByteArray("PORT=3"));
    QCOMPARE(rig.state.port.PortNumber, 3);
    QCOMPARE(link::PortCaptionName(rig.state.port), caption.mid(6));

    // Shown again, the dialog has the choice selected.
    rig.form4.Prepare();
    QCOMPARE(rig.form4.SelectedDevice(), device);
}

void TestCommDialog::aPseudoTerminalChosenFromTheListIsOpened()
{
    test::PseudoTerminal pty;
    QVERIFY2(!pty.name().isEmpty(), "no pseudo-terminal");
    Rig rig;
    link::SerialPortDescription d;
    d.name = pty.name().mid(5);
    d.location = pty.name();
    rig.ports = {d};
    rig.form4.Prepare();
    QCOMPARE(rig.form4.DetectedPorts->count(), 1);
    QCOMPARE(rig.form4.DetectedPorts->itemText(0), d.name);
    rig.form4.SerialPortChoice->click();
    rig.form4.Button1->click();
    QCOMPARE(rig.form1.windowTitle(), QStringLiteral("QOVA  ") + d.name);

    const Done opened = link::OpenPort(rig.state.port);
    QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.problem().text()));
    QCOMPARE(rig.state.port.PortHandle->deviceName(), pty.name());
    link::WriteByte(rig.state.port, link::kPollCommand);
    QCOMPARE(pty.received(2000), QByteArray(1, static_cast<char>(link::kPollCommand)));
    link::ClosePort(rig.state.port);
}

void TestCommDialog::theDemoAnalyserAnswersAPoll()
{
    Rig rig;
    rig.form4.Prepare();
    rig.form4.DemoChoice->click();
    rig.form4.Button1->click();
    QVERIFY(link::OpenPort(rig.state.port).ok());
    QCOMPARE(rig.state.port.PortHandle->deviceName(), QStringLiteral("demo"));
    link::WriteByte(rig.state.port, link::kPollCommand);
    rig.pause.sleepMs(500);
    link::LiveReading reading;
    int failed = 0;
    QVERIFY(link::ReadLiveFrame(rig.state.port, reading, failed));
    QCOMPARE(failed, 0);
}

void TestCommDialog::testSaysWhatAnsweredAndKeepsNothing_data()
{
    QTest::addColumn<QString>("choice"); // COMn, or the button of another connection
    QTest::addColumn<QString>("comDevice");
    QTest::addColumn<QString>("inUse");
    QTest::addColumn<QString>("result");
    QTest::newRow("demo") << "demo"
                          << ""
                          << "Connection: demo: the simulated analyser"
                          << "The analyser answered on demo";
    QTest::newRow("demo car") << "demo:good-catalyst"
                              << ""
                              << "Connection: demo: good-catalyst"
                              << "The analyser answered on demo:good-catalyst";
    QTest::newRow("environment names a missing device") << "COM2"
                                                        << "/dev/ttyQOVA-absent"
                                                        << "Connection: COM2 = ttyQOVA-absent (QOVA_COM2)"
                                                        << "/dev/ttyQOVA-absent could not be opened";
    QTest::newRow("silent terminal") << "COM4"
                                     << "pty"
                                     << "(QOVA_COM4)"
                                     << "nothing answered the poll";
    QTest::newRow("network without a host") << "network"
                                            << ""
                                            << "Connection: none chosen"
                                            << "needs a host name";
}

void TestCommDialog::testSaysWhatAnsweredAndKeepsNothing()
{
    QFETCH(QString, choice);
    QFETCH(QString, comDevice);
    QFETCH(QString, inUse);
    QFETCH(QString, result);
    test::PseudoTerminal pty;
    const QByteArray variable = "QOVA_" + choice.toLatin1();
    if (!comDevice.isEmpty())
        qputenv(variable.constData(), (comDevice == QLatin1String("pty") ? pty.name() : comDevice).toLocal8Bit());
    Rig rig;
    rig.form4.Prepare();
    if (choice.startsWith(QLatin1String("demo"))) {
        rig.form4.DemoCar->setCurrentIndex(rig.form4.DemoCar->findData(choice));
        rig.form4.DemoChoice->click();
    } else if (choice == QLatin1String("network"))
        rig.form4.NetworkChoice->click();
    else
        rig.form4.findChild<QRadioButton *>(QStringLiteral("RadioButton") + choice.back())->click();
    QVERIFY2(rig.form4.InUse->text().contains(inUse), qPrintable(rig.form4.InUse->text()));

    rig.form4.TestButton->click();
    if (!comDevice.isEmpty())
        qunsetenv(variable.constData());

    QVERIFY2(rig.form4.TestResult->text().contains(result), qPrintable(rig.form4.TestResult->text()));
    QVERIFY(rig.form4.TestButton->isEnabled());
    // Testing keeps nothing: the port, the file and the settings are as they were.
    QCOMPARE(rig.state.port.PortNumber, 3);
    QVERIFY(rig.state.port.PortDevice.isEmpty());
    QVERIFY(!rig.state.port.PortOpen);
    QCOMPARE(rig.fileBytes(), QByteArray("PORT=3"));
    QCOMPARE(rig.kept(), QString());
    QVERIFY(rig.op.shown.empty());
}

void TestCommDialog::listsAfreshOnOpeningAndOnRefresh()
{
    Rig rig;
    rig.ports = {usbAdapter(QStringLiteral("ttyUSB0"), QStringLiteral("A50285BI"))};
    rig.form4.Prepare();
    QCOMPARE(rig.listings, 1);
    QCOMPARE(rig.form4.DetectedPorts->itemText(0),
             QStringLiteral("ttyUSB0  FT232R USB UART, FTDI, USB 0403:6001, serial A50285BI"));
    QCOMPARE(rig.form4.DetectedPorts->itemData(0).toString(), QStringLiteral("/dev/ttyUSB0"));

    // Plugged in while the dialog is open: Refresh finds it and keeps the one selected.
    rig.ports.insert(rig.ports.begin(), usbAdapter(QStringLiteral("ttyACM0"), QString()));
    rig.form4.RefreshButton->click();
    QCOMPARE(rig.listings, 2);
    QCOMPARE(rig.form4.DetectedPorts->count(), 2);
    QCOMPARE(rig.form4.DetectedPorts->itemText(0), QStringLiteral("ttyACM0  FT232R USB UART, FTDI, USB 0403:6001"));
    QCOMPARE(rig.form4.DetectedPorts->currentData().toString(), QStringLiteral("/dev/ttyUSB0"));

    // The kept port is unplugged: it is still shown, and still the choice.
    rig.form4.SerialPortChoice->click();
    rig.form4.Button1->click();
    rig.ports.clear();
    rig.form4.Prepare();
    QCOMPARE(rig.form4.DetectedPorts->count(), 1);
    QCOMPARE(rig.form4.DetectedPorts->itemText(0), QStringLiteral("ttyUSB0  (not found now)"));
    QCOMPARE(rig.form4.SelectedDevice(), QStringLiteral("/dev/ttyUSB0"));
}

void TestCommDialog::comnAgainForgetsTheConnection()
{
    Rig rig;
    rig.form4.Prepare();
    rig.form4.DemoChoice->click();
    rig.form4.Button1->click();
    QCOMPARE(rig.kept(), QStringLiteral("demo"));

    rig.form4.Prepare();
    QVERIFY(rig.form4.DemoChoice->isChecked());
    rig.form4.RadioButton2->click();
    rig.form4.Button1->click();
    QCOMPARE(rig.fileBytes(), QByteArray("PORT=2"));
    QCOMPARE(rig.state.port.PortNumber, 2);
    QVERIFY(rig.state.port.PortDevice.isEmpty());
    QVERIFY(rig.kept().isEmpty());
    QCOMPARE(rig.form1.windowTitle(), QStringLiteral("QOVA  COM2"));
}

void TestCommDialog::aNetworkChoiceWithoutAHostIsRefused()
{
    Rig rig;
    rig.form4.Prepare();
    rig.form4.show();
    rig.form4.NetworkChoice->click();
    rig.form4.NetworkHost->setText(QStringLiteral("  "));
    rig.op.answers.push_back(ui::Answer::Ok);
    rig.form4.Button1->click();
    QCOMPARE(rig.op.shown.size(), std::size_t{1});
    QVERIFY(rig.op.shown[0].text.contains(QLatin1String("needs a host name")));
    QVERIFY(rig.form4.isVisible());
    QVERIFY(rig.state.port.PortDevice.isEmpty());
    QVERIFY(rig.kept().isEmpty());
    QCOMPARE(rig.form1.windowTitle(), QStringLiteral("QOVA    COM3"));
}

void TestCommDialog::theNextStartUsesTheKeptConnection()
{
    Rig rig;
    {
        QSettings s(rig.ini, QSettings::IniFormat);
        s.setValue(QLatin1String(app::kDeviceChoiceKey), QStringLiteral("rfc2217://bay3:4001"));
    }
    QSettings s(rig.ini, QSettings::IniFormat);
    rig.form1.FormCreate(false, rig.portFile, app::ReadDeviceChoice(s));
    QCOMPARE(rig.form1.windowTitle(), QStringLiteral("QOVA    bay3:4001"));
    QCOMPARE(rig.state.port.PortNumber, 3);
    rig.form4.Prepare();
    QVERIFY(rig.form4.NetworkChoice->isChecked());
    QCOMPARE(rig.form4.NetworkHost->text(), QStringLiteral("bay3"));
    QCOMPARE(rig.form4.NetworkPort->value(), 4001);
    QCOMPARE(rig.form4.NetworkKind->currentIndex(), 1);
}

void TestCommDialog::obdAdapterChosenKeptAndUsed_data()
{
    QTest::addColumn<QString>("was");      // the adapter in use when the dialog opens
    QTest::addColumn<QString>("choice");   // none, serial, network, demo
    QTest::addColumn<QString>("value");    // the port, host or car caption
    QTest::addColumn<QString>("baud");     // serial: the baud rate's item
    QTest::addColumn<bool>("environment"); // QOVA_OBD decides this run
    QTest::addColumn<QString>("kept");     // in the settings after OK; "" for none
    QTest::addColumn<QString>("inUse");    // what the link then uses; "" for none
    QTest::addColumn<QString>("refusal");  // a message keeping the dialog open
    QTest::newRow("none") << "demo:lamp-on"
                          << "none"
                          << ""
                          << "" << false << ""
                          << ""
                          << "";
    QTest::newRow("serial at the usual rate") << ""
                                              << "serial"
                                              << "/dev/ttyUSB1"
                                              << "38400 baud" << false << "/dev/ttyUSB1@38400"
                                              << "/dev/ttyUSB1@38400"
                                              << "";
    QTest::newRow("serial automatic") << ""
                                      << "serial"
                                      << "/dev/ttyUSB0"
                                      << "automatic" << false << "/dev/ttyUSB0"
                                      << "/dev/ttyUSB0"
                                      << "";
    QTest::newRow("wifi") << ""
                          << "network"
                          << "192.168.0.10"
                          << "" << false << "tcp://192.168.0.10:35000"
                          << "tcp://192.168.0.10:35000"
                          << "";
    QTest::newRow("wifi without host") << "demo:lamp-on"
                                       << "network"
                                       << "  "
                                       << "" << false << "demo:lamp-on"
                                       << "demo:lamp-on"
                                       << "needs a host";
    QTest::newRow("demo car") << ""
                              << "demo"
                              << "Not ready"
                              << "" << false << "demo:not-ready"
                              << "demo:not-ready"
                              << "";
    QTest::newRow("environment decides") << "demo:healthy"
                                         << "demo"
                                         << "Ignition off"
                                         << "" << true << "demo:ignition-off"
                                         << "demo:healthy"
                                         << "";
    QTest::newRow("environment decides, none kept") << "demo:lamp-on"
                                                    << "keep"
                                                    << ""
                                                    << "" << true << ""
                                                    << "demo:lamp-on"
                                                    << "";
}

void TestCommDialog::obdAdapterChosenKeptAndUsed()
{
    QFETCH(QString, was);
    QFETCH(QString, choice);
    QFETCH(QString, value);
    QFETCH(QString, baud);
    QFETCH(bool, environment);
    QFETCH(QString, kept);
    QFETCH(QString, inUse);
    QFETCH(QString, refusal);
    Rig rig;
    rig.ports = {usbAdapter(QStringLiteral("ttyUSB0"), QStringLiteral("A1")),
                 usbAdapter(QStringLiteral("ttyUSB1"), QStringLiteral("B2"))};
    std::vector<QString> opened;
    app::ObdConnection connection(
        rig.pause,
        [&](const obd::ObdAddress &address) {
            opened.push_back(obd::ObdAddressText(address));
            return app::MakeObdDevice(address, rig.pause);
        },
        rig.state.obd);
    connection.environmentDecides = environment;
    connection.environmentText = was;
    if (!was.isEmpty()) {
        // Where the environment decides, the settings keep whatever the operator chose (here
        // the row's `kept` when OK changes nothing).
        if (!environment || choice != QLatin1String("keep")) {
            QSettings s(rig.ini, QSettings::IniFormat);
            s.setValue(QLatin1String(app::kObdChoiceKey), was);
        }
        connection.use(app::ParseObdChoice(was).value());
    }
    obd::ObdLink *held = &connection.link();
    rig.form4.setObdConnection(&connection);
    rig.form4.Prepare();
    rig.form4.show();
    QCOMPARE(rig.form4.ObdEnvironment->isVisibleTo(&rig.form4), environment);
    QCOMPARE(rig.form4.SelectedObdAdapter().has_value(), !was.isEmpty() && choice != QLatin1String("keep"));
    if (choice == QLatin1String("none")) {
        rig.form4.ObdNone->click();
    } else if (choice == QLatin1String("serial")) {
        rig.form4.ObdPorts->setCurrentIndex(rig.form4.ObdPorts->findData(value));
        rig.form4.ObdBaud->setCurrentIndex(rig.form4.ObdBaud->findText(baud));
        rig.form4.ObdSerial->click();
    } else if (choice == QLatin1String("network")) {
        QTest::keyClicks(rig.form4.ObdHost, value);
        QVERIFY(rig.form4.ObdNetwork->isChecked());
    } else if (choice == QLatin1String("demo")) {
        rig.form4.ObdCar->setCurrentIndex(rig.form4.ObdCar->findText(value));
        rig.form4.ObdDemo->click();
    }
    rig.form4.Button1->click();
    QCOMPARE(rig.form4.isVisible(), !refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QVERIFY(!rig.op.shown.empty());
        QVERIFY2(rig.op.shown.back().text.contains(refusal), qPrintable(rig.op.shown.back().text));
    }
    QSettings s(rig.ini, QSettings::IniFormat);
    QCOMPARE(s.value(QLatin1String(app::kObdChoiceKey)).toString(), kept);
    // The link windows hold is the same one, on the adapter chosen (or idle, and unpublished).
    QCOMPARE(&connection.link(), held);
    QCOMPARE(rig.state.obd, inUse.isEmpty() ? nullptr : held);
    QCOMPARE(held->inUse(), !inUse.isEmpty());
    QCOMPARE(connection.address() ? obd::ObdAddressText(*connection.address()) : QString(), inUse);
    // Opened once for what was in use and once for a new choice, never for the same again.
    QCOMPARE(int(opened.size()), int(!was.isEmpty()) + int(!inUse.isEmpty() && inUse != was));
    // Shown again, the dialog has the adapter in use selected; the operator's own where the
    // environment decides, so OK never keeps the environment's for a run without it.
    rig.form4.Prepare();
    const auto selected = rig.form4.SelectedObdAdapter();
    QCOMPARE(selected ? obd::ObdAddressText(*selected) : QString(), environment ? kept : inUse);
}

void TestCommDialog::obdTestTalksToTheDemoCar()
{
    Rig rig;
    app::ObdConnection connection(
        rig.pause, [&](const obd::ObdAddress &address) { return app::MakeObdDevice(address, rig.pause); },
        rig.state.obd);
    rig.form4.setObdConnection(&connection);
    rig.form4.Prepare();
    rig.form4.ObdCar->setCurrentIndex(rig.form4.ObdCar->findText(QStringLiteral("Ignition off")));
    rig.form4.ObdDemo->click();
    rig.form4.ObdTestButton->click();
    // On its own timer: the dialog answers at once and the result comes as the car answers.
    QVERIFY2(rig.form4.ObdTestResult->text().contains(QStringLiteral("demo:ignition-off")),
             qPrintable(rig.form4.ObdTestResult->text()));
    // The trial's own timer ticks; the car's time is the virtual clock, moved on here.
    for (int i = 0; i < 400 && !rig.form4.ObdTestResult->text().contains(QStringLiteral("the car did not")); ++i) {
        rig.pause.sleepMs(50);
        QTest::qWait(2 * obd::ObdLink::kTickMs);
    }
    QVERIFY2(rig.form4.ObdTestResult->text().contains(QStringLiteral("the car did not")),
             qPrintable(rig.form4.ObdTestResult->text()));
    // A trial keeps nothing and leaves the program's link alone.
    QCOMPARE(rig.state.obd, nullptr);
    QCOMPARE(QSettings(rig.ini, QSettings::IniFormat).value(QLatin1String(app::kObdChoiceKey)).toString(), QString());
}

QTEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
