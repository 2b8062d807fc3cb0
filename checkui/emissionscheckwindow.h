#pragma once

#include "checkrecord.h"
#include "checkscreen.h"
#include "emissionscheck.h"
#include "limitset.h"
#include "sharedstate.h"

#include <QDialog>
#include <QMetaObject>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTimer;
class QWidget;

namespace qova::checkui {

class RpmGauge;

// The guided emissions check: the vehicle, the limit set chosen for it, the stages with
// their instructions and live values, and the verdict with its certificate. A view over
// the shared live session, which it polls every second while it is open.
class EmissionsCheckWindow final : public QDialog {
    Q_OBJECT
public:
    enum class Page { Vehicle, Limits, Check, Result };

    explicit EmissionsCheckWindow(ui::SharedState &state, QWidget *parent = nullptr);
    ~EmissionsCheckWindow() override;

    // The sets to choose from; by default the shipped ones and the workshop's file,
    // read each time the window opens.
    void setLimitLibrary(check::LimitLibrary library);
    void setCheckSettings(const check::CheckSettings &settings) { settings_ = settings; }

    // What the buttons do; tests call them directly.
    void FormShow();
    void FormClose();
    void nextClick();     // vehicle page: on to the limits
    void backClick();     // limits page: back to the vehicle
    void startClick();    // limits page: start the check
    void pumpClick();     // the analyser's pump on
    void cleanAirClick(); // the operator says the probe is in clean air
    void warmClick();     // the operator says the engine is warm
    void stopClick();     // abandon the check, after asking
    void printClick();    // the certificate
    void closeClick();

    Page page() const;
    const check::EmissionsCheck *emissionsCheck() const { return check_.get(); }
    const std::optional<check::CheckRecord> &record() const { return record_; }
    const CheckScreen &screen() const { return screen_; }
    // The limit set the limits page would start the check with, or why none.
    std::optional<check::LimitSet> pickedLimits(QString *error = nullptr) const;

    QStackedWidget *Pages = nullptr;
    // Vehicle page.
    QLineEdit *Registration = nullptr, *Model = nullptr, *OperatorName = nullptr;
    QComboBox *Scheme = nullptr, *Type = nullptr, *FuelBox = nullptr;
    QDateEdit *FirstUsed = nullptr;
    QCheckBox *Catalyst = nullptr, *TwoStroke = nullptr;
    QLabel *LastResult = nullptr;
    QPushButton *NextButton = nullptr;
    // Limits page.
    QLabel *Chosen = nullptr, *RecordOnly = nullptr, *LimitProblem = nullptr;
    QListWidget *LimitList = nullptr;
    QWidget *MakerForm = nullptr;
    QCheckBox *MakerFastIdle = nullptr;
    QLineEdit *MakerFastMin = nullptr, *MakerFastMax = nullptr, *MakerFastCo = nullptr, *MakerFastHc = nullptr,
              *MakerLambdaMin = nullptr, *MakerLambdaMax = nullptr, *MakerIdleMin = nullptr, *MakerIdleMax = nullptr,
              *MakerIdleCo = nullptr, *MakerIdleHc = nullptr;
    QPushButton *BackButton = nullptr, *StartButton = nullptr;
    // Check page.
    QLabel *Step = nullptr, *Instruction = nullptr, *Detail = nullptr;
    RpmGauge *Gauge = nullptr;
    QProgressBar *Steady = nullptr;
    std::vector<QLabel *> GasLabels;
    QPushButton *PumpButton = nullptr, *CleanAirButton = nullptr, *WarmButton = nullptr, *StopButton = nullptr;
    // Result page.
    QLabel *Overall = nullptr, *ResultNotes = nullptr, *SaveStatus = nullptr;
    QTableWidget *Results = nullptr;
    QPushButton *PrintButton = nullptr, *CloseButton = nullptr;

public slots:
    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildVehiclePage();
    QWidget *buildLimitsPage();
    QWidget *buildCheckPage();
    QWidget *buildResultPage();
    void lookUpRegistration();
    void showLastTest(const std::optional<history::TestEntry> &last);
    check::Vehicle vehicle() const;
    void chooseLimits();
    void showPicked();
    // The check's settings and the operator's name, telling once of a value ignored.
    void readSettings();
    // Starts or borrows the live session; empty when it runs, else what failed and where.
    QString takeSession();
    void connectSession();
    void disconnectSession();
    void take(const std::optional<link::LiveReading> &frame);
    void refresh();
    void tick();
    std::int64_t checkMs() const;
    void finish(bool abandoned);
    void showResult();
    void saveToHistory();

    ui::SharedState &state_;
    std::optional<check::LimitLibrary> givenLibrary_;
    check::LimitLibrary library_;
    check::LimitChoice choice_;
    check::CheckSettings settings_;
    std::unique_ptr<check::EmissionsCheck> check_;
    std::optional<check::CheckRecord> record_;
    std::optional<link::LiveReading> last_;
    CheckScreen screen_;
    QDateTime startedAt_;
    bool shown_ = false;
    bool startedSession_ = false;
    int oldPeriod_ = 0;
    std::vector<QMetaObject::Connection> sessionLinks_;
    QTimer *clock_ = nullptr;
};

} // namespace qova::checkui
