#include "report/reporthistory.h"

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

QString LastResultText(const history::TestEntry &e)
{
    const history::Values &v = e.printed;
    const QString efficiency = e.afr ? QString::asprintf("AFR %.2f", v.efficiency * 0.01)
                                     : QString::asprintf("Lambda %.3f", v.efficiency * 0.001);
    QString text =
        QStringLiteral("Last test %1: CO %2%, HC %3 ppm, %4")
            .arg(e.takenAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QString::asprintf("%.2f", v.co * 0.01))
            .arg(v.hc)
            .arg(efficiency);
    if (!e.verdict.isNull())
        text += QStringLiteral(", ") + e.verdict;
    return text;
}

} // namespace qova::report
