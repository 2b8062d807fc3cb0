#include "store/storecsv.h"

#include "history/csvwriter.h"
#include "store/storedtest.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace qova::store {

namespace {
void writeCsv(const QByteArray &data, int currentYear, history::CsvWriter &csv)
{
    for (const char *name : {"taken_at", "hc_ppm", "co_pct", "co2_pct", "o2_pct", "nox_ppm", "rpm", "oil_temp_c"})
        csv.text(QString::fromLatin1(name));
    csv.endRow();
    const qsizetype records = data.size() / kRecordSize;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    for (qsizetype i = 0; i < records; ++i) {
        const std::uint8_t *r = bytes + i * kRecordSize;
        csv.text(QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", StoredYear(r[5], currentYear), DecodeBcd(r[4]),
                                   DecodeBcd(r[3]), DecodeBcd(r[2]), DecodeBcd(r[1]), DecodeBcd(r[0])));
        csv.number(StoredNumber(r, kHcOffset));
        csv.fixed(StoredNumber(r, kCoOffset), 2);
        csv.fixed(StoredNumber(r, kCo2Offset), 1);
        csv.fixed(StoredNumber(r, kO2Offset), 2);
        csv.number(StoredNumber(r, kNoOffset));
        csv.number(StoredNumber(r, kRpmOffset));
        csv.fixed(StoredNumber(r, kOilOffset), 1);
        csv.endRow();
    }
}
} // namespace

QString CsvPathFor(const QString &dataPath)
{
    const QFileInfo info(dataPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv"));
}

QByteArray StoredTestsCsv(const QByteArray &data, int currentYear)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        history::CsvWriter csv(buffer);
        writeCsv(data, currentYear, csv);
    }
    return buffer.data();
}

QString ExportStoredFileCsv(const QString &dataPath, int currentYear, const SaveFileFactory &makeFile)
{
    const Result<QByteArray> read = ReadDataFile(dataPath);
    if (!read.ok())
        return read.problem().text();
    const QByteArray &data = read.value();
    const QString csvPath = CsvPathFor(dataPath);
    if (QFileInfo(csvPath).absoluteFilePath() == QFileInfo(dataPath).absoluteFilePath())
        return kExportOntoData + dataPath;
    std::unique_ptr<QSaveFile> file = makeFile(csvPath);
    if (!file->open(QIODevice::WriteOnly))
        return kCanNotOpenFile + csvPath;
    bool written = false;
    {
        history::CsvWriter csv(*file);
        writeCsv(data, currentYear, csv);
        written = csv.finish().ok();
    }
    return FinishExport(*file, written, dataPath, csvPath);
}

} // namespace qova::store
