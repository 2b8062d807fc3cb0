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

// The fuel as the page pads it (`LPG   `) is written without its blanks.
QByteArrayView trimmedFuel(QByteArrayView fuel, QByteArray &scratch)
{
    for (const char c : fuel) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            // Unicode knows more blanks than ASCII; QString's trimming decides, as for a test.
            scratch = QString::fromUtf8(fuel).trimmed().toUtf8();
            return scratch;
        }
    }
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!fuel.isEmpty() && blank(fuel.front()))
        fuel = fuel.sliced(1);
    while (!fuel.isEmpty() && blank(fuel.back()))
        fuel.chop(1);
    return fuel;
}

} // namespace

void WriteTestCsvRow(CsvWriter &csv, const TestEntry &e)
{
    const QByteArray kind = e.kind.toUtf8(), takenAt = IsoTime(e.takenAt).toUtf8(),
                     registration = e.registration.toUtf8(), vehicle = e.vehicle.toUtf8(),
                     header = e.companyHeader.toUtf8(), fuel = e.fuel.toUtf8(), verdict = e.verdict.toUtf8();
    HistoryDatabase::ResultRow row;
    row.id = e.id;
    row.kind = kind;
    row.takenAt = takenAt;
    row.registration = registration;
    row.vehicle = vehicle;
    row.companyHeader = header;
    row.fuel = fuel;
    row.hasVerdict = !e.verdict.isNull();
    row.verdict = verdict;
    row.printed = e.printed;
    row.afr = e.afr;
    row.fahrenheit = e.fahrenheit;
    WriteTestCsvRow(csv, row);
}

void WriteTestCsvRow(CsvWriter &csv, const HistoryDatabase::ResultRow &r)
{
    QByteArray scratch;
    const Values &v = r.printed;
    csv.number(r.id);
    csv.utf8(r.kind);
    csv.utf8(r.takenAt);
    csv.utf8(r.registration);
    csv.utf8(r.vehicle);
    csv.utf8(r.companyHeader);
    csv.utf8(trimmedFuel(r.fuel, scratch));
    csv.fixed(v.co, 2);
    csv.fixed(v.co2, 1);
    csv.number(v.hc);
    csv.fixed(v.o2, 2);
    csv.number(v.nox);
    csv.number(v.rpm);
    csv.fixed(v.oilTemp, 1);
    if (r.afr) {
        csv.empty();
        csv.fixed(v.efficiency, 2);
    } else {
        csv.fixed(v.efficiency, 3);
        csv.empty();
    }
    csv.utf8(r.fahrenheit ? "F" : "C");
    csv.utf8(r.afr ? "afr" : "lambda");
    if (r.hasVerdict)
        csv.utf8(r.verdict);
    else
        csv.empty();
    csv.endRow();
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
