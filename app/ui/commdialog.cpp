#include "app/ui/commdialog.h"

#include "app/devices.h"
#include "app/settingsfile.h"
#include "app/statustexts.h"
#include "link/connectionprobe.h"
#include "link/networkdevice.h"
#include "link/qserialdevice.h"
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
#include <QVBoxLayout>
#include <algorithm>

namespace qova::app {

namespace {
// A common first port of serial device servers.
constexpr int kDefaultServerPort = 4001;
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

    auto *row = new QHBoxLayout;
    row->addWidget(Button1);
    row->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
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
    const std::vector<link::SerialPortDescription> ports =
        ports_ ? ports_() : std::vector<link::SerialPortDescription>{};
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
    accept();
}

void TForm4::Button2Click()
{
    reject();
}

} // namespace qova::app
