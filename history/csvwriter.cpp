#include "history/csvwriter.h"

#include <algorithm>
#include <cstring>

namespace qova::history {

namespace {
constexpr qsizetype kChunk = 1 << 16;
}

CsvWriter::CsvWriter(QIODevice &out, bool byteOrderMark) : out_(out)
{
    reserve(kChunk + 4096);
    if (byteOrderMark)
        put("\xEF\xBB\xBF", 3);
}

CsvWriter::~CsvWriter()
{
    // A writer not finished by its owner has nobody to tell.
    (void)finish();
}

void CsvWriter::reserve(qsizetype more)
{
    if (size_ + more <= capacity_)
        return;
    const qsizetype capacity = std::max(capacity_ * 2, size_ + more);
    auto grown = std::make_unique<char[]>(static_cast<size_t>(capacity));
    if (size_ > 0)
        std::memcpy(grown.get(), buffer_.get(), static_cast<size_t>(size_));
    buffer_ = std::move(grown);
    capacity_ = capacity;
}

void CsvWriter::put(const char *bytes, qsizetype size)
{
    reserve(size);
    if (size > 0)
        std::memcpy(buffer_.get() + size_, bytes, static_cast<size_t>(size));
    size_ += size;
}

void CsvWriter::separate()
{
    if (rowStarted_)
        put(",", 1);
    rowStarted_ = true;
}

namespace {
// A spreadsheet takes a cell that starts with one of these for a formula (a tab or CR ahead
// of one is skipped by some): `=HYPERLINK(...)` typed as a registration would run there.
bool startsLikeAFormula(char first)
{
    return first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r';
}
} // namespace

void CsvWriter::text(QStringView value)
{
    bool ascii = true;
    for (const QChar c : value)
        ascii = ascii && c.unicode() < 0x80;
    if (!ascii) {
        utf8(value.toUtf8());
        return;
    }
    // Most fields are plain ASCII: narrowed byte for byte without a UTF-8 conversion.
    separate();
    const qsizetype at = size_;
    if (!value.isEmpty() && startsLikeAFormula(static_cast<char>(value.front().unicode())))
        put("'", 1);
    reserve(value.size());
    char *out = buffer_.get() + size_;
    for (const QChar c : value)
        *out++ = static_cast<char>(c.unicode());
    size_ += value.size();
    quoteIfNeeded(at);
}

void CsvWriter::utf8(QByteArrayView value)
{
    separate();
    const qsizetype at = size_;
    if (!value.isEmpty() && startsLikeAFormula(value.front()))
        put("'", 1);
    put(value.data(), value.size());
    quoteIfNeeded(at);
}

void CsvWriter::quoteIfNeeded(qsizetype at)
{
    // A comma, a quote and a line break are ASCII and never part of a longer UTF-8
    // sequence, so the bytes tell.
    const char *field = buffer_.get() + at;
    const qsizetype end = size_;
    qsizetype quotes = 0;
    bool special = false;
    for (qsizetype i = 0; i < end - at; ++i) {
        const char c = field[i];
        quotes += c == '"';
        special = special || c == ',' || c == '\r' || c == '\n';
    }
    if (!special && quotes == 0)
        return;
    reserve(quotes + 2);
    char *data = buffer_.get();
    // Moved back to front so each byte is read before it is overwritten.
    char *to = data + end + quotes + 2;
    *--to = '"';
    for (qsizetype i = end; i-- > at;) {
        *--to = data[i];
        if (data[i] == '"')
            *--to = '"';
    }
    *--to = '"';
    size_ = end + quotes + 2;
}

void CsvWriter::number(qint64 value)
{
    fixed(value, 0);
}

void CsvWriter::fixed(qint64 scaled, int decimals)
{
    separate();
    // Worked in integers: a printed 0.29 stays 0.29, never 0.28999.
    char digits[48]; // 20 digits, the point, the sign and up to 24 decimals
    decimals = std::clamp(decimals, 0, 24);
    char *end = digits + sizeof digits;
    char *first = end;
    const bool negative = scaled < 0;
    quint64 v = negative ? 0 - static_cast<quint64>(scaled) : static_cast<quint64>(scaled);
    for (int i = 0; i < decimals; ++i) {
        *--first = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    if (decimals > 0)
        *--first = '.';
    do {
        *--first = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        *--first = '-';
    put(first, end - first);
}

void CsvWriter::empty()
{
    separate();
}

void CsvWriter::endRow()
{
    put("\r\n", 2);
    rowStarted_ = false;
    if (size_ >= kChunk)
        flush();
}

void CsvWriter::flush()
{
    if (!failed_ && size_ > 0 && out_.write(buffer_.get(), size_) != size_) {
        failed_ = true;
        error_ = out_.errorString();
    }
    size_ = 0;
}

Done CsvWriter::finish()
{
    flush();
    if (failed_)
        return Problem{{}, error_, {}};
    return {};
}

} // namespace qova::history
