#include "reporthistory.h"

namespace qova::report {

history::Values HistoryValues(const link::LiveReading &r)
{
    return {r.Co, r.Co2, r.Hc, r.O2, r.Nox, r.Rpm, r.OilTemp, r.Efficiency};
}

history::TestEntry ReportEntry(const ReportInput &input, const link::LiveReading &received, const QDateTime &takenAt,
                               const QStringList &reportLines)
{
    history::TestEntry entry = history::NewEntry(takenAt);
    entry.kind = history::kReportKind;
    entry.registration = input.registration;
    entry.vehicle = input.vehicleType;
    entry.companyHeader = input.companyHeader;
    entry.fuel = input.fuelName;
    entry.fuelCode = input.reading.FuelCode;
    entry.modeFlags = input.reading.ModeFlags;
    entry.afr = link::EfficiencyValue(input.reading).alternate;
    entry.fahrenheit = link::OilTemperature(input.reading).alternate;
    entry.printed = HistoryValues(input.reading);
    entry.received = HistoryValues(received);
    entry.pageLines = reportLines;
    return entry;
}

} // namespace qova::report
