#pragma once

#include "link/protocol.h"
#include "result/result.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::check {

using qova::Done;
using qova::Problem;
using qova::Result;

using link::Fuel;
using link::FuelFromCode;
using link::StoichiometricAfrTenths;
// Whether an HC limit is applied to an engine on this fuel: never to natural gas, nearly
// all methane, which the analyser's HC bench barely sees.
bool HcLimitApplies(Fuel fuel);

enum class StageKind : std::uint8_t { FastIdle, NaturalIdle };
QString StageName(StageKind kind); // "fast idle", "natural idle"

// Limits in the analyser's own units, so that a reading exactly at one compares equal.
struct GasLimits {
    std::optional<int> coMax;     // 0.01 % vol
    std::optional<int> hcMax;     // ppm
    std::optional<int> lambdaMin; // x1000
    std::optional<int> lambdaMax;
    bool operator==(const GasLimits &) const = default;
};

// After a fail on HC alone, HC is measured again with the engine in this speed window,
// with the same settling and 5 s rule; CO stands as measured at the stage's own speed.
struct HcRecheck {
    int minRpm = 0, maxRpm = 0;
    int hcMax = 0; // ppm
    bool operator==(const HcRecheck &) const = default;
};

struct StageLimits {
    StageKind kind = StageKind::NaturalIdle;
    int minRpm = 0, maxRpm = 0; // inclusive
    GasLimits limits;
    std::optional<HcRecheck> recheck;
    bool operator==(const StageLimits &) const = default;
};

// What a set makes of the car's own diagnostics, read through an adapter beside the analyser.
// A set without one records them and judges nothing.
struct ObdRule {
    bool lampFails = false; // a warning lamp commanded on fails the check
    // More monitors incomplete than this and the car is not ready for test; none: not judged.
    std::optional<int> incompleteMonitorsAllowed;
    bool storedCodesFail = false;
    bool judgesAnything() const { return lampFails || incompleteMonitorsAllowed || storedCodesFail; }
    bool operator==(const ObdRule &) const = default;
};

inline constexpr int kDefaultWarmCoolantC = 70;

struct LimitSet {
    QString id, name, source, scheme;
    QStringList vehicleTypes;
    QString applies;
    std::optional<QDate> firstUsedFrom;   // inclusive
    std::optional<QDate> firstUsedBefore; // exclusive
    std::vector<Fuel> fuels;              // empty: every fuel
    std::optional<bool> catalyst, twoStroke;
    // false: no limits apply; the readings are only recorded.
    bool metered = true;
    std::vector<StageLimits> stages;
    std::optional<ObdRule> obd;
    // The coolant temperature the car's own sensor must show before the engine counts as
    // warm, when neither an oil probe nor the car's oil temperature is there (degC).
    int warmCoolantC = kDefaultWarmCoolantC;
    QString file; // where it was read from
    bool operator==(const LimitSet &) const = default;
};

// Reads a limit set file (format in check/README.md). On an error no set of it is returned;
// the problem's text is "FILE: line N: ...", or "FILE: sets[1].coMax: ..." with `set "ID": `
// after FILE once the set's id could be read.
Result<std::vector<LimitSet>> ParseLimitSets(const QByteArray &json, const QString &fileName);

// A workshop file larger than this is refused without being read.
inline constexpr qint64 kLimitSetFileMaxBytes = 1024 * 1024;

struct LimitLibrary {
    std::vector<LimitSet> sets; // shipped first, then the workshop's
    QString workshopError;      // the workshop file was left out, and why
};

// The shipped sets, compiled in.
std::vector<LimitSet> ShippedLimitSets();
// The shipped set of that id. Only a program's own fixed choice asks for one by id, so none
// found is the program's mistake, not the operator's.
Result<LimitSet> ShippedLimitSet(const QString &id);
// "limitsets.json" in the user's configuration folder.
QString WorkshopLimitFilePath();
// The shipped sets and, when `workshopFile` exists and reads, its sets. A workshop set
// may not take the id of another set.
LimitLibrary LoadLimitLibrary(const QString &workshopFile);

// The vehicle maker's own figures, typed in for one check. Empty values are not applied.
struct MakerFigures {
    bool fastIdle = true;
    int fastMinRpm = 2500, fastMaxRpm = 3000;
    std::optional<double> fastCoPercent;
    std::optional<int> fastHcPpm;
    std::optional<double> fastLambdaMin, fastLambdaMax;
    int idleMinRpm = 450, idleMaxRpm = 1500;
    std::optional<double> idleCoPercent;
    std::optional<int> idleHcPpm;
};
// The set the figures make, or which figure is wrong.
Result<LimitSet> MakerLimitSet(const MakerFigures &figures);

struct Vehicle {
    QString registration;
    QString scheme = QStringLiteral("UK"); // where it is registered
    QString type = QStringLiteral("car");
    QDate firstUsed;
    Fuel fuel = Fuel::Petrol;
    bool catalyst = false;
    bool twoStroke = false;
    // As typed or read from the car; empty when not given.
    QString vin;
};

struct LimitChoice {
    std::optional<LimitSet> set;
    // "UK car, first used 1 August 1992 or later: catalyst test", or why none fits.
    QString reason;
};
LimitChoice ChooseLimitSet(const std::vector<LimitSet> &sets, const Vehicle &vehicle);

} // namespace qova::check
