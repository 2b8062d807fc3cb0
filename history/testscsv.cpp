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

namespace {
void writeRow(CsvWriter &csv, qint64 id, const QString &kind, const QString &takenAt, const QString &registration,
              const QString &vehicle, const QString &companyHeader, const QString &fuel, const Values &v, bool afr,
              bool fahrenheit, const QString &verdict)
{
    csv.number(id);
    csv.text(kind);
    csv.text(takenAt);
    csv.text(registration);
    csv.text(vehicle);
    csv.text(companyHeader);
    csv.text(QStringView(fuel).trimmed());
    csv.fixed(v.co, 2);
    csv.fixed(v.co2, 1);
    csv.number(v.hc);
    csv.fixed(v.o2, 2);
    csv.number(v.nox);
    csv.number(v.rpm);
    csv.fixed(v.oilTemp, 1);
    if (afr) {
        csv.empty();
        csv.fixed(v.efficiency, 2);
    } else {
        csv.fixed(v.efficiency, 3);
        csv.empty();
    }
    csv.text(fahrenheit ? u"F" : u"C");
    csv.text(afr ? u"afr" : u"lambda");
    if (verdict.isNull())
        csv.empty();
    else
        csv.text(verdict);
    csv.endRow();
}
} // namespace

void WriteTestCsvRow(CsvWriter &csv, const TestEntry &e)
{
    writeRow(csv, e.id, e.kind, IsoTime(e.takenAt), e.registration, e.vehicle, e.companyHeader, e.fuel, e.printed,
             e.afr, e.fahrenheit, e.verdict);
}

void WriteTestCsvRow(CsvWriter &csv, const HistoryDatabase::ResultRow &r)
{
    writeRow(csv, r.id, r.kind, r.takenAt, r.registration, r.vehicle, r.companyHeader, r.fuel, r.printed, r.afr,
             r.fahrenheit, r.verdict);
}

qint64 ExportTestsCsv(HistoryDatabase &db, const QString &registration, QIODevice &out, QString *error)
{
    CsvWriter csv(out);
    WriteTestsCsvHeader(csv);
    qint64 rows = 0;
    const bool read = db.forEachResult(registration, [&](const HistoryDatabase::ResultRow &row) {
        WriteTestCsvRow(csv, row);
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
