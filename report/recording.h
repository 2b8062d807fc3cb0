#pragma once

#include "link/livereading.h"
#include "result/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace qova::report {

using qova::Done;
using qova::Problem;

inline constexpr char kRecordHeader[] = "HC    CO  CO2  O2   NO   RPM   OIL LMBDA/AFR TIME";

// The header, a blank and two line ends.
QByteArray RecordHeader();

// Only readings in normal operation, with no prompt pending and the pump running.
bool ShouldRecord(const link::LiveReading &reading);

// One row from the values as received, before any display limits, ending with `time`,
// a blank and a line end.
QByteArray RecordRow(const link::LiveReading &reading, const QString &time);

// A file named *.csv gets the readings as CSV for a spreadsheet; any other name the
// original text rows.
enum class RecordFormat { Text, Csv };
RecordFormat RecordFormatFor(const QString &path);

// The save dialog's filters: the original text file first, and selected when it opens.
inline constexpr char kRecordTextFilter[] = "Qova Test Data File (*.TXT *.txt)";
inline constexpr char kRecordCsvFilter[] = "CSV for spreadsheets (*.csv)";
inline constexpr char kRecordTextSuffix[] = "TXT";
// Both, as the file box takes them.
QString RecordFileFilters();

// Where to record and how, from the name the dialog gave and the filter left selected:
// the CSV filter or a name ending in .csv records CSV; a name with no dot under the CSV
// filter gets .csv (`suffixAdded`).
struct RecordTarget {
    QString path;
    RecordFormat format = RecordFormat::Text;
    bool suffixAdded = false;
    friend bool operator==(const RecordTarget &, const RecordTarget &) = default;
};
RecordTarget RecordTargetFor(const QString &chosen, const QString &selectedFilter);

// The CSV's byte-order mark and header row; and one row: taken_at (ISO 8601 with offset),
// hc_ppm, co_pct, co2_pct, o2_pct, nox_ppm, rpm, oil_temp_c, lambda, afr (one of the two).
QByteArray RecordCsvHeader();
QByteArray RecordCsvRow(const link::LiveReading &reading, const QDateTime &time);

// The open recording file. Each row goes down in one write and is synced to the disk
// before the next reading, so a crash or power cut costs at most the row being written.
class RecordFile {
public:
    RecordFile() = default;
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;
    ~RecordFile();

    // Creates or empties `path` and writes the header. On a problem (its `why` the
    // system's reason) no file is left open.
    Done open(const QString &path, RecordFormat format = RecordFormat::Text);
    RecordFormat format() const { return format_; }
    // A problem when the row did not go down whole; the file then ends after the last
    // whole row where the system allows it, and is closed.
    Done writeRow(const QByteArray &row);
    void close();

    bool isOpen() const { return fd_ >= 0; }
    const QString &path() const { return path_; }

private:
    // The system's reason, or empty when it went down whole.
    QString writeWhole(const QByteArray &bytes);

    int fd_ = -1;
    RecordFormat format_ = RecordFormat::Text;
    long long size_ = 0;
    QString path_;
};

} // namespace qova::report
