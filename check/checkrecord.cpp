#include "checkrecord.h"

#include "checkresult.h"

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
    // The values of the last stage run: CO, lambda and speed from its deciding window, HC
    // from its re-check when there was one.
    const CheckResult result = ResultOf(record);
    for (auto stage = result.stages.rbegin(); stage != result.stages.rend(); ++stage) {
        if (!stage->ran)
            continue;
        auto mean = [&](const QString &gas) -> std::optional<int> {
            for (const GasResult &g : stage->gases)
                if (g.gas.startsWith(gas) && g.deciding)
                    return rounded(g.deciding->mean);
            return std::nullopt;
        };
        v.co = mean(QStringLiteral("CO")).value_or(0);
        v.efficiency = mean(QStringLiteral("Lambda")).value_or(0);
        v.rpm = mean(QStringLiteral("Engine speed")).value_or(0);
        v.hc = mean(QStringLiteral("HC re-check")).value_or(mean(QStringLiteral("HC")).value_or(0));
        break;
    }
    v.oilTemp = record.state.warmOilTenths.value_or(0);
    entry.printed = v;
    entry.received = v;
    entry.pageLines = certificateLines;
    entry.verdict = record.abandoned ? QStringLiteral("abandoned") : VerdictName(record.state.overall);
    return entry;
}

} // namespace qova::check
