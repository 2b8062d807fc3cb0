#pragma once

#include "history/historydatabase.h"
#include "history/testentry.h"

#include <QIODevice>
#include <QStringList>
#include <vector>

namespace qova::history {

class CsvWriter;

// The header row: the columns of the view test_results, units in their names.
QStringList TestsCsvHeader();
void WriteTestsCsvHeader(CsvWriter &csv);
// One row per test, the values as printed; what was not measured is left empty.
void WriteTestCsvRow(CsvWriter &csv, const TestEntry &entry);
void WriteTestCsvRow(CsvWriter &csv, const ResultRow &row);

// The tests of `registration` (all when empty), newest first, as CSV into `out`; the
// number of rows.
Result<qint64> ExportTestsCsv(HistoryDatabase &db, const QString &registration, QIODevice &out);

} // namespace qova::history
