#pragma once

#include "check/checkrecord.h"
#include "check/checkresult.h"
#include "check/emissionscheck.h"
#include "check/limitset.h"
#include "link/livereading.h"
#include "obd/elmsession.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace qova::history {
class TestArchive;
}
namespace qova::link {
class LiveSession;
}
namespace qova::obd {
class ObdLink;
}

namespace qova::check {

// The vehicle as the operator typed it, before anything is read from it.
struct VehicleTyped {
    QString registration, model, operatorName;
    QString scheme = QStringLiteral("UK"), type = QStringLiteral("car");
    QString firstUsed; // "14/03/2004", the workstation's short date form, or as picked
    Fuel fuel = Fuel::Petrol;
    bool catalyst = false, twoStroke = false;
    QString vin;
};

enum class VehicleField : std::uint8_t { None, Registration, FirstUsed };
struct VehicleRead {
    std::optional<Vehicle> vehicle;
    QString problem; // what to type, for the field named
    VehicleField field = VehicleField::None;
};
// `locale` gives the short date form; a date is also read as d/M/yyyy and yyyy-MM-dd.
VehicleRead ReadVehicle(const VehicleTyped &typed, const QLocale &locale = QLocale());
// The date as the workstation writes it short, as it is typed back.
QString ShortDateText(const QDate &date, const QLocale &locale = QLocale());

// The vehicle maker's figures as typed; empty is "not given".
struct MakerTyped {
    bool fastIdle = true;
    QString fastMinRpm = QStringLiteral("2500"), fastMaxRpm = QStringLiteral("3000");
    QString fastCo, fastHc, lambdaMin, lambdaMax;
    QString idleMinRpm = QStringLiteral("450"), idleMaxRpm = QStringLiteral("1500");
    QString idleCo, idleHc;
};
// The figures' captions, as the limits page labels them and the error texts name them.
struct MakerCaptions {
    static constexpr const char *fastMinRpm = "fast idle from rpm", *fastMaxRpm = "to rpm", *fastCo = "CO max %",
                                *fastHc = "HC max ppm", *lambdaMin = "lambda from", *lambdaMax = "lambda to",
                                *idleMinRpm = "natural idle from rpm", *idleMaxRpm = "to rpm", *idleCo = "CO max %",
                                *idleHc = "HC max ppm";
};
// The set the figures make, or which one does not read or lies outside its range.
Result<LimitSet> ReadMakerFigures(const MakerTyped &typed);

// The set the limits page would start the check with: a set of the library by its row,
// the row after the last for the maker's figures.
struct LimitPick {
    Result<LimitSet> set = Problem{QStringLiteral("no limit set is picked"), {}, {}};
    LimitOrigin origin = LimitOrigin::Chosen;
    QString reason;
    bool recordOnly() const { return set.ok() && !set->metered; }
};

// What the OBD adapter has said, as a run takes it in: the readings' times are on the
// session's clock, `nowMs` is that clock when it was taken, so their ages are known.
struct ObdSnapshot {
    obd::ElmSession::State state = obd::ElmSession::State::Closed;
    QString problem, adapter;
    obd::ObdReadings readings;
    std::int64_t nowMs = 0;
};
ObdSnapshot SnapshotOf(const obd::ElmSession &session);

// One emissions check from the vehicle typed in to the row saved in the history: it reads
// the vehicle and the limit choice, takes the live session's readings, keeps the clock,
// drives EmissionsCheck, builds the record and hands it to the history. A window gathers
// what is typed, relays the operator's buttons and shows what the run says.
class CheckRun final : public QObject {
    Q_OBJECT
public:
    struct Seams {
        std::function<QDateTime()> now;          // the wall clock, virtual in tests
        history::TestArchive *history = nullptr; // none: nothing is kept
        // The certificate's texts, which the history keeps with the record.
        std::function<QStringList(const CheckRecord &)> pageLines;
    };
    CheckRun(LimitLibrary library, CheckSettings settings, Seams seams, QObject *parent = nullptr);
    ~CheckRun() override;

    const LimitLibrary &library() const { return library_; }
    const CheckSettings &settings() const { return settings_; }

    // The vehicle page's Next: on a vehicle that reads, the limit set chosen for it.
    VehicleRead takeVehicle(const VehicleTyped &typed, const QLocale &locale = QLocale());
    const LimitChoice &choice() const { return choice_; }
    // The library's row of the chosen set, the maker's row when none fits.
    int chosenRow() const;
    int makerRow() const { return static_cast<int>(library_.sets.size()); }
    LimitPick pick(int row, const MakerTyped &typed) const;

