#include "app/ui/commdialog.h"

#include "app/devices.h"
#include "app/settingsfile.h"
#include "app/statustexts.h"
#include "link/connectionprobe.h"
#include "link/networkdevice.h"
#include "link/qserialdevice.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"
#include "ui/operator.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qova::app {

namespace {
// A common first port of serial device servers.
constexpr int kDefaultServerPort = 4001;
// The port Wi-Fi OBD adapters usually listen on.
constexpr int kDefaultObdPort = 35000;
// Long enough for a reset, a protocol search and the car's first answer.
constexpr int kObdTrialMs = 30000;

// "lamp-on" as the operator reads it: "Lamp on".
QString carCaption(QString name)
{
    name.replace(QLatin1Char('-'), QLatin1Char(' '));
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

QString networkText(const QString &scheme, QString host, int port)
{
    host = host.trimmed();
    const QString shown = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2:%3").arg(scheme, shown).arg(port);
}
} // namespace

TForm4::TForm4(ui::SharedState &state, QString portFile, QWidget *mainWindow, QWidget *parent, SettingsOpener settings,
               PortLister ports)
    : QDialog(parent), state_(state), portFile_(std::move(portFile)), mainWindow_(mainWindow),
      settings_(std::move(settings)), ports_(std::move(ports))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("QOVA"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    // One group across both boxes: a choice of either clears the other's.
    choices_ = new QButtonGroup(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Serialport"), this);
    auto *radios = new QVBoxLayout(GroupBox1);
    QRadioButton **buttons[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4};
    for (int i = 0; i < 4; ++i) {
        auto *r = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), GroupBox1);
        r->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radios->addWidget(r);
        choices_->addButton(r);
        connect(r, &QRadioButton::clicked, this, [this, i] {
            selectedPort_ = i + 1;
            showInUse();
        });
        *buttons[i] = r;
    }
    RadioButton1->setChecked(true);

    OtherConnections = new QGroupBox(QStringLiteral("Other connections"), this);
    OtherConnections->setObjectName(QStringLiteral("OtherConnections"));
    auto *other = new QVBoxLayout(OtherConnections);

    SerialPortChoice = new QRadioButton(QStringLiteral("&Serial port on this computer"), OtherConnections);
    SerialPortChoice->setObjectName(QStringLiteral("SerialPortChoice"));
    DetectedPorts = new QComboBox(OtherConnections);
    DetectedPorts->setObjectName(QStringLiteral("DetectedPorts"));
    DetectedPorts->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    DetectedPorts->setMinimumContentsLength(32);
    RefreshButton = new QPushButton(QStringLiteral("&Refresh"), OtherConnections);
    RefreshButton->setObjectName(QStringLiteral("RefreshButton"));
    auto *portRow = new QHBoxLayout;
    portRow->addSpacing(20);
    portRow->addWidget(DetectedPorts, 1);
    portRow->addWidget(RefreshButton);
    other->addWidget(SerialPortChoice);
    other->addLayout(portRow);

    NetworkChoice = new QRadioButton(QStringLiteral("&Network serial server"), OtherConnections);
    NetworkChoice->setObjectName(QStringLiteral("NetworkChoice"));
    NetworkHost = new QLineEdit(OtherConnections);
    NetworkHost->setObjectName(QStringLiteral("NetworkHost"));
    NetworkHost->setPlaceholderText(QStringLiteral("host name or address"));
    NetworkPort = new QSpinBox(OtherConnections);
    NetworkPort->setObjectName(QStringLiteral("NetworkPort"));
    NetworkPort->setRange(1, 65535);
    NetworkPort->setValue(kDefaultServerPort);
    NetworkKind = new QComboBox(OtherConnections);
    NetworkKind->setObjectName(QStringLiteral("NetworkKind"));
    NetworkKind->addItem(QStringLiteral("Raw TCP"));
    NetworkKind->addItem(QStringLiteral("Telnet with RFC 2217 port control"));
    auto *network = new QFormLayout;
    network->setContentsMargins(20, 0, 0, 0);
    network->addRow(QStringLiteral("Host"), NetworkHost);
    network->addRow(QStringLiteral("Port"), NetworkPort);
    network->addRow(QStringLiteral("Server"), NetworkKind);
    other->addWidget(NetworkChoice);
    other->addLayout(network);

