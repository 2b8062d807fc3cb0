#include "store/storefile.h"

#include "store/storedtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdint>
#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qova::store {

std::unique_ptr<QSaveFile> MakeSaveFile(const QString &path)
{
    return std::make_unique<QSaveFile>(path);
}

Done WriteAll(QIODevice &device, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = device.write(data, size);
        if (n <= 0) {
            const auto *file = qobject_cast<const QFileDevice *>(&device);
            const QString what =
                file ? QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(file->fileName()))
                     : QStringLiteral("The data cannot be written");
            const QString why = device.errorString();
            return Problem{what,
                           why.isEmpty() || why == QLatin1String("Unknown error")
                               ? QStringLiteral("the last %1 byte(s) were not taken, and no reason was given").arg(size)
                               : why,
                           {}};
        }
        data += n;
        size -= n;
    }
    return {};
}

namespace {

// A buffer for a large file, backed by huge pages where the system offers them: filling
// tens of megabytes of fresh memory otherwise costs a page fault every 4 KiB, more than
// the read itself.
QByteArray fileBuffer(qint64 size)
{
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (size >= static_cast<qint64>(4 * kHugePage)) {
        const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data());
        const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t end = (begin + static_cast<std::uintptr_t>(size)) & ~(kHugePage - 1);
        if (end > first)
            madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE); // advice only
    }
#endif
    return bytes;
}

// The whole data file, or a message. A file that shrinks while it is read counts only
// what could be read; nothing past what was read is ever looked at.
QString readDataFile(const QString &path, QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kCanNotOpenFile + path;
    const qint64 size = file.size();
    if (size < kRecordSize)
        return kNoDataInFile + path;
    if (size > kMaxDataFileBytes)
        return kFileTooLarge + path;
    QByteArray bytes = fileBuffer(size);
    const qint64 got = file.read(bytes.data(), size);
    if (got < kRecordSize)
        return kNoDataInFile + path;
    bytes.truncate(static_cast<qsizetype>(got));
    data = std::move(bytes);
    return {};
}

const char kLineEnd[] = "\r\n";

} // namespace

Result<QByteArray> ReadDataFile(const QString &path)
{
    QByteArray data;
    if (QString message = readDataFile(path, data); !message.isEmpty())
        return Problem{message, {}, {}};
    return data;
}

Done LoadStoredTests(QString &StoreFileName, QByteArray &StoreData, int &StoreRecordCount, const ChooseFile &chooseFile)
{
    if (StoreFileName.isEmpty()) {
        const QString chosen = chooseFile ? chooseFile() : QString();
        if (chosen.isEmpty())
            return Problem{kUserCanceled, {}, {}};
        StoreFileName = chosen;
    }
    QByteArray data;
    if (QString message = readDataFile(StoreFileName, data); !message.isEmpty())
        return Problem{message, {}, {}};
    StoreRecordCount = static_cast<int>(data.size() / kRecordSize);
    StoreData = std::move(data);
    return {};
}

QString ExportPathFor(const QString &dataPath)
{
    // Either separator: a path typed or pasted on the workstation's system keeps its own.
    const qsizetype nameStart = std::max(dataPath.lastIndexOf(u'/'), dataPath.lastIndexOf(u'\\')) + 1;
    // Cutting three characters from a shorter name would cut into the folder's.
    if (dataPath.size() - nameStart < 3)
        return dataPath + QStringLiteral(".txt");
    return dataPath.chopped(3) + QStringLiteral("txt");
}

QByteArray StoredTestsText(const QByteArray &data, int currentYear)
{
    const qsizetype records = data.size() / kRecordSize;
    QByteArray text;
    text.resize(static_cast<qsizetype>(sizeof kExportHeader + 4 + records * (kMaxRowLength + 2)));
    char *p = text.data();
    std::memcpy(p, kExportHeader, sizeof kExportHeader - 1);
    p += sizeof kExportHeader - 1;
    std::memcpy(p, "\r\n\r\n", 4);
    p += 4;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    for (qsizetype i = 0; i < records; ++i) {
        p += FormatStoredTestRow(bytes + i * kRecordSize, currentYear, p);
        *p++ = '\r';
        *p++ = '\n';
    }
    text.truncate(p - text.constData());
    return text;
}

QString ExportStoredFile(const QString &dataPath, int currentYear, const SaveFileFactory &makeFile)
{
    QByteArray data;
    if (QString message = readDataFile(dataPath, data); !message.isEmpty())
        return message;

    const QString textPath = ExportPathFor(dataPath);
    // A data file named *.txt would be replaced by its own text form.
    if (dataPath.endsWith(QStringLiteral("txt"), Qt::CaseInsensitive) ||
        QFileInfo(textPath).canonicalFilePath() == QFileInfo(dataPath).canonicalFilePath())
        return kExportOntoData + dataPath;

    std::unique_ptr<QSaveFile> file = makeFile(textPath);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) // see WriteAll
        return kCanNotOpenFile + textPath;

    // Rows are formatted into a buffer of a few hundred kilobytes at a time, so a file of
    // millions of records needs neither its whole text in memory nor a write per row.
    constexpr qsizetype kChunkRows = 4096;
    std::unique_ptr<char[]> chunk(new char[kChunkRows * (kMaxRowLength + 2) + sizeof kExportHeader + 4]);
    char *p = chunk.get();
    std::memcpy(p, kExportHeader, sizeof kExportHeader - 1);
    p += sizeof kExportHeader - 1;
    std::memcpy(p, "\r\n\r\n", 4);
    p += 4;
    const qsizetype records = data.size() / kRecordSize;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    bool written = true;
    for (qsizetype i = 0; i < records && written; i += kChunkRows) {
        const qsizetype end = std::min(records, i + kChunkRows);
        for (qsizetype r = i; r < end; ++r) {
            p += FormatStoredTestRow(bytes + r * kRecordSize, currentYear, p);
            std::memcpy(p, kLineEnd, 2);
            p += 2;
        }
        written = WriteAll(*file, chunk.get(), p - chunk.get()).ok();
        p = chunk.get();
    }
    return FinishExport(*file, written, dataPath, textPath);
}

QString FinishExport(QSaveFile &file, bool written, const QString &dataPath, const QString &outPath)
{
    if (!written || !file.commit()) {
        file.cancelWriting();
        return kCanNotWriteFile + outPath;
    }
    return QStringLiteral("done  ") + QFileInfo(dataPath).fileName() + QStringLiteral("---> ") +
           QFileInfo(outPath).fileName();
}

QString ExportStoredTests(const ChooseFile &chooseFile, int currentYear, const SaveFileFactory &makeFile)
{
    const QString chosen = chooseFile ? chooseFile() : QString();
    if (chosen.isEmpty())
        return kUserCanceled;
    return ExportStoredFile(chosen, currentYear, makeFile);
}

} // namespace qova::store
