#include "store/storedtest.h"
#include "store/storefile.h"
#include "tests/store/shortsavefile.h"
#include "tests/store/storefiles.h"
#include "tests/store/uploadanalyser.h"
#include "tests/support/filesizecap.h"
#include "tests/support/okresult.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace qova;

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    ASSERT_EQ(test::WriteFile(path, data), data.size());
}

// A data file of `records` sample tests, and an earlier export of another where its
// export goes.
void writeStoreAndPreviousText(const QString &path, std::size_t records)
{
    writeFile(path, test::BytesOf(test::SampleStore(records)));
    writeFile(store::ExportPathFor(path), "previous text");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

struct LoadCase {
    const char *name;
    int size;       // -1: no file
    QString prefix; // of the message; the path follows. Empty on success.
    int records;
};

class Load : public testing::TestWithParam<LoadCase> {};

TEST_P(Load, MessageAndRecordCount)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    const QByteArray data = test::BytesOf(test::SampleStore(3)).left(std::max(GetParam().size, 0));
    if (GetParam().size >= 0)
        writeFile(path, data);
    QString name = path;
    QByteArray StoreData("old");
    int count = 77;
    const QString message = test::Said(store::LoadStoredTests(name, StoreData, count, [] {
        ADD_FAILURE() << "a set name needs no dialog";
        return QString();
    }));
    if (GetParam().prefix.isEmpty()) {
        EXPECT_EQ(message, QString());
        EXPECT_EQ(StoreData, data);
        EXPECT_EQ(count, GetParam().records);
    } else {
        EXPECT_EQ(message, GetParam().prefix + path);
        EXPECT_EQ(StoreData, QByteArray("old")) << "a failed load keeps what was loaded";
        EXPECT_EQ(count, 77);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Load,
                         testing::Values(LoadCase{"Missing", -1, store::kCanNotOpenFile, 0},
                                         LoadCase{"Empty", 0, store::kNoDataInFile, 0},
                                         LoadCase{"Bytes29", 29, store::kNoDataInFile, 0},
                                         LoadCase{"Bytes30", 30, {}, 1}, LoadCase{"PartialSecond", 59, {}, 1},
                                         LoadCase{"Three", 90, {}, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Load, AsksForAFileOnlyWhenNoneIsSet)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("A.QVS"));
    writeFile(path, test::BytesOf(test::SampleStore(2)));
    QString name;
    QByteArray data;
    int count = 0;
    EXPECT_EQ(test::Said(store::LoadStoredTests(name, data, count, [] { return QString(); })), store::kUserCanceled);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(test::Said(store::LoadStoredTests(name, data, count, [&] { return path; })), QString());
    EXPECT_EQ(name, path);
    EXPECT_EQ(count, 2);
}

// A sparse file costs no disk, so the limit itself can be tried.
TEST(DataFileLimit, LoadAndExportRefuseOnlyWhatIsBeyondIt)
{
    for (const qint64 size : {store::kMaxDataFileBytes, store::kMaxDataFileBytes + 1, qint64{1} << 40}) {
        SCOPED_TRACE(size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("HUGE.QVS"));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(size));
        }
        const bool fits = size <= store::kMaxDataFileBytes;
        QString name = path;
        QByteArray StoreData("old");
        int count = 77;
        const QString loaded = test::Said(store::LoadStoredTests(name, StoreData, count, [] { return QString(); }));
        EXPECT_EQ(loaded, fits ? QString() : store::kFileTooLarge + path);
        EXPECT_EQ(count, fits ? static_cast<int>(size / 30) : 77);
        EXPECT_EQ(StoreData.size(), fits ? size : 3);
        StoreData.clear();

        const QString exported = store::ExportStoredTests([&] { return path; }, 2026);
        EXPECT_EQ(exported, fits ? QStringLiteral("done  HUGE.QVS---> HUGE.txt") : store::kFileTooLarge + path);
        EXPECT_EQ(QFile::exists(dir.filePath(QStringLiteral("HUGE.txt"))), fits);
    }
}

TEST(ExportPath, LastThreeCharactersBecomeTxt)
{
    EXPECT_EQ(store::ExportPathFor(QStringLiteral("C:\\DATA\\MAY.QVS")), QStringLiteral("C:\\DATA\\MAY.txt"));
    EXPECT_EQ(store::ExportPathFor(QStringLiteral("/d/MAYQVS")), QStringLiteral("/d/MAYtxt"));
    EXPECT_EQ(store::ExportPathFor(QStringLiteral("/d/A.Q")), QStringLiteral("/d/txt"));
}

struct BesideCase {
    const char *dataName;
    const char *textName;
};

class ExportBeside : public testing::TestWithParam<BesideCase> {};

