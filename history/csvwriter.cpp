#include "csvwriter.h"

namespace qova::history {

namespace {
constexpr qsizetype kChunk = 1 << 16;
}

CsvWriter::CsvWriter(QIODevice &out, bool byteOrderMark) : out_(out)
{
    buffer_.reserve(kChunk + 4096);
    if (byteOrderMark)
        buffer_.append("\xEF\xBB\xBF");
}

CsvWriter::~CsvWriter()
{
    finish();
}

void CsvWriter::separate()
{
    if (rowStarted_)
        buffer_.append(',');
    rowStarted_ = true;
}

void CsvWriter::text(QStringView value)
{
    separate();
    bool quote = false;
    bool ascii = true;
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        quote = quote || u == u',' || u == u'"' || u == u'\r' || u == u'\n';
        ascii = ascii && u < 0x80;
    }
    if (!quote) {
        // Most fields are plain ASCII: copied byte for byte without a UTF-8 conversion.
        if (ascii) {
            const qsizetype at = buffer_.size();
            buffer_.resize(at + value.size());
            char *out = buffer_.data() + at;
            for (const QChar c : value)
                *out++ = static_cast<char>(c.unicode());
        } else {
            buffer_.append(value.toUtf8());
        }
        return;
    }
    buffer_.append('"');
    for (const QChar c : value) {
        if (c == u'"')
            buffer_.append('"');
        buffer_.append(QStringView(&c, 1).toUtf8());
    }
    buffer_.append('"');
}

void CsvWriter::number(qint64 value)
{
    fixed(value, 0);
}

void CsvWriter::fixed(qint64 scaled, int decimals)
{
    separate();
    // Worked in integers: a printed 0.29 stays 0.29, never 0.28999.
    char digits[32];
    int n = 0;
    const bool negative = scaled < 0;
    quint64 v = negative ? 0 - static_cast<quint64>(scaled) : static_cast<quint64>(scaled);
    for (int i = 0; i < decimals; ++i) {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    if (decimals > 0)
        digits[n++] = '.';
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        buffer_.append('-');
    while (n)
        buffer_.append(digits[--n]);
}

void CsvWriter::empty()
{
    separate();
}

void CsvWriter::endRow()
{
    buffer_.append("\r\n", 2);
    rowStarted_ = false;
    flushIfFull();
}

void CsvWriter::flushIfFull()
{
    if (buffer_.size() < kChunk || failed_)
        return;
    if (out_.write(buffer_) != buffer_.size()) {
        failed_ = true;
        error_ = out_.errorString();
    }
    buffer_.clear();
}

bool CsvWriter::finish()
{
    if (!failed_ && !buffer_.isEmpty() && out_.write(buffer_) != buffer_.size()) {
        failed_ = true;
        error_ = out_.errorString();
    }
    buffer_.clear();
    return !failed_;
}

} // namespace qova::history
