#pragma once

#include "history/testentry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <span>
#include <vector>

namespace qova::history {

// Every column of the table `tests` but `id`, in the table's order. The schema, the insert,
// the select, the queue's JSON and the export are all made from `TestColumns()`, and each
// reads a column by its name, so a column added there reaches them all.
enum class Column : int {
    Uid,
    Kind,
    TakenAt,
    TakenMs,
    Registration,
    RegistrationKey,
    Vehicle,
    CompanyHeader,
    Fuel,
    FuelCode,
    ModeFlags,
    AfrMode,
    Fahrenheit,
    Co,
    Co2,
    Hc,
    O2,
    Nox,
    Rpm,
    OilTemp,
    Efficiency,
    ReceivedCo,
    ReceivedCo2,
    ReceivedHc,
    ReceivedO2,
    ReceivedNox,
    ReceivedRpm,
    ReceivedOilTemp,
    ReceivedEfficiency,
    Page,
    Verdict,
    Measured,
    FastIdleVerdict,
    FastIdleCo,
    FastIdleHc,
    FastIdleLambda,
    FastIdleRpm,
    NaturalIdleVerdict,
    NaturalIdleCo,
    NaturalIdleHc,
    NaturalIdleLambda,
    NaturalIdleRpm,
    Vin,
    ObdVerdict,
    ObdLamp,
    ObdCodes,
    ObdReadiness,
    SpeedSource,
    WarmSource,
};
inline constexpr int kColumnCount = static_cast<int>(Column::WarmSource) + 1;

// How a column is kept in each place; the value a column's accessors pass is the QString,
// int, bool, QStringList, QDateTime or qint64 of the entry (an invalid QVariant for a
// NULL of a nullable number).
enum class CellType : std::uint8_t {
    Text,            // TEXT NOT NULL; a JSON string
    NullableText,    // TEXT, NULL for a null QString; a JSON string or null
    Integer,         // INTEGER NOT NULL; a JSON number
    NullableInteger, // INTEGER, NULL when not set; a JSON number or null
    Flag,            // INTEGER 0 or 1; a JSON boolean
    Lines,           // TEXT NOT NULL, one line each; a JSON array of strings
    Time,            // ISO 8601 text with the offset; the same text in JSON
    Millis,          // BIGINT, made from the time; not in JSON
};

struct StoredColumn {
    Column column;
    const char *name;    // in the table `tests`
    const char *sqlType; // after the name in CREATE TABLE or ADD COLUMN
    int since;           // the schema version that added it
    CellType type;
    const char *jsonGroup; // the object it sits in in the queue's file; nullptr at the top
    const char *jsonName;  // nullptr: made from another column, never read back
    bool requiredInJson;   // a queued test without it is not a test
    int measuredBit;       // of TestEntry::measured, for the printed values; else 0
    QVariant (*get)(const TestEntry &);
    void (*set)(TestEntry &, const QVariant &); // nullptr for a column made from another
};

std::span<const StoredColumn> TestColumns();
const StoredColumn &StoredColumnOf(Column column);
// The columns that version `version` of the schema has.
std::vector<const StoredColumn *> ColumnsAt(int version);

// The value to bind for `column` of `entry` in an INSERT.
QVariant SqlValue(const StoredColumn &column, const TestEntry &entry);
// Sets `column` of `entry` from what a SELECT gave.
void SetFromSql(const StoredColumn &column, TestEntry &entry, const QVariant &value);

// One row as the export reads it: the text (UTF-8) or number of each column it reads, by
// the column's place in `Column`. Texts last only until the next row.
struct ResultRow {
    qint64 id = 0;
    std::array<QByteArrayView, kColumnCount> text{};
    std::array<qint64, kColumnCount> number{};
    std::array<bool, kColumnCount> null{};
    QByteArrayView textOf(Column c) const { return text[static_cast<std::size_t>(c)]; }
    qint64 numberOf(Column c) const { return number[static_cast<std::size_t>(c)]; }
    bool isNull(Column c) const { return null[static_cast<std::size_t>(c)]; }
};
// The row of a test that was not read from a database; its texts are kept in `keep`.
ResultRow ResultRowOf(const TestEntry &entry, std::vector<QByteArray> &keep);

// The columns of the view `test_results` and of the CSV export, in their order: each made
// from one column of `tests`, formatted the same in both.
enum class ResultFormat : std::uint8_t {
    Text,           // as kept
    TrimmedText,    // the view as kept; the CSV without the page's padding (`LPG   `)
    NullableText,   // NULL or empty when the test has none
    Number,         // as kept
    Fixed,          // the analyser's units to the unit of the name: co 123 -> 1.23
    Lambda,         // the efficiency as lambda when the page showed lambda, else nothing
    Afr,            // the efficiency as an AFR when the page showed one, else nothing
    OilUnit,        // "F" or "C"
    EfficiencyUnit, // "afr" or "lambda"
};
struct ResultColumn {
    const char *name;
    Column from;
    ResultFormat format;
    int decimals; // of Fixed, Lambda and Afr
    int since;    // the schema version whose view first had it
};
std::span<const ResultColumn> ResultColumns();
// The columns of `tests` the export reads, at the newest version.
std::vector<Column> ExportedColumns();
// The SELECT list of the view at schema version `version` (2 or later).
QString ResultsViewSelect(int version);

// The CSV header row: the view's column names.
QStringList ResultColumnNames();

// What an entry of an earlier version, which did not say what was measured, measured: a
// report everything; a check CO, HC, engine speed and lambda when a stage was run (lambda
// is never 0 then), and the oil temperature when it was read from the probe (not 0).
int MeasuredBefore3(const QString &kind, int efficiency, int oilTemp);

} // namespace qova::history