    DemoChoice = new QRadioButton(QStringLiteral("&Demo analyser (built in)"), OtherConnections);
    DemoChoice->setObjectName(QStringLiteral("DemoChoice"));
    DemoCar = new QComboBox(OtherConnections);
    DemoCar->setObjectName(QStringLiteral("DemoCar"));
    DemoCar->setToolTip(QStringLiteral("A car at the demo analyser's probe, to practise the emissions check on"));
    std::vector<sim::VehicleProfile> cars{sim::VehicleProfile::None};
    for (sim::VehicleProfile car : sim::VehicleProfiles())
        cars.push_back(car);
    for (sim::VehicleProfile car : cars) {
        const std::string_view title = sim::VehicleProfileTitle(car);
        DemoCar->addItem(QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())),
                         sim::DemoDeviceName(car));
    }
    auto *demoRow = new QHBoxLayout;
    demoRow->addSpacing(20);
    demoRow->addWidget(DemoCar, 1);
    other->addWidget(DemoChoice);
    other->addLayout(demoRow);
    connect(DemoCar, &QComboBox::activated, this, [this] { DemoChoice->setChecked(true); });
    connect(DemoCar, &QComboBox::currentIndexChanged, this, [this] { showInUse(); });
    for (QRadioButton *r : {SerialPortChoice, NetworkChoice, DemoChoice}) {
        choices_->addButton(r);
        connect(r, &QRadioButton::toggled, this, &TForm4::updateEnabled);
    }
    connect(RefreshButton, &QPushButton::clicked, this, &TForm4::RefreshClick);
    // Picking a port or typing a host means that choice.
    connect(DetectedPorts, &QComboBox::activated, this, [this] { SerialPortChoice->setChecked(true); });
    connect(NetworkHost, &QLineEdit::textEdited, this, [this] { NetworkChoice->setChecked(true); });

    InUse = new QLabel(this);
    InUse->setObjectName(QStringLiteral("InUse"));
    InUse->setWordWrap(true);
    TestButton = new QPushButton(QStringLiteral("&Test"), this);
    TestButton->setObjectName(QStringLiteral("TestButton"));
    TestButton->setToolTip(QStringLiteral("Open the connection chosen above and ask the analyser for one reading"));
    TestResult = new QLabel(this);
    TestResult->setObjectName(QStringLiteral("TestResult"));
    TestResult->setWordWrap(true);
    TestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wide enough for a device's name and the system's reason on two or three lines.
    TestResult->setMinimumWidth(360);
    connect(TestButton, &QPushButton::clicked, this, &TForm4::TestClick);
    connect(choices_, &QButtonGroup::buttonToggled, this, [this] {
        showInUse();
        TestResult->clear();
    });
    connect(DetectedPorts, &QComboBox::currentIndexChanged, this, [this] { showInUse(); });
    connect(NetworkHost, &QLineEdit::textChanged, this, [this] { showInUse(); });

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("&CANCEL"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);

    buildObdBox();

    auto *row = new QHBoxLayout;
    row->addWidget(Button1);
    row->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    // The OBD adapter beside COM1 to COM4, so the dialog still fits a 768-line screen.
    auto *topRow = new QHBoxLayout;
    topRow->addWidget(GroupBox1, 0);
    topRow->addWidget(ObdAdapter, 1);
    layout->addLayout(topRow);
    layout->addWidget(OtherConnections);
    layout->addWidget(InUse);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(TestButton, 0, Qt::AlignTop);
    testRow->addWidget(TestResult, 1);
    layout->addLayout(testRow);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    updateEnabled();
}