    // Starts the check with the set picked, or says why it cannot.
    Done start(const LimitPick &pick, const QString &companyHeader);
    // The readings of the live session while the check runs.
    void listen(link::LiveSession &session);
    void stopListening();
    void take(const std::optional<link::LiveReading> &frame);
    // The car's diagnostics beside the analyser while the check runs; call after start().
    // Without an adapter the check is the analyser's alone, as it always was.
    void listenObd(obd::ObdLink &link);
    void takeObd(const ObdSnapshot &snapshot);
    // The clock alone, so a step's time-out ends a check whose frames stopped.
    void tick();
    void confirmCleanAir();
    void confirmEngineWarm();
    // What the warning lamp on the dashboard shows with the engine running, as the
    // operator sees it; taken once, while the check runs and asks it.
    void confirmDashboardLamp(bool on);
    // The check waits for that answer: an adapter takes part, the set does not fail the
    // car's lamp, and the operator has not answered yet. The verdict never waits for it.
    bool asksDashboardLamp() const;
    // The operator stopped the check before its verdict.
    void abandon();

    // Until the record is built: after the gas stages too, while the car is being read.
    bool running() const { return check_ && !ended_; }
    // The stages are done and the run waits for the car's monitor status and stored codes.
    bool readingCar() const { return awaitingObd_ && !ended_; }
    bool ended() const { return ended_; }
    const EmissionsCheck *check() const { return check_.get(); }
    const std::optional<link::LiveReading> &lastReading() const { return last_; }
    std::int64_t nowMs() const;
    const std::optional<CheckRecord> &record() const { return record_; }
    CheckResult result() const;

    // A car's reading older than this on the run's clock is none: engine speed comes about
    // twice a second, each temperature every few seconds.
    static constexpr std::int64_t kCarSpeedFreshMs = 2000;
    static constexpr std::int64_t kCarTemperatureFreshMs = 10000;
    // Both counting the engine speed and more than this apart (share of the analyser's
    // count) for this long on end: the pick-up or the car's count is wrong.
    static constexpr double kSpeedDisagreementShare = 0.10;
    static constexpr std::int64_t kSpeedDisagreementMs = 3000;
    // "The analyser counts 2480 rpm, the car 2950 rpm: check the engine-speed pick-up.";
    // empty while they agree, or one of them counts nothing.
    const QString &speedDisagreement() const { return disagreement_; }
    // Where the engine speed of the last frame taken came from.
    SpeedSource speedSourceNow() const { return speedNow_; }
    // The adapter's state as last taken; none without an adapter.
    const std::optional<obd::ElmSession::State> &obdState() const { return obdState_; }
    const QString &obdProblem() const { return obdProblem_; }
    // How long the run waits after the stages for the car's readout, on its clock.
    std::int64_t obdWaitLeftMs() const;

signals:
    void changed();   // what the screen shows has moved on
    void concluded(); // the verdict (or the stop); the record is built and being saved
    void saved(bool ok, const QString &problem);

private:
    void afterStep();
    void end(bool abandoned);
    void save();
    // Which engine speed a frame is judged by, and whether the two counts disagree.
    std::optional<link::LiveReading> withSpeed(const std::optional<link::LiveReading> &frame);
    void noteDisagreement(int analyserRpm, std::optional<double> carRpm);
    void feedCarTemperatures();
    void loseObd(const ObdSnapshot &snapshot);
    bool obdReadoutDue() const;
    // The judgement of the car's diagnostics and the verdict they leave, once the check ends.
    void concludeObd();
    SpeedSource decidingSpeedSource() const;

    LimitLibrary library_;
    CheckSettings settings_;
    Seams seams_;
    std::optional<Vehicle> vehicle_;
    QString model_, operatorName_;
    LimitChoice choice_;
    std::unique_ptr<EmissionsCheck> check_;
    std::optional<CheckRecord> record_;
    std::optional<link::LiveReading> last_;
    QDateTime startedAt_;
    bool ended_ = false;
    std::vector<QMetaObject::Connection> links_;

    // The car's side: its readings on the run's clock, and how the run uses them.
    template <typename T> struct AtRunMs {
        T value;
        std::int64_t atMs;
    };
    std::vector<QMetaObject::Connection> obdLinks_;
    std::optional<obd::ElmSession::State> obdState_;
    QString obdProblem_;
    bool obdWasReading_ = false;
    std::optional<AtRunMs<double>> carSpeed_;
    std::optional<AtRunMs<int>> carOil_, carCoolant_;
    SpeedSource speedNow_ = SpeedSource::None;
    std::vector<std::pair<std::int64_t, SpeedSource>> speedUsed_; // per frame fed, with an adapter
    std::optional<std::int64_t> disagreeingSinceMs_;
    QString disagreement_;
    bool awaitingObd_ = false;
    std::int64_t awaitingSinceMs_ = 0;
};

} // namespace qova::check
