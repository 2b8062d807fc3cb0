#include "testscsv.h"

#include "csvwriter.h"

namespace qova::history {

QStringList TestsCsvHeader()
{
    return {QStringLiteral("id"),           QStringLiteral("kind"),          QStringLiteral("taken_at"),
            QStringLiteral("registration"), QStringLiteral("vehicle"),       QStringLiteral("company_header"),
            QStringLiteral("fuel"),         QStringLiteral("co_pct"),        QStringLiteral("co2_pct"),
            QStringLiteral("hc_ppm"),       QStringLiteral("o2_pct"),        QStringLiteral("nox_ppm"),
            QStringLiteral("rpm"),          QStringLiteral("oil_temp_c"),    QStringLiteral("lambda"),
            QStringLiteral("afr"),          QStringLiteral("oil_temp_unit"), QStringLiteral("efficiency_unit"),
            QStringLiteral("verdict")};
}

void WriteTestsCsvHeader(CsvWriter &csv)
{
    for (const QString &name : TestsCsvHeader())
        csv.text(name);
    csv.endRow();
}

void WriteTestCsvRow(CsvWriter &csv, const TestEntry &e)
{
    const Values &v = e.printed;
    csv.number(e.id);
    csv.text(e.kind);
    csv.text(IsoTime(e.takenAt));
    csv.text(e.registration);
    csv.text(e.vehicle);
    csv.text(e.companyHeader);
    csv.text(e.fuel.trimmed());
    csv.fixed(v.co, 2);
    csv.fixed(v.co2, 1);
    csv.number(v.hc);
    csv.fixed(v.o2, 2);
    csv.number(v.nox);
    csv.number(v.rpm);
    csv.fixed(v.oilTemp, 1);
    if (e.afr) {
        csv.empty();
        csv.fixed(v.efficiency, 2);
    } else {
        csv.fixed(v.efficiency, 3);
        csv.empty();
    }
    csv.text(e.fahrenheit ? QStringLiteral("F") : QStringLiteral("C"));
    csv.text(e.afr ? QStringLiteral("afr") : QStringLiteral("lambda"));
    if (e.verdict.isNull())
        csv.empty();
    else
        csv.text(e.verdict);
    csv.endRow();
}

qint64 ExportTestsCsv(HistoryDatabase &db, const QString &registration, QIODevice &out, QString *error)
{
    CsvWriter csv(out);
    WriteTestsCsvHeader(csv);
    qint64 rows = 0;
    const bool read = db.forEach(registration, [&](const TestEntry &entry) {
        WriteTestCsvRow(csv, entry);
        ++rows;
    });
    if (!read) {
        if (error)
            *error = db.lastError();
        return -1;
    }
    if (!csv.finish()) {
        if (error)
            *error = csv.error();
        return -1;
    }
    return rows;
}

} // namespace qova::history
