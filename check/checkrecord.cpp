#include "checkrecord.h"

#include "livereading.h"
#include "protocol.h"

#include <cmath>

namespace qova::check {

namespace {

int rounded(double mean)
{
    return static_cast<int>(std::lround(mean));
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

    history::Values v;
    if (!record.state.stages.empty()) {
        const StageResult &last = record.state.stages.back();
        v.co = rounded(last.window.co.mean);
        v.efficiency = rounded(last.window.lambda.mean);
        v.rpm = rounded(last.window.rpm.mean);
        // After a re-check HC was decided at the re-check speed, the rest at the stage's own.
        v.hc = rounded(last.recheckWindow ? last.recheckWindow->hc.mean : last.window.hc.mean);
    }
    v.oilTemp = record.state.warmOilTenths.value_or(0);
    entry.printed = v;
    entry.received = v;
    entry.pageLines = certificateLines;
    entry.verdict = record.abandoned ? QStringLiteral("abandoned") : VerdictName(record.state.overall);
    return entry;
}

} // namespace qova::check
