#include "check/checkrecord.h"

#include "check/checkresult.h"

#include "link/livereading.h"
#include "link/protocol.h"

#include <cmath>

namespace qova::check {

namespace {

int rounded(double mean)
{
    return static_cast<int>(std::lround(mean));
}

// What decided the stage of `kind`, read from the record's stage results; the one place
// the history learns a stage's values.
history::StageValues stageValues(const CheckRecord &record, StageKind kind)
{
    history::StageValues values;
    for (const StageResult &stage : record.state.stages) {
        if (stage.kind != kind)
            continue;
        values.verdict = VerdictName(stage.verdict);
        if (stage.window.readings == 0 && !stage.recheckWindow)
            continue;
        values.co = rounded(stage.window.co.mean);
        values.lambda = rounded(stage.window.lambda.mean);
        values.rpm = rounded(stage.window.rpm.mean);
        // After a re-check HC was decided at the re-check speed, the rest at the stage's own.
        values.hc = rounded(stage.recheckWindow ? stage.recheckWindow->hc.mean : stage.window.hc.mean);
    }
    return values;
}

} // namespace

history::TestEntry CheckEntry(const CheckRecord &record, const QStringList &certificateLines)
{
    history::TestEntry entry = history::NewEntry(record.finishedAt.isValid() ? record.finishedAt : record.startedAt);
    entry.kind = history::kCheckKind;
    entry.registration = record.vehicle.registration;
    entry.vehicle = record.model;
    entry.companyHeader = record.companyHeader;
    entry.fuel = link::FuelName(record.fuelCode, false);
    entry.fuelCode = record.fuelCode;
    entry.modeFlags = record.afrShown ? link::AfrMode : 0;
    // The check judges lambda, whatever the analyser showed, so lambda is what is kept.
    entry.afr = false;

    entry.fastIdle = stageValues(record, StageKind::FastIdle);
    entry.naturalIdle = stageValues(record, StageKind::NaturalIdle);
    // A check measures no CO2, O2 or NOx; the oil only through the probe.
    entry.measured = 0;
    history::Values v;
    if (!record.state.stages.empty()) {
        const history::StageValues last =
            record.state.stages.back().kind == StageKind::FastIdle ? entry.fastIdle : entry.naturalIdle;
        if (last.lambda) {
            v.co = *last.co;
            v.hc = *last.hc;
            v.efficiency = *last.lambda;
            v.rpm = *last.rpm;
            entry.measured |=
                history::MeasuredCo | history::MeasuredHc | history::MeasuredEfficiency | history::MeasuredRpm;
        }
    }
    if (record.state.warmOilTenths) {
        v.oilTemp = *record.state.warmOilTenths;
        entry.measured |= history::MeasuredOilTemp;
    }
    entry.printed = v;
    entry.received = v;
    entry.pageLines = certificateLines;
    entry.verdict = record.abandoned ? QStringLiteral("abandoned") : VerdictName(record.state.overall);

    const CheckResult result = ResultOf(record);
    if (!record.vehicle.vin.isEmpty())
        entry.vin = record.vehicle.vin;
    else if (result.obd && record.obd->vin.known())
        entry.vin = result.obd->vin;
    if (result.obd) {
        entry.obdVerdict = result.obd->verdict.toLower();
        entry.obdLamp = result.obd->lamp;
        // The dashboard beside the car's word, in the one text, so the history's columns stay.
        if (const ObdPart &part = *record.obd; part.dashboardLampAsked)
            entry.obdLamp += QStringLiteral("; dashboard: %1")
                                 .arg(!part.dashboardLamp   ? QStringLiteral("not confirmed")
                                      : *part.dashboardLamp ? QStringLiteral("on")
                                                            : QStringLiteral("off"));
        entry.obdCodes = result.obd->codes;
        entry.obdReadiness = ReadinessText(*result.obd);
    }
    entry.speedSource = result.speedSource;
    entry.warmSource = result.warmSource;
    return entry;
}

} // namespace qova::check