QRadioButton *TForm4::radio(int port) const
{
    switch (port) {
    case 2:
        return RadioButton2;
    case 3:
        return RadioButton3;
    case 4:
        return RadioButton4;
    default:
        return RadioButton1;
    }
}

void TForm4::listPorts(const QString &keep)
{
    DetectedPorts->clear();
    lastPorts_ = ports_ ? ports_() : std::vector<link::SerialPortDescription>{};
    if (ObdPorts)
        listObdPorts(ObdPorts->currentData().toString());
    const std::vector<link::SerialPortDescription> &ports = lastPorts_;
    for (const auto &p : ports)
        DetectedPorts->addItem(link::DescribePort(p), p.location);
    if (keep.isEmpty())
        return;
    int at = DetectedPorts->findData(keep);
    if (at < 0) {
        // The port chosen before is not there now (unplugged): it stays the choice.
        DetectedPorts->addItem(QStringLiteral("%1  (not found now)").arg(link::DeviceCaptionName(keep)), keep);
        at = DetectedPorts->count() - 1;
    }
    DetectedPorts->setCurrentIndex(at);
}

void TForm4::RefreshClick()
{
    listPorts(DetectedPorts->currentData().toString());
}

void TForm4::showChoice(const QString &device)
{
    if (sim::DemoVehicleOf(device)) {
        DemoCar->setCurrentIndex(std::max(0, DemoCar->findData(device)));
        DemoChoice->setChecked(true);
    } else if (const auto address = link::ParseNetworkName(device)) {
        NetworkHost->setText(address->host);
        NetworkPort->setValue(address->port);
        NetworkKind->setCurrentIndex(address->kind == link::NetworkKind::Raw ? 0 : 1);
        NetworkChoice->setChecked(true);
    } else {
        listPorts(device);
        SerialPortChoice->setChecked(true);
    }
}

void TForm4::updateEnabled()
{
    const bool network = NetworkChoice->isChecked();
    NetworkPort->setEnabled(network);
    NetworkKind->setEnabled(network);
}

void TForm4::Prepare()
{
    selectedPort_ = state_.port.PortNumber;
    listPorts({});
    if (state_.port.PortDevice.isEmpty())
        radio(selectedPort_)->setChecked(true);
    else
        showChoice(state_.port.PortDevice);
    TestResult->clear();
    showInUse();
    showObdChoice();
}

void TForm4::showInUse()
{
    const QString device = SelectedDevice();
    if ((device.isEmpty() && !radio(selectedPort_)->isChecked()) || !choiceProblem(device).isEmpty()) {
        InUse->setText(QStringLiteral("Connection: none chosen"));
        return;
    }
    InUse->setText(ConnectionStatusText(selectedPort_, device,
                                        device.isEmpty() ? link::PortDeviceName(selectedPort_) : QString()));
}

QString TForm4::choiceProblem(const QString &device) const
{
    if (SerialPortChoice->isChecked() && device.isEmpty())
        return QStringLiteral("No serial port is chosen: this computer has none that the system lists. Plug "
                              "the adapter in and press Refresh, or choose another connection.");
    if (NetworkChoice->isChecked() && !link::ParseNetworkName(device))
        return QStringLiteral("The network serial server needs a host name or address, for example bay3 or "
                              "192.168.1.20.");
    return {};
}

void TForm4::TestClick()
{
    const QString device = SelectedDevice();
    if (const QString problem = choiceProblem(device); !problem.isEmpty()) {
        TestResult->setText(problem);
        return;
    }
    // A port of its own, so a test never disturbs the one the program's windows use.
    link::PortState trial(state_.port.factory, *state_.port.pause);
    trial.namedFactory = state_.port.namedFactory;
    trial.PortNumber = selectedPort_;
    trial.PortDevice = device;
    if (!trial.factory && !(trial.namedFactory && !device.isEmpty())) {
        TestResult->setText(QStringLiteral("This program has no way to open the connection."));
        return;
    }
    TestButton->setEnabled(false);
    TestResult->setText(QStringLiteral("Asking the analyser on %1 for a reading...").arg(link::PortCaptionName(trial)));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const link::ProbeResult result = link::ProbeConnection(trial);
    QGuiApplication::restoreOverrideCursor();
    TestButton->setEnabled(true);
    TestResult->setText(link::ProbeReport(result, state_.UsLocale));
}

