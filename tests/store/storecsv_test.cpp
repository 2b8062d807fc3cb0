// STORE > CSV EXPORT: the data file's tests as CSV beside it.
#include "store/storecsv.h"
#include "store/storedtest.h"
#include "tests/support/filecontents.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova::store;

namespace {
QByteArray record(std::uint8_t day, std::uint8_t hourBcd, std::int16_t co, std::int16_t oil, std::int16_t hc = 87)
{
    StoredTestRecord r;
    r.Second = 0x07;
    r.Minute = 0x41;
    r.Hour = hourBcd;
    r.Day = day;
    r.Month = 0x03;
    r.YearInCycle = 2;
    r.Hc = hc;
    r.Co = co;
    r.Co2 = 148;
    r.No = 12;
    r.Rpm = 820;
    r.Oil = oil;
    r.O2 = 45;
    const auto bytes = r.encode();
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// False when the file cannot be made.
bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return true;
}

const QByteArray kHeader = "\xEF\xBB\xBFtaken_at,hc_ppm,co_pct,co2_pct,o2_pct,nox_ppm,rpm,oil_temp_c\r\n";
} // namespace

TEST(StoreCsv, RowsHoldTheValuesWithADecimalPoint)
{
    const QByteArray data = record(0x02, 0x10, 58, 905) + record(0x31, 0x23, 5, -12, 0) + QByteArray(7, '\0');
    EXPECT_EQ(StoredTestsCsv(data, 2026), kHeader + "2026-03-02T10:41:07,87,0.58,14.8,0.45,12,820,90.5\r\n"
                                                    "2026-03-31T23:41:07,0,0.05,14.8,0.45,12,820,-1.2\r\n");
}

TEST(StoreCsv, PathsBesideTheDataFile)
{
    const std::vector<std::pair<QString, QString>> rows = {{"/data/MAY.QVS", "/data/MAY.csv"},
                                                           {"/data/may.2026.qvs", "/data/may.2026.csv"},
                                                           {"/data/NOEXT", "/data/NOEXT.csv"}};
    for (const auto &[data, csv] : rows)
        EXPECT_EQ(CsvPathFor(data), csv) << data.toStdString();
}

TEST(StoreCsv, ExportWritesBesideAndSaysSo)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("MAY.QVS"));
    ASSERT_TRUE(write(data, record(0x02, 0x10, 58, 905)));
    EXPECT_EQ(ExportStoredFileCsv(data, 2026), QStringLiteral("done  MAY.QVS---> MAY.csv"));
    EXPECT_EQ(qova::test::FileContents(dir.filePath(QStringLiteral("MAY.csv"))),
              kHeader + "2026-03-02T10:41:07,87,0.58,14.8,0.45,12,820,90.5\r\n");
    // The text export is left to itself: no MAY.txt appears.
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("MAY.txt"))));
}

TEST(StoreCsv, FailuresAreNamed)
{
    QTemporaryDir dir;
    const QString onto = dir.filePath(QStringLiteral("TESTS.csv"));
    ASSERT_TRUE(write(onto, record(0x02, 0x10, 58, 905)));
    EXPECT_EQ(ExportStoredFileCsv(onto, 2026), kExportOntoData + onto);
    EXPECT_EQ(qova::test::FileContents(onto), record(0x02, 0x10, 58, 905));
    const QString missing = dir.filePath(QStringLiteral("NONE.QVS"));
    EXPECT_EQ(ExportStoredFileCsv(missing, 2026), kCanNotOpenFile + missing);
    // A folder where the CSV file would go: it cannot be made, and stays a folder.
    const QString blocked = dir.filePath(QStringLiteral("BLOCKED.QVS"));
    QFile::copy(onto, blocked);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("BLOCKED.csv")));
    EXPECT_EQ(ExportStoredFileCsv(blocked, 2026), kCanNotOpenFile + dir.filePath(QStringLiteral("BLOCKED.csv")));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("BLOCKED.csv"))).isDir());
}