// Whatever the data file's name, its text lands in the data file's own folder, and the
// folder above keeps what it had.
TEST_P(ExportBeside, TheDataFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("bay/sub"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(QString::fromUtf8(GetParam().dataName));
    const QByteArray data = test::BytesOf(test::SampleStore(2));
    writeFile(path, data);
    const QString parent = dir.filePath(QStringLiteral("bay"));
    for (const char *bait : {"sutxt", "subtxt", "sub.txt", "txt"})
        writeFile(QDir(parent).filePath(QString::fromLatin1(bait)), "kept");
    EXPECT_EQ(store::ExportPathFor(path), QDir(folder).filePath(QString::fromUtf8(GetParam().textName)));
    EXPECT_EQ(store::ExportStoredTests([&] { return path; }, 2026),
              QStringLiteral("done  %1---> %2")
                  .arg(QString::fromUtf8(GetParam().dataName), QString::fromUtf8(GetParam().textName)));
    EXPECT_EQ(readFile(QDir(folder).filePath(QString::fromUtf8(GetParam().textName))),
              store::StoredTestsText(data, 2026));
    for (const char *bait : {"sutxt", "subtxt", "sub.txt", "txt"})
        EXPECT_EQ(readFile(QDir(parent).filePath(QString::fromLatin1(bait))), QByteArray("kept")) << bait;
    EXPECT_EQ(QDir(parent).entryList(QDir::Files).size(), 4);
}

INSTANTIATE_TEST_SUITE_P(Names, ExportBeside,
                         testing::Values(BesideCase{"A", "A.txt"}, BesideCase{"AB", "AB.txt"},
                                         BesideCase{"a.", "a..txt"}, BesideCase{".Q", ".Q.txt"},
                                         BesideCase{"ABC", "txt"}, BesideCase{"A.Q", "txt"},
                                         BesideCase{"MAY.QVS", "MAY.txt"}, BesideCase{"MAYQVS", "MAYtxt"}));

TEST(ExportPath, AShortNameAfterABackslashStaysInItsFolder)
{
    EXPECT_EQ(store::ExportPathFor(QStringLiteral("C:\\DATA\\A")), QStringLiteral("C:\\DATA\\A.txt"));
    EXPECT_EQ(store::ExportPathFor(QStringLiteral("C:\\DATA\\AB")), QStringLiteral("C:\\DATA\\AB.txt"));
}

struct ExportCase {
    const char *name;
    int size; // bytes of the data file; -1: none
    QString dataName;
    QString messagePrefix; // "" means success
    bool textPathInMessage;
};

class Export : public testing::TestWithParam<ExportCase> {};

TEST_P(Export, MessageAndText)
{
    const ExportCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.dataName);
    const QByteArray data = test::BytesOf(test::SampleStore(4)).left(std::max(c.size, 0));
    if (c.size >= 0)
        writeFile(path, data);
    const QString textPath = store::ExportPathFor(path);
    const QString message = store::ExportStoredTests([&] { return path; }, 2026);
    if (c.messagePrefix.isEmpty()) {
        EXPECT_EQ(message,
                  QStringLiteral("done  ") + c.dataName + QStringLiteral("---> ") + QFileInfo(textPath).fileName());
        EXPECT_EQ(readFile(textPath), store::StoredTestsText(data, 2026));
    } else {
        EXPECT_EQ(message, c.messagePrefix + (c.textPathInMessage ? textPath : path));
        // On Windows "MAY.txt" is the data file "MAY.TXT" itself.
        if (QFileInfo(textPath) != QFileInfo(path)) {
            EXPECT_FALSE(QFile::exists(textPath));
        }
    }
    if (c.size >= 0) {
        EXPECT_EQ(readFile(path), data) << "the export only reads the data file";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Export,
    testing::Values(ExportCase{"OneRecord", 30, QStringLiteral("MAY.QVS"), {}, false},
                    ExportCase{"PartialRecordGetsNoRow", 100, QStringLiteral("MAY.QVS"), {}, false},
                    ExportCase{"Bytes29", 29, QStringLiteral("MAY.QVS"), store::kNoDataInFile, false},
                    ExportCase{"Empty", 0, QStringLiteral("MAY.QVS"), store::kNoDataInFile, false},
                    ExportCase{"Missing", -1, QStringLiteral("MAY.QVS"), store::kCanNotOpenFile, false},
                    ExportCase{"DataNamedTxt", 60, QStringLiteral("MAY.txt"), store::kExportOntoData, false},
                    ExportCase{"DataNamedTXT", 60, QStringLiteral("MAY.TXT"), store::kExportOntoData, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Export, ExactBytesOfOneRecord)
{
    const std::array<std::uint8_t, 30> rec = {0x30, 0x15, 0x10, 0x25, 0x12, 0x01, 0x00, 0x7B, 0x00, 0x96,
                                              0x00, 0x91, 0x00, 0x2D, 0x03, 0x52, 0x03, 0x55, 0x00, 0x5F};
    const QByteArray text = store::StoredTestsText(QByteArray(reinterpret_cast<const char *>(rec.data()), 30), 2026);
    EXPECT_EQ(text, QByteArray("Date        time     HC    CO  CO2  O2   NO   RPM  OIL \r\n"
                               "\r\n"
                               "2025/12/25  10:15:30 0123  1.50 14.5  0.95 0045 0850 85.3\r\n"));
    EXPECT_EQ(QByteArray(store::kExportHeader).size(), 55);
}

TEST(Export, TwiceReplacesTheText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    writeFile(path, test::BytesOf(test::SampleStore(5)));
    store::ExportStoredTests([&] { return path; }, 2026);
    const qint64 once = QFileInfo(store::ExportPathFor(path)).size();
    store::ExportStoredTests([&] { return path; }, 2026);
    EXPECT_EQ(QFileInfo(store::ExportPathFor(path)).size(), once);
}

TEST(Export, TextFileThatCannotBeCreated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    writeFile(path, test::BytesOf(test::SampleStore(5)));
    const QString textPath = store::ExportPathFor(path);
    ASSERT_TRUE(QDir().mkdir(textPath)); // a folder stands where the text file would go
    EXPECT_EQ(store::ExportStoredTests([&] { return path; }, 2026), store::kCanNotOpenFile + textPath);
    EXPECT_TRUE(QFileInfo(textPath).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("MAY.QVS")});
}

TEST(Export, FullDiskKeepsThePreviousText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    writeStoreAndPreviousText(path, 20000);
    const QString textPath = store::ExportPathFor(path);
    const QString message = store::ExportStoredTests(
        [&] { return path; }, 2026, [](const QString &p) { return std::make_unique<test::ShortSaveFile>(p, 500000); });
    EXPECT_EQ(message, store::kCanNotWriteFile + textPath);
    EXPECT_EQ(readFile(textPath), QByteArray("previous text"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// A text small enough to sit in a write buffer meets the full disk only when it is flushed.
TEST(Export, FullDiskOnASmallTextKeepsThePreviousText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    writeStoreAndPreviousText(path, 3);
    const QString textPath = store::ExportPathFor(path);
    QString message;
    if (!test::FileSizeCap::kAvailable)
        GTEST_SKIP() << test::FileSizeCap::kMissing;
    {
        test::FileSizeCap cap(100);
        message = store::ExportStoredTests([&] { return path; }, 2026);
    }
    EXPECT_EQ(message, store::kCanNotWriteFile + textPath);
    EXPECT_EQ(readFile(textPath), QByteArray("previous text"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(Export, CancelWritesNothing)
{
    EXPECT_EQ(store::ExportStoredTests([] { return QString(); }, 2026), store::kUserCanceled);
}

// Large files go through the writer in pieces; the text is the same as in one piece.
TEST(Export, ManyRecordsSameAsOnePiece)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("BIG.QVS"));
    const QByteArray data = test::BytesOf(test::SampleStore(10001)) + QByteArray("abc");
    writeFile(path, data);
    store::ExportStoredTests([&] { return path; }, 2026);
    const QByteArray text = readFile(store::ExportPathFor(path));
    EXPECT_EQ(text, store::StoredTestsText(data, 2026));
    EXPECT_EQ(text.count('\n'), 10001 + 2);
}

} // namespace

// A write that comes back short names the file and carries the device's reason, or says
// that none was given, rather than a bare "no".
struct ShortWriteCase {
    const char *name;
    bool fullDisk;        // the process's file size cap, else a disk that fills silently
    const char *whyStart; // empty: any reason the system gives
};
class WriteAllShort : public ::testing::TestWithParam<ShortWriteCase> {};

TEST_P(WriteAllShort, NamesTheFileAndTheReason)
{
    const ShortWriteCase &c = GetParam();
    if (c.fullDisk && !test::FileSizeCap::kAvailable)
        GTEST_SKIP() << test::FileSizeCap::kMissing;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MAY.QVS"));
    test::ShortSaveFile file(path, c.fullDisk ? 1 << 20 : 100);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray bytes(1000, 'x');
    QString said;
    {
        std::optional<test::FileSizeCap> cap;
        if (c.fullDisk)
            cap.emplace(100);
        said = test::Said(store::WriteAll(file, bytes.constData(), bytes.size()));
    }
    file.cancelWriting();
    const QString what = QDir::toNativeSeparators(path) + QStringLiteral(" cannot be written: ");
    EXPECT_TRUE(said.startsWith(what + QString::fromLatin1(c.whyStart))) << said.toStdString();
    EXPECT_GT(said.size(), what.size() + 3) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("Unknown error"))) << said.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Rows, WriteAllShort,
                         ::testing::Values(ShortWriteCase{"FullDisk", true, ""},
                                           ShortWriteCase{"DiskFillsSilently", false,
                                                          "the last 900 byte(s) were not taken"}),
                         [](const auto &info) { return std::string(info.param.name); });
