#pragma once

#include "check/checkrecord.h"
#include "tests/check/checkdrive.h"

namespace qova::test {

// Whole checks driven a frame a second, for the record, the certificate and its plot.
// The first frame is the probe in clean air (HC 4 ppm, the residual); every later value
// swings by one step either side of its mean on odd and even seconds, so a window's mean
// and worst differ.
enum class SampleCheck : std::uint8_t {
    Pass,         // UK catalyst test, a good car: fast idle 11-16 s, natural idle 50-55 s
    Fail,         // UK catalyst test, failed catalyst: HC and lambda out at fast idle, CO at idle
    Recheck,      // UK 1986 band: HC 1500 ppm at idle, passed at 2000 rpm
    Unmetered,    // first used in 1970: readings recorded
    Confirmed,    // the good car with no oil probe; the operator says it is warm
    Cng,          // the good car on natural gas with HC of 900 ppm, not applied
    Abandoned,    // the good car, stopped after fast idle
    MakerAfr,     // the vehicle maker's figures, the analyser showing AFR
    NoValidFrame, // UK 1986 band: every frame fails its check once measuring starts
};

inline int Swing(std::int64_t atMs)
{
    return (atMs / 1000) % 2 == 1 ? 1 : -1;
}

inline std::optional<link::LiveReading> SampleFrame(SampleCheck which, std::int64_t t)
{
    const int s = Swing(t);
    const int oil = which == SampleCheck::Confirmed ? 0 : 800;
    if (t <= 0)
        return test::CleanAir(4, oil);
    switch (which) {
    case SampleCheck::Fail:
        if (t < 45000)
            return Exhaust(2750, 25, 354, 1060, oil);
        return Exhaust(800, 80 + 2 * s, 424, 1050, oil);
    case SampleCheck::Recheck:
        if (t < 42000)
            return Exhaust(800 + 10 * s, 100 + 4 * s, 1504, 1000, oil);
        return Exhaust(2000 + 20 * s, 60, 404 + 8 * s, 1000, oil);
    case SampleCheck::Unmetered:
        return Exhaust(800, 300 + 10 * s, 804, 990, oil);
    case SampleCheck::NoValidFrame:
        if (t > 10000)
            return std::nullopt;
        return Exhaust(800, 100, 104, 1000, oil);
    case SampleCheck::Cng:
        if (t < 40000)
            return Exhaust(2750, 5 + s, 904, 1000, oil);
        return Exhaust(800, 10, 904, 1005, oil);
    case SampleCheck::MakerAfr: {
        // AFR x100 of petrol: 1470 is lambda 1.000.
        auto afr = Exhaust(t < 40000 ? 2750 : 800, 5, 34, 1470 + 15 * s, oil);
        afr.ModeFlags = link::AfrMode;
        return afr;
    }
    default:
        if (t < 40000)
            return Exhaust(2750 + 20 * s, 5 + s, 34 + 4 * s, t == 13000 ? 1004 : 1000, oil);
        return Exhaust(800, 10, 54, 1005, oil);
    }
}

inline check::CheckRecord SampleRecord(SampleCheck which)
{
    check::CheckRecord r;
    r.vehicle.registration = QStringLiteral("AB12 CDE");
    r.vehicle.firstUsed = QDate(2005, 3, 1);
    r.vehicle.catalyst = true;
    r.model = QStringLiteral("FORD FIESTA 1.2");
    r.operatorName = QStringLiteral("J SMITH");
    r.companyHeader = QStringLiteral("FAIRWAY MOTORS");
    r.startedAt = QDateTime(QDate(2026, 3, 2), QTime(10, 40, 0));
    r.limits = check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value();
    switch (which) {
    case SampleCheck::Recheck:
    case SampleCheck::NoValidFrame:
        r.vehicle.firstUsed = QDate(1990, 6, 1);
        r.vehicle.catalyst = false;
        r.limits = check::ShippedLimitSet(QStringLiteral("uk-1986")).value();
        break;
    case SampleCheck::Unmetered:
        r.vehicle.firstUsed = QDate(1970, 5, 1);
        r.vehicle.catalyst = false;
        r.limits = check::ShippedLimitSet(QStringLiteral("uk-before-1975")).value();
        break;
    case SampleCheck::Cng:
        r.vehicle.fuel = check::Fuel::Cng;
        r.fuelCode = 2;
        break;
    case SampleCheck::MakerAfr: {
        check::MakerFigures f;
        f.fastCoPercent = 0.2;
        f.fastLambdaMin = 0.98;
        f.fastLambdaMax = 1.02;
        f.idleCoPercent = 0.3;
        r.limits = check::MakerLimitSet(f).value();
        r.origin = check::LimitOrigin::MakersFigures;
        r.afrShown = true;
        break;
    }
    default:
        break;
    }
    if (r.origin == check::LimitOrigin::Chosen)
        r.limitReason = check::ChooseLimitSet(check::ShippedLimitSets(), r.vehicle).reason;

    check::EmissionsCheck check(r.limits, r.vehicle.fuel, r.settings);
    if (which == SampleCheck::Confirmed)
        check.confirmEngineWarm();
    const std::int64_t until = which == SampleCheck::Abandoned ? 20000 : 10 * 60 * 1000;
    const auto end = Drive(
        check, [which](std::int64_t t) { return SampleFrame(which, t); }, until, 1000);
    r.state = check.state();
    r.abandoned = which == SampleCheck::Abandoned;
    r.finishedAt = r.startedAt.addMSecs(end.value_or(until));
    return r;
}

} // namespace qova::test