void TForm4::COMM1Click()
{
    Prepare();
    exec();
}

QString TForm4::SelectedDevice() const
{
    if (DemoChoice->isChecked())
        return DemoCar->currentData().toString();
    if (SerialPortChoice->isChecked())
        return DetectedPorts->currentData().toString();
    if (NetworkChoice->isChecked()) {
        const QString host = NetworkHost->text().trimmed();
        const QString shown = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
        return QStringLiteral("%1://%2:%3")
            .arg(NetworkKind->currentIndex() == 0 ? QStringLiteral("tcp") : QStringLiteral("rfc2217"), shown)
            .arg(NetworkPort->value());
    }
    return {};
}

void TForm4::Button1Click()
{
    if (const QString problem = obdChoiceProblem(); !problem.isEmpty()) {
        // Nothing is kept until both choices can be: the dialog stays open for another try.
        state_.op->message(this, QStringLiteral("QOVA"), problem, ui::Icon::Warning, ui::Buttons::Ok);
        return;
    }
    endObdTrial();
    const QString analyserBefore = state_.port.PortDevice;
    const int portBefore = state_.port.PortNumber;
    const bool comPort = !SerialPortChoice->isChecked() && !NetworkChoice->isChecked() && !DemoChoice->isChecked();
    if (comPort) {
        if (const Done written = WritePortFile(portFile_, selectedPort_); written.ok()) {
            state_.port.PortNumber = selectedPort_;
            // COMn again: a connection chosen before is no longer the choice. Should that
            // not be kept, the next start uses the old connection over the port file, so
            // the operator hears of it.
            if (!state_.port.PortDevice.isEmpty()) {
                if (settings_) {
                    const auto settings = settings_();
                    if (const Done cleared = WriteDeviceChoice(*settings, {}); !cleared.ok())
                        state_.op->message(this, QStringLiteral("QOVA"),
                                           QStringLiteral("COM%1 is in use for this run only: %2")
                                               .arg(selectedPort_)
                                               .arg(cleared.problem().text()),
                                           ui::Icon::Warning, ui::Buttons::Ok);
                }
                state_.port.PortDevice.clear();
            }
        } else {
            // The analyser program's own words; the reason goes under them.
            state_.op->message(this, QStringLiteral("QOVA"), QStringLiteral("can not open file"), ui::Icon::None,
                               ui::Buttons::Ok, written.problem().text());
        }
        if (mainWindow_ != nullptr)
            mainWindow_->setWindowTitle(CommDialogCaption(link::PortCaptionName(state_.port)));
        keepObdChoice(analyserBefore != state_.port.PortDevice || portBefore != state_.port.PortNumber);
        accept();
        return;
    }

    const QString device = SelectedDevice();
    QString problem = choiceProblem(device);
    if (problem.isEmpty() && !settings_)
        problem = QStringLiteral("This connection cannot be kept: the program has no settings store.");
    if (problem.isEmpty()) {
        const auto settings = settings_();
        if (const Done kept = WriteDeviceChoice(*settings, device); !kept.ok())
            problem = QStringLiteral("The connection could not be kept in the settings (%1); the one in use "
                                     "stays.")
                          .arg(kept.problem().text());
    }
    if (!problem.isEmpty()) {
        // The dialog stays open with what the operator entered, for another try.
        state_.op->message(this, QStringLiteral("QOVA"), problem, ui::Icon::Warning, ui::Buttons::Ok);
        return;
    }
    state_.port.PortDevice = device;
    SwitchOnDemoCarAgain(device);
    if (mainWindow_ != nullptr)
        mainWindow_->setWindowTitle(CommDialogCaption(link::PortCaptionName(state_.port)));
    // A practice car switched on afresh has a new engine for its OBD side to follow.
    keepObdChoice(analyserBefore != device || sim::DemoVehicleOf(device).has_value());
    accept();
}

