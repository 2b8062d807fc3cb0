#pragma once

#include "store/storefile.h"

#include <QByteArray>
#include <QString>

namespace qova::store {

// STORE > CSV EXPORT: a data file's tests as CSV for a spreadsheet, beside the data file
// with the extension ".csv" (MAY.QVS gives MAY.csv); the text export stays as it is.
QString CsvPathFor(const QString &dataPath);

// The CSV of the whole records of `data`, dated in `currentYear`'s cycle as the list is:
// taken_at (ISO 8601, the analyser's clock, no offset), hc_ppm, co_pct, co2_pct, o2_pct,
// nox_ppm, rpm, oil_temp_c.
QByteArray StoredTestsCsv(const QByteArray &data, int currentYear);

// "done  MAY.QVS---> MAY.csv", or what failed, in the words of the text export.
QString ExportStoredFileCsv(const QString &dataPath, int currentYear, const SaveFileFactory &makeFile = MakeSaveFile);

} // namespace qova::store
