#pragma once

#include "result/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringView>
#include <memory>

namespace qova::history {

// RFC 4180: fields separated by commas, rows ended by CRLF, a field quoted (its quotes
// doubled) when it holds a comma, a quote or a line break. UTF-8 with a byte-order mark
// first, so spreadsheets read the accents and the degree sign. A text field that a
// spreadsheet would take for a formula (it starts with =, +, -, @, a tab or a CR) gets a
// leading ' so it stays text; numbers go through number() and fixed() and stay numbers.
class CsvWriter {
public:
    // Without the byte-order mark for rows added to a file that has one.
    explicit CsvWriter(QIODevice &out, bool byteOrderMark = true);
    ~CsvWriter();
    CsvWriter(const CsvWriter &) = delete;
    CsvWriter &operator=(const CsvWriter &) = delete;

    void text(QStringView value);
    // A field already in UTF-8, as a database hands it over: written without a conversion.
    void utf8(QByteArrayView value);
    void number(qint64 value);
    // `scaled` / 10^decimals with exactly `decimals` places and a decimal point: (123, 2) is 1.23;
    // 24 places at most.
    void fixed(qint64 scaled, int decimals);
    void empty();
    void endRow();

    // Writes what is left; the device's reason when any write failed.
    Done finish();

private:
    void reserve(qsizetype more);
    void put(const char *bytes, qsizetype size);
    void separate();
    // Quotes the field written from `at` to the end when it needs it.
    void quoteIfNeeded(qsizetype at);
    void flush();

    QIODevice &out_;
    // A plain array rather than a QByteArray: every field is several appends, and the
    // export writes millions of them.
    std::unique_ptr<char[]> buffer_;
    qsizetype size_ = 0, capacity_ = 0;
    bool rowStarted_ = false;
    bool failed_ = false;
    QString error_;
};

} // namespace qova::history
