#pragma once

#include "check/checkrun.h"
#include "check/checkscreen.h"
#include "link/sessionuse.h"
#include "ui/sharedstate.h"

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace qova::checkui {

class RpmGauge;

// The guided emissions check: the vehicle, the limit set chosen for it, the stages with
// their instructions and live values, and the verdict with its certificate. It gathers
// what is typed, relays the buttons to its check::CheckRun and draws what the run says.
// The live session is taken only once the check starts, so nothing the analyser asks
// can take a key typed on the vehicle or limits page.
class EmissionsCheckWindow final : public QDialog {
    Q_OBJECT
public:
    enum class Page { Vehicle, Limits, Check, Result };

    explicit EmissionsCheckWindow(ui::SharedState &state, QWidget *parent = nullptr);
    ~EmissionsCheckWindow() override;

    // What the buttons do; tests call them directly.
    void openCheck();                 // the window shown: a new check from the vehicle page
    void closeCheck();                // the window hidden: the session given back
    void nextClick();                 // vehicle page: on to the limits
    void backClick();                 // limits page: back to the vehicle
    void startClick();                // limits page: start the check
    void pumpClick();                 // the analyser's pump on
    void cleanAirClick();             // the operator says the probe is in clean air
    void warmClick();                 // the operator says the engine is warm
    void dashboardLampClick(bool on); // what the warning lamp on the dashboard shows
    void stopClick();                 // abandon the check, after asking
    void printClick();                // the certificate
    void closeClick();

    Page page() const;
    // The check as it stands; none before the window first opens.
    const check::CheckRun *run() const { return run_.get(); }

public slots:
    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildVehiclePage();
    QWidget *buildLimitsPage();
    QWidget *buildCheckPage();
    QWidget *buildResultPage();
    void lookUpRegistration();
    void showLastTest(const std::optional<history::TestEntry> &last);
    check::VehicleTyped vehicleTyped() const;
    check::MakerTyped makerTyped() const;
    void showLimits();
    void showPicked();
    // The check's settings and the operator's name, telling once of a value ignored.
    check::CheckSettings readSettings();
    void listenToSession();
    void showScreen();
    void showResult();
    void showSaved(bool ok, const QString &problem);

    ui::SharedState &state_;
    link::SessionUse session_{state_.session};
    std::unique_ptr<check::CheckRun> run_;
    bool shown_ = false;
    QTimer *clock_ = nullptr;

    QStackedWidget *pages_ = nullptr;
    // Vehicle page.
    QLineEdit *registration_ = nullptr, *model_ = nullptr, *operatorName_ = nullptr, *firstUsed_ = nullptr;
    QToolButton *pickDate_ = nullptr;
    QComboBox *scheme_ = nullptr, *type_ = nullptr, *fuel_ = nullptr;
    QCheckBox *catalyst_ = nullptr, *twoStroke_ = nullptr;
    QLabel *lastResult_ = nullptr;
    // Limits page.
    QLabel *chosen_ = nullptr, *recordOnly_ = nullptr, *limitProblem_ = nullptr;
    QListWidget *limitList_ = nullptr;
    QWidget *makerForm_ = nullptr;
    QCheckBox *makerFastIdle_ = nullptr;
    QLineEdit *makerFastMin_ = nullptr, *makerFastMax_ = nullptr, *makerFastCo_ = nullptr, *makerFastHc_ = nullptr,
              *makerLambdaMin_ = nullptr, *makerLambdaMax_ = nullptr, *makerIdleMin_ = nullptr,
              *makerIdleMax_ = nullptr, *makerIdleCo_ = nullptr, *makerIdleHc_ = nullptr;
    QPushButton *startButton_ = nullptr;
    // Check page.
    QLabel *step_ = nullptr, *instruction_ = nullptr, *detail_ = nullptr, *stageFailed_ = nullptr;
    RpmGauge *gauge_ = nullptr;
    QProgressBar *steady_ = nullptr;
    std::vector<QLabel *> gasLabels_;
    QPushButton *pumpButton_ = nullptr, *cleanAirButton_ = nullptr, *warmButton_ = nullptr, *stopButton_ = nullptr;
    // Result page.
    QLabel *overall_ = nullptr, *resultNotes_ = nullptr, *saveStatus_ = nullptr;
    QTableWidget *results_ = nullptr;
    QPushButton *printButton_ = nullptr;
    // Check page: the car's diagnostics beside the analyser.
    QLabel *speedSource_ = nullptr, *speedDisagreement_ = nullptr;
    QWidget *obdPanel_ = nullptr;
    QWidget *dashboardLampAsk_ = nullptr;
    QLabel *obdAdapter_ = nullptr, *obdLamp_ = nullptr, *obdCodes_ = nullptr, *obdMonitors_ = nullptr;
    // Result page: what the car's own diagnostics said, when an adapter took part.
    QLabel *resultObd_ = nullptr;
    // Vehicle page: the VIN, read from the car or typed, and how it stands against the one kept.
    void readVinClick();
    void vinReadingChanged();
    void stopWaitingForVin(const QString &why);
    void showVinNote();
    QLineEdit *vin_ = nullptr;
    QPushButton *readVin_ = nullptr;
    QLabel *vinNote_ = nullptr;
    QString keptVin_;
    QString readVinText_;  // the text last read from the car
    QString readVinDoubt_; // why that text is not to be trusted
    QMetaObject::Connection waitingForVin_;
    QTimer *vinPatience_ = nullptr;

public:
    // For tests: the vehicle page's VIN field, button and note.
    QLineEdit *vinField() const { return vin_; }
    QPushButton *readVinButton() const { return readVin_; }
    QLabel *vinNote() const { return vinNote_; }
};

} // namespace qova::checkui