void TForm4::Button2Click()
{
    endObdTrial();
    reject();
}

void TForm4::buildObdBox()
{
    ObdAdapter = new QGroupBox(QStringLiteral("OBD adapter (the car's own diagnostics)"), this);
    ObdAdapter->setObjectName(QStringLiteral("ObdAdapter"));
    auto *box = new QVBoxLayout(ObdAdapter);
    obdChoices_ = new QButtonGroup(this);
    auto radio = [&](QRadioButton *&r, const char *name, const QString &text) {
        r = new QRadioButton(text, ObdAdapter);
        r->setObjectName(QString::fromLatin1(name));
        obdChoices_->addButton(r);
        box->addWidget(r);
    };
    auto indented = [&](std::initializer_list<QWidget *> widgets) {
        auto *row = new QHBoxLayout;
        row->addSpacing(20);
        for (QWidget *w : widgets)
            row->addWidget(w, w == *widgets.begin() ? 1 : 0);
        box->addLayout(row);
    };
    radio(ObdNone, "ObdNone", QStringLiteral("Non&e"));
    ObdNone->setChecked(true);

    radio(ObdSerial, "ObdSerial", QStringLiteral("Serial ada&pter (USB or Bluetooth)"));
    ObdPorts = new QComboBox(ObdAdapter);
    ObdPorts->setObjectName(QStringLiteral("ObdPorts"));
    ObdPorts->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ObdPorts->setMinimumContentsLength(16);
    ObdPorts->setAccessibleName(QStringLiteral("OBD adapter's serial port"));
    ObdBaud = new QComboBox(ObdAdapter);
    ObdBaud->setObjectName(QStringLiteral("ObdBaud"));
    ObdBaud->setAccessibleName(QStringLiteral("OBD adapter's baud rate"));
    for (int baud : obd::kObdBaudRates)
        ObdBaud->addItem(QStringLiteral("%1 baud").arg(baud), baud);
    ObdBaud->addItem(QStringLiteral("automatic"), 0);
    ObdBaud->setToolTip(QStringLiteral("Automatic tries 38400, 9600 and 115200 baud in turn"));
    indented({ObdPorts, ObdBaud});

    radio(ObdNetwork, "ObdNetwork", QStringLiteral("&Wi-Fi or network adapter"));
    connect(ObdNetwork, &QRadioButton::toggled, this, [this](bool on) { ObdNetworkPort->setEnabled(on); });
    ObdHost = new QLineEdit(ObdAdapter);
    ObdHost->setObjectName(QStringLiteral("ObdHost"));
    ObdHost->setPlaceholderText(QStringLiteral("often 192.168.0.10"));
    ObdHost->setAccessibleName(QStringLiteral("OBD adapter's host"));
    ObdNetworkPort = new QSpinBox(ObdAdapter);
    ObdNetworkPort->setObjectName(QStringLiteral("ObdNetworkPort"));
    ObdNetworkPort->setRange(1, 65535);
    ObdNetworkPort->setValue(kDefaultObdPort);
    ObdNetworkPort->setAccessibleName(QStringLiteral("OBD adapter's TCP port"));
    ObdNetworkPort->setEnabled(false);
    indented({ObdHost, ObdNetworkPort});

    radio(ObdDemo, "ObdDemo", QStringLiteral("Demo car (b&uilt in)"));
    ObdCar = new QComboBox(ObdAdapter);
    ObdCar->setObjectName(QStringLiteral("ObdCar"));
    ObdCar->setToolTip(QStringLiteral("The diagnostics of the car at the demo analyser's probe"));
    for (const QString &car : DemoObdCars())
        ObdCar->addItem(carCaption(car), QString::fromLatin1(obd::kObdDemoPrefix) + car);
    indented({ObdCar});

    ObdEnvironment = new QLabel(ObdAdapter);
    ObdEnvironment->setObjectName(QStringLiteral("ObdEnvironment"));
    ObdEnvironment->setWordWrap(true);
    ObdEnvironment->setStyleSheet(QStringLiteral("color:#804000;"));
    box->addWidget(ObdEnvironment);
    ObdTestButton = new QPushButton(QStringLiteral("Test ad&apter"), ObdAdapter);
    ObdTestButton->setObjectName(QStringLiteral("ObdTestButton"));
    ObdTestButton->setToolTip(QStringLiteral("Wake the OBD adapter chosen above and ask the car whether it answers"));
    ObdTestResult = new QLabel(ObdAdapter);
    ObdTestResult->setObjectName(QStringLiteral("ObdTestResult"));
    ObdTestResult->setWordWrap(true);
    ObdTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(ObdTestButton, 0, Qt::AlignTop);
    testRow->addWidget(ObdTestResult, 1);
    box->addLayout(testRow);

    // Picking a port, a car or typing a host means that choice.
    connect(ObdPorts, &QComboBox::activated, this, [this] { ObdSerial->setChecked(true); });
    connect(ObdBaud, &QComboBox::activated, this, [this] { ObdSerial->setChecked(true); });
    connect(ObdCar, &QComboBox::activated, this, [this] { ObdDemo->setChecked(true); });
    connect(ObdHost, &QLineEdit::textEdited, this, [this] { ObdNetwork->setChecked(true); });
    connect(obdChoices_, &QButtonGroup::buttonToggled, this, [this] {
        endObdTrial();
        ObdTestResult->clear();
    });
    connect(ObdTestButton, &QPushButton::clicked, this, &TForm4::ObdTestClick);
    obdTrialEnd_ = new QTimer(this);
    obdTrialEnd_->setSingleShot(true);
    obdTrialEnd_->setInterval(kObdTrialMs);
    connect(obdTrialEnd_, &QTimer::timeout, this, [this] {
        if (!obdTrial_)
            return;
        const QString last = ObdTestResult->text();
        endObdTrial();
        ObdTestResult->setText(QStringLiteral("%1\nNo more after %2 s: check that the adapter is plugged into the "
                                              "car and powered, and the address or baud rate above.")
                                   .arg(last)
                                   .arg(kObdTrialMs / 1000));
    });
}

