#pragma once

#include "app/obdconnection.h"
#include "app/ui/companyheader.h"
#include "link/serialports.h"
#include "ui/sharedstate.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace qova::app {

// What the dialog offers besides COM1 to COM4.
using PortLister = std::function<std::vector<link::SerialPortDescription>()>;

// FILE > COMM: chooses COM1 to COM4 and keeps the choice in the port file, or another
// connection (a serial port the system has, a network serial server, the built-in demo
// analyser), kept in the program's settings while the port file keeps naming COMn. The port
// is not reopened here; the next window that opens it uses the new choice.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` gets the new caption after OK; `settings` keeps a choice outside COM1
    // to COM4 (without it only COM1 to COM4 can be kept).
    TForm4(ui::SharedState &state, QString portFile, QWidget *mainWindow, QWidget *parent = nullptr,
           SettingsOpener settings = {}, PortLister ports = link::DetectedSerialPorts);

    // Selects the button of the current port, then shows the dialog modally.
    void COMM1Click();
    // The first half of COMM1Click, without the modal loop; lists the ports afresh.
    void Prepare();

    int SelectedPort() const { return selectedPort_; }
    // The connection chosen outside COM1 to COM4 as a device name; empty for COMn.
    QString SelectedDevice() const;

    void Button1Click(); // OK
    void Button2Click(); // CANCEL
    // Where the list of serial ports comes from (the system's, unless told otherwise).
    void setPortLister(PortLister ports) { ports_ = std::move(ports); }
    // Lists the system's serial ports again, keeping the one selected when it is still there.
    void RefreshClick();
    // Opens the connection chosen now (kept or not), polls the analyser once and says in
    // TestResult what answered.
    void TestClick();

    // The program's OBD link, whose adapter the "OBD adapter" box chooses; without one the
    // choice is only kept, for the next start.
    void setObdConnection(ObdConnection *obd);
    // The OBD adapter chosen in the box now; none for "None" or a choice that names none.
    std::optional<obd::ObdAddress> SelectedObdAdapter() const;
    // Why the OBD choice now cannot be used, or empty.
    QString obdChoiceProblem() const;
    // Talks to the OBD adapter chosen now on a link of its own, on a timer: says in
    // ObdTestResult what answered, never waiting for it.
    void ObdTestClick();

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr, *RadioButton4 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

    QGroupBox *OtherConnections = nullptr;
    QRadioButton *SerialPortChoice = nullptr, *NetworkChoice = nullptr, *DemoChoice = nullptr;
    QComboBox *DetectedPorts = nullptr;
    QPushButton *RefreshButton = nullptr;
    QLineEdit *NetworkHost = nullptr;
    QSpinBox *NetworkPort = nullptr;
    QComboBox *NetworkKind = nullptr;
    QComboBox *DemoCar = nullptr; // the demo analyser's own engine, or a car to practise on
    // The device the choice stands for, where an environment variable puts another in place
    // of COMn, and what the last Test found.
    QLabel *InUse = nullptr;
    QPushButton *TestButton = nullptr;
    QLabel *TestResult = nullptr;

    QGroupBox *ObdAdapter = nullptr;
    QRadioButton *ObdNone = nullptr, *ObdSerial = nullptr, *ObdNetwork = nullptr, *ObdDemo = nullptr;
    QComboBox *ObdPorts = nullptr, *ObdBaud = nullptr, *ObdCar = nullptr;
    QLineEdit *ObdHost = nullptr;
    QSpinBox *ObdNetworkPort = nullptr;
    QLabel *ObdEnvironment = nullptr; // says when QOVA_OBD decides over this choice
    QPushButton *ObdTestButton = nullptr;
    QLabel *ObdTestResult = nullptr;

private:
    QRadioButton *radio(int port) const;
    void listPorts(const QString &keep);
    void showChoice(const QString &device);
    void updateEnabled();
    void showInUse();
    // Why the connection chosen now cannot be used, or empty.
    QString choiceProblem(const QString &device) const;

    ui::SharedState &state_;
    QString portFile_;
    QWidget *mainWindow_;
    SettingsOpener settings_;
    PortLister ports_;
    QButtonGroup *choices_ = nullptr;
    int selectedPort_ = 1;

    void buildObdBox();
    void showObdChoice();
    void listObdPorts(const QString &keep);
    void showObdTrial();
    void endObdTrial();
    // Keeps the OBD choice and, unless QOVA_OBD decides, switches the link to it.
    void keepObdChoice(bool analyserChanged);
    ObdConnection *obd_ = nullptr;
    // The system's ports as last listed, for both boxes: one listing per opening or Refresh.
    std::vector<link::SerialPortDescription> lastPorts_;
    QButtonGroup *obdChoices_ = nullptr;
    std::unique_ptr<obd::ObdLink> obdTrial_;
    QTimer *obdTrialEnd_ = nullptr;
};

} // namespace qova::app
