// A data file may hold anything: the text has one row per whole record after its header,
// each row the same as the viewer's, and nothing past the last whole record is read.
#include "store/storedtest.h"
#include "store/storefile.h"

#include <QList>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const int year = 2000 + static_cast<int>(size % 300);
    const QByteArray text = qova::store::StoredTestsText(bytes, year);
    const qsizetype records = bytes.size() / 30;
    const QList<QByteArray> lines = text.split('\n');
    // Header, a blank line, one line per record, and the empty piece after the last line end.
    if (lines.size() != records + 3 || !lines.last().isEmpty())
        std::abort();
    char row[256];
    for (qsizetype i = 0; i < records; ++i) {
        const auto *record = data + i * 30;
        const std::size_t n = qova::store::FormatStoredTestRow(record, year, row);
        if (n == 0 || n >= sizeof row)
            std::abort();
        if (qova::store::FormatStoredTestRow(record, year) != QString::fromLatin1(row, static_cast<qsizetype>(n)))
            std::abort();
        if (lines[2 + i] != QByteArray(row, static_cast<qsizetype>(n)) + '\r')
            std::abort();
    }
    return 0;
}