void TForm4::setObdConnection(ObdConnection *obd)
{
    obd_ = obd;
}

void TForm4::listObdPorts(const QString &keep)
{
    ObdPorts->clear();
    for (const auto &p : lastPorts_)
        ObdPorts->addItem(link::DescribePort(p), p.location);
    if (keep.isEmpty())
        return;
    int at = ObdPorts->findData(keep);
    if (at < 0) {
        ObdPorts->addItem(QStringLiteral("%1  (not found now)").arg(link::DeviceCaptionName(keep)), keep);
        at = ObdPorts->count() - 1;
    }
    ObdPorts->setCurrentIndex(at);
}

void TForm4::showObdChoice()
{
    endObdTrial();
    ObdTestResult->clear();
    std::optional<obd::ObdAddress> address = obd_ ? obd_->address() : std::nullopt;
    if (!obd_ || obd_->environmentDecides) {
        // The environment's adapter is for this run; the box shows (and OK keeps) the operator's own.
        address.reset();
        if (settings_)
            address = ParseObdChoice(settings_()->value(QLatin1String(kObdChoiceKey)).toString()).valueOr(std::nullopt);
    }
    listObdPorts(address && address->kind == obd::ObdAddress::Kind::Serial ? address->name : QString());
    if (!address) {
        ObdNone->setChecked(true);
    } else if (address->kind == obd::ObdAddress::Kind::Serial) {
        ObdBaud->setCurrentIndex(std::max(0, ObdBaud->findData(address->baudRate.value_or(0))));
        ObdSerial->setChecked(true);
    } else if (address->kind == obd::ObdAddress::Kind::Network) {
        if (const auto network = link::ParseNetworkName(address->name)) {
            ObdHost->setText(network->host);
            ObdNetworkPort->setValue(network->port);
        }
        ObdNetwork->setChecked(true);
    } else {
        ObdCar->setCurrentIndex(
            std::max(0, ObdCar->findData(address->demoCar.isEmpty() ? QString() : obd::ObdAddressText(*address))));
        ObdDemo->setChecked(true);
    }
    if (obd_ && obd_->environmentDecides)
        ObdEnvironment->setText(
            QStringLiteral("The environment variable %1 decides in this run (\"%2\"). A choice made here is kept "
                           "for when the program starts without it.")
                .arg(QString::fromLatin1(obd::kObdEnvironment), obd_->environmentText));
    else
        ObdEnvironment->clear();
    ObdEnvironment->setVisible(!ObdEnvironment->text().isEmpty());
}

