#pragma once

#include "check/checkrecord.h"
#include "check/checkresult.h"
#include "check/emissionscheck.h"
#include "check/limitset.h"
#include "link/livereading.h"

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
    // The clock alone, so a step's time-out ends a check whose frames stopped.
    void tick();
    void confirmCleanAir();
    void confirmEngineWarm();
    // The operator stopped the check before its verdict.
    void abandon();

    bool running() const { return check_ && !check_->finished() && !ended_; }
    bool ended() const { return ended_; }
    const EmissionsCheck *check() const { return check_.get(); }
    const std::optional<link::LiveReading> &lastReading() const { return last_; }
    std::int64_t nowMs() const;
    const std::optional<CheckRecord> &record() const { return record_; }
    CheckResult result() const;

signals:
    void changed();   // what the screen shows has moved on
    void concluded(); // the verdict (or the stop); the record is built and being saved
    void saved(bool ok, const QString &problem);

private:
    void afterStep();
    void end(bool abandoned);
    void save();

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
};

} // namespace qova::check
