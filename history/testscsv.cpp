#include "history/testscsv.h"

#include "history/csvwriter.h"

namespace qova::history {

QStringList TestsCsvHeader()
{
    return ResultColumnNames();
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
    std::vector<QByteArray> texts;
    WriteTestCsvRow(csv, ResultRowOf(e, texts));
}

void WriteTestCsvRow(CsvWriter &csv, const ResultRow &r)
{
    QByteArray scratch;
    const bool afr = r.numberOf(Column::AfrMode) != 0;
    const qint64 measured = r.numberOf(Column::Measured);
    csv.number(r.id);
    for (const ResultColumn &column : ResultColumns()) {
        const int bit = StoredColumnOf(column.from).measuredBit;
        // What was not measured is left empty rather than read as 0.
        if (r.isNull(column.from) || (bit != 0 && (measured & bit) == 0)) {
            csv.empty();
            continue;
        }
        const qint64 value = r.numberOf(column.from);
        switch (column.format) {
        case ResultFormat::Text:
        case ResultFormat::NullableText:
            csv.utf8(r.textOf(column.from));
            break;
        case ResultFormat::TrimmedText:
            csv.utf8(trimmedFuel(r.textOf(column.from), scratch));
            break;
        case ResultFormat::Number:
            csv.number(value);
            break;
        case ResultFormat::Fixed:
            csv.fixed(value, column.decimals);
            break;
        case ResultFormat::Lambda:
            if (afr)
                csv.empty();
            else
                csv.fixed(value, column.decimals);
            break;
        case ResultFormat::Afr:
            if (afr)
                csv.fixed(value, column.decimals);
            else
                csv.empty();
            break;
        case ResultFormat::OilUnit:
            csv.utf8(value != 0 ? "F" : "C");
            break;
        case ResultFormat::EfficiencyUnit:
            csv.utf8(value != 0 ? "afr" : "lambda");
            break;
        }
    }
    csv.endRow();
}

Result<qint64> ExportTestsCsv(HistoryDatabase &db, const QString &registration, QIODevice &out)
{
    CsvWriter csv(out);
    WriteTestsCsvHeader(csv);
    qint64 rows = 0;
    Done read = db.forEachResult(registration, [&](const HistoryDatabase::ResultRow &row) {
        WriteTestCsvRow(csv, row);
        ++rows;
    });
    if (!read.ok())
        return read.problem();
    if (Done finished = csv.finish(); !finished.ok())
        return finished.problem();
    return rows;
}

} // namespace qova::history