QString TForm4::obdChoiceProblem() const
{
    if (ObdNone->isChecked())
        return {};
    if (ObdSerial->isChecked() && ObdPorts->currentData().toString().isEmpty())
        return QStringLiteral("No serial port is chosen for the OBD adapter: this computer has none that the "
                              "system lists. Plug the adapter in and press Refresh, or choose None.");
    if (ObdNetwork->isChecked() && ObdHost->text().trimmed().isEmpty())
        return QStringLiteral("The OBD adapter on the network needs a host name or address, for example "
                              "192.168.0.10.");
    if (!ObdSerial->isChecked() && !ObdNetwork->isChecked() && !ObdDemo->isChecked())
        return {};
    QString text;
    if (ObdSerial->isChecked()) {
        text = ObdPorts->currentData().toString();
        if (const int baud = ObdBaud->currentData().toInt(); baud > 0)
            text += QStringLiteral("@%1").arg(baud);
    } else if (ObdNetwork->isChecked()) {
        text = networkText(QStringLiteral("tcp"), ObdHost->text(), ObdNetworkPort->value());
    } else {
        text = ObdCar->currentData().toString();
    }
    const auto parsed = ParseObdChoice(text);
    return parsed.ok() ? QString() : QStringLiteral("The OBD adapter: %1").arg(parsed.problem().text());
}

std::optional<obd::ObdAddress> TForm4::SelectedObdAdapter() const
{
    QString text;
    if (ObdSerial->isChecked()) {
        text = ObdPorts->currentData().toString();
        if (text.isEmpty())
            return std::nullopt;
        if (const int baud = ObdBaud->currentData().toInt(); baud > 0)
            text += QStringLiteral("@%1").arg(baud);
    } else if (ObdNetwork->isChecked()) {
        if (ObdHost->text().trimmed().isEmpty())
            return std::nullopt;
        text = networkText(QStringLiteral("tcp"), ObdHost->text(), ObdNetworkPort->value());
    } else if (ObdDemo->isChecked()) {
        text = ObdCar->currentData().toString();
    }
    return ParseObdChoice(text).valueOr(std::nullopt);
}

void TForm4::keepObdChoice(bool analyserChanged)
{
    const std::optional<obd::ObdAddress> chosen = SelectedObdAdapter();
    if (settings_) {
        const auto settings = settings_();
        // Written only when it changes: OK on an unchanged choice must not fail on a
        // settings file the program may not write.
        const QString before = settings->value(QLatin1String(kObdChoiceKey)).toString();
        const QString now = chosen ? obd::ObdAddressText(*chosen) : QString();
        const Done kept = before == now ? Done{} : WriteObdChoice(*settings, chosen);
        if (!kept.ok())
            state_.op->message(
                this, QStringLiteral("QOVA"),
                QStringLiteral("The OBD adapter is in use for this run only: %1").arg(kept.problem().text()),
                ui::Icon::Warning, ui::Buttons::Ok);
    }
    if (!obd_ || obd_->environmentDecides)
        return;
    // The demo car reads the engine of the analyser chosen: another analyser, another car.
    if (analyserChanged && chosen && chosen->kind == obd::ObdAddress::Kind::Demo)
        obd_->use(std::nullopt);
    obd_->use(chosen);
}

void TForm4::ObdTestClick()
{
    endObdTrial();
    if (const QString problem = obdChoiceProblem(); !problem.isEmpty()) {
        ObdTestResult->setText(problem);
        return;
    }
    const std::optional<obd::ObdAddress> chosen = SelectedObdAdapter();
    if (!chosen) {
        ObdTestResult->setText(QStringLiteral("No OBD adapter is chosen: choose one above, then Test."));
        return;
    }
    if (!obd_ || !obd_->deviceMaker()) {
        ObdTestResult->setText(QStringLiteral("This program has no way to open an OBD adapter."));
        return;
    }
    // The adapter the program already talks to cannot be opened twice: its own link answers.
    const bool inUse = obd_->address() == chosen && obd_->link().inUse();
    if (!inUse)
        obdTrial_ = std::make_unique<obd::ObdLink>(obd_->deviceMaker()(*chosen), *state_.port.pause,
                                                   obd::ObdLink::OptionsFor(*chosen));
    obd::ObdLink &trial = inUse ? obd_->link() : *obdTrial_;
    connect(&trial, &obd::ObdLink::changed, ObdTestResult, [this] { showObdTrial(); });
    obdTrialEnd_->start();
    if (!inUse)
        obdTrial_->start();
    showObdTrial();
}

void TForm4::showObdTrial()
{
    const std::optional<obd::ObdAddress> chosen = SelectedObdAdapter();
    obd::ObdLink *trial = obdTrial_ ? obdTrial_.get() : (obd_ && obd_->link().inUse() ? &obd_->link() : nullptr);
    if (!trial || !chosen)
        return;
    const obd::ElmSession &s = trial->session();
    const QString where = obd::ObdAddressText(*chosen);
    const QString adapter = s.adapter().isEmpty() ? QStringLiteral("The adapter") : s.adapter();
    QString text;
    bool finished = false;
    switch (s.state()) {
    case obd::ElmSession::State::Closed:
        text = s.problem().isEmpty() ? QStringLiteral("Opening %1...").arg(where) : s.problem();
        finished = !s.problem().isEmpty();
        break;
    case obd::ElmSession::State::Resetting:
        text = QStringLiteral("Waking the adapter on %1%2...")
                   .arg(where, s.baudRate() > 0 ? QStringLiteral(" at %1 baud").arg(s.baudRate()) : QString());
        break;
    case obd::ElmSession::State::SettingUp:
        text = QStringLiteral("%1 answered on %2; setting it up...").arg(adapter, where);
        break;
    case obd::ElmSession::State::Searching:
        text = QStringLiteral("%1 answered on %2; looking for the car...").arg(adapter, where);
        break;
    case obd::ElmSession::State::NoCar:
        text = QStringLiteral("%1 answered on %2, but the car did not: %3 Switch the ignition on.")
                   .arg(adapter, where, s.problem());
        finished = true;
        break;
    case obd::ElmSession::State::Reading:
        text = QStringLiteral("%1 answered on %2, and so did the car.").arg(adapter, where);
        finished = true;
        break;
    case obd::ElmSession::State::Recovering:
        text = QStringLiteral("%1 on %2 stopped answering; trying again...").arg(adapter, where);
        break;
    }
    ObdTestResult->setText(text);
    if (finished)
        endObdTrial();
}

void TForm4::endObdTrial()
{
    if (obdTrialEnd_)
        obdTrialEnd_->stop();
    if (obd_)
        disconnect(&obd_->link(), &obd::ObdLink::changed, ObdTestResult, nullptr);
    if (std::unique_ptr<obd::ObdLink> trial = std::move(obdTrial_)) {
        // Stopping says so; nobody listens any more.
        disconnect(trial.get(), nullptr, ObdTestResult, nullptr);
        trial->stop();
        // It may be ending from inside its own signal.
        trial.release()->deleteLater();
    }
}

} // namespace qova::app
