// What the program does differently on Windows, tried on Windows itself: port names, line
// ends, the recording's rows reaching the disk while it runs, names outside the code page,
// a file another program holds, one copy per user, and the registry.
#include "app/settingsfile.h"
#include "app/singleinstance.h"
#include "history/historydatabase.h"
#include "link/qserialdevice.h"
#include "report/recording.h"
#include "report/testreport.h"
#include "report/textfile.h"
#include "tests/support/okresult.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <windows.h>

using namespace qova;

namespace {

QByteArray ReadWhileOpen(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<" + f.errorString().toUtf8() + ">";
    return f.readAll();
}

// A handle as another program holds a file it does not share.
class HeldFile {
public:
    explicit HeldFile(const QString &path)
        : handle_(CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                              GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

struct PortRow {
    int number;
    const char *name;
};

class ComPortName : public testing::TestWithParam<PortRow> {};

// The number the operator picks is the port Windows names; no Unix device stands in.
TEST_P(ComPortName, IsTheWindowsName)
{
    qputenv("QOVA_COM1", "/dev/pts/7");
    EXPECT_EQ(link::PortDeviceName(GetParam().number), QString::fromLatin1(GetParam().name));
    qunsetenv("QOVA_COM1");
}

INSTANTIATE_TEST_SUITE_P(Ports, ComPortName,
                         testing::Values(PortRow{1, "COM1"}, PortRow{4, "COM4"}, PortRow{10, "COM10"},
                                         PortRow{256, "COM256"}));

struct FileNameRow {
    const char *what;
    const char *folder; // UTF-8
    const char *file;
};

class RecordingOnWindows : public testing::TestWithParam<FileNameRow> {
protected:
    QString path()
    {
        const QString folder = dir_.filePath(QString::fromUtf8(GetParam().folder));
        QDir().mkpath(folder);
        return QDir(folder).filePath(QString::fromUtf8(GetParam().file));
    }
    QTemporaryDir dir_;
};

// Each row is in the file, whole and with one CR LF, for another program to read while the
// recording goes on; the name is the one the operator typed, in any script.
TEST_P(RecordingOnWindows, EachRowIsOnDiskWithCrLfAsItIsWritten)
{
    const QString file = path();
    report::RecordFile recording;
    ASSERT_TRUE(qova::test::Ok(recording.open(file)));
    QByteArray expected = report::RecordHeader();
    for (int i = 0; i < 3; ++i) {
        link::LiveReading reading{};
        reading.Rpm = 800 + i;
        const QByteArray row = report::RecordRow(reading, QStringLiteral("12:00:0%1").arg(i));
        ASSERT_TRUE(qova::test::Ok(recording.writeRow(row)));
        expected += row;
        EXPECT_EQ(ReadWhileOpen(file), expected) << "after row " << i;
    }
    recording.close();
    const QByteArray bytes = ReadWhileOpen(file);
    EXPECT_FALSE(bytes.contains("\r\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count("\n"));
    EXPECT_EQ(bytes.count("\r\n"), 2 + 3) << "two after the header, one after each row";
    EXPECT_TRUE(QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files).contains(QFileInfo(file).fileName()));
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordingOnWindows,
    testing::Values(FileNameRow{"plain", "reports", "REC1.TXT"},
                    FileNameRow{"accents and a blank", "Prüfstand Süd", "Müller Straße.TXT"},
                    FileNameRow{"outside the code page", "Ελληνικά", "測定 ½ Ω.csv"},
                    FileNameRow{"long", "a very long folder name that goes on and on for a good while yet",
                                "and a file name as long as any workshop would ever type, or longer still.TXT"}));

enum class Writer { Recording, Report };

struct HeldRow {
    const char *what;
    Writer writer;
};

class HeldByAnotherProgram : public testing::TestWithParam<HeldRow> {};

// The operator learns that the file could not be written, and why, and it is not lost.
TEST_P(HeldByAnotherProgram, IsRefusedWithTheSystemsReason)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("HELD.TXT"));
    {
        QFile before(file);
        ASSERT_TRUE(before.open(QIODevice::WriteOnly));
        before.write("kept\r\n");
    }
    HeldFile other(file);
    ASSERT_TRUE(other.held());
    QString error;
    if (GetParam().writer == Writer::Recording) {
        report::RecordFile recording;
        const qova::Done opened = recording.open(file);
        EXPECT_FALSE(opened.ok());
        EXPECT_FALSE(recording.isOpen());
        error = opened.ok() ? QString() : opened.problem().why;
    } else {
        const qova::Done added = report::AppendToFile(file, "report\r\n");
        error = added.ok() ? QString() : added.problem().why;
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QFileInfo(file).size(), 6) << "what the file had stays";
}

INSTANTIATE_TEST_SUITE_P(Writers, HeldByAnotherProgram,
                         testing::Values(HeldRow{"recording", Writer::Recording}, HeldRow{"report", Writer::Report}));

// One copy per user: a second start is refused while the first runs, and allowed after it.
TEST(SingleInstanceOnWindows, SecondCopyRefusedUntilTheFirstEnds)
{
    QTemporaryDir dir;
    auto first = std::make_unique<app::SingleInstance>(dir.path());
    ASSERT_TRUE(first->acquire());
    app::SingleInstance second(dir.path());
    EXPECT_FALSE(second.acquire());
    first.reset();
    app::SingleInstance third(dir.path());
    EXPECT_TRUE(third.acquire());
}

struct LocaleRow {
    const char *what;
    const char *value; // nullptr: none written
    bool us;
};

class LocaleFromRegistry : public testing::TestWithParam<LocaleRow> {
protected:
    void SetUp() override
    {
        had_ = intl_.contains(kKey);
        old_ = intl_.value(kKey);
    }
    void TearDown() override
    {
        if (had_)
            intl_.setValue(kKey, old_);
        else
            intl_.remove(kKey);
        intl_.sync();
    }
    static inline const QString kKey = QStringLiteral("Locale");
    QSettings intl_{QStringLiteral("HKEY_CURRENT_USER\\Control Panel\\International"), QSettings::NativeFormat};
    bool had_ = false;
    QVariant old_;
};

// Windows keeps the user's locale as eight hex digits; only 409 is the United States.
TEST_P(LocaleFromRegistry, UsOnlyForEnglishUnitedStates)
{
    if (GetParam().value)
        intl_.setValue(kKey, QString::fromLatin1(GetParam().value));
    else
        intl_.remove(kKey);
    intl_.sync();
    EXPECT_EQ(app::SystemUsLocale(), GetParam().us);
}

INSTANTIATE_TEST_SUITE_P(Registry, LocaleFromRegistry,
                         testing::Values(LocaleRow{"United States", "00000409", true},
                                         LocaleRow{"United Kingdom", "00000809", false},
                                         LocaleRow{"Germany", "00000407", false},
                                         LocaleRow{"not a number", "en-US", false}, LocaleRow{"none", nullptr, false}));

struct HistoryRow {
    const char *url;  // DIR: a folder of the case's own
    const char *said; // how the message begins; nullptr: it opens
};

class HistoryOnWindows : public testing::TestWithParam<HistoryRow> {};

// This build ships PostgreSQL's driver: a shared history is tried, and what failed is said
// with the location as written; the workstation's own SQLite history opens. (Connections that
// open are the history tests', run here against a Linux server.)
TEST_P(HistoryOnWindows, EitherKindOpensOrSaysWhy)
{
    ASSERT_TRUE(QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        << "the Windows build ships Qt's PostgreSQL driver (scripts/windows-psql/build makes it)";
    QTemporaryDir dir;
    const auto here = [&dir](const char *text) {
        return QString::fromUtf8(text).replace(QStringLiteral("DIR"), dir.path());
    };
    history::HistoryDatabase db;
    const history::Done opened = db.open(here(GetParam().url));
    const QString said = opened.ok() ? QString() : opened.problem().text();
    EXPECT_EQ(opened.ok(), GetParam().said == nullptr) << said.toStdString();
    if (GetParam().said) {
        EXPECT_TRUE(said.startsWith(here(GetParam().said))) << said.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locations, HistoryOnWindows,
    testing::Values(HistoryRow{"sqlite:///DIR/history.db", nullptr},
                    HistoryRow{"postgresql://qova@127.0.0.1:1/history",
                               "The history at postgresql://qova@127.0.0.1:1/history cannot be opened: connection to "
                               "server at \"127.0.0.1\", port 1 failed"},
                    // libpq is built without TLS: asking for it is refused in libpq's own words.
                    HistoryRow{"postgresql://qova@127.0.0.1:1/history?sslmode=require",
                               "The history at postgresql://qova@127.0.0.1:1/history?sslmode=require cannot be "
                               "opened: sslmode value \"require\" invalid when SSL support is not compiled in"},
                    HistoryRow{"postgresql://qova@/history?host=DIR",
                               "The history at postgresql://qova@/history?host=DIR cannot be opened: connection to "
                               "server on socket \"DIR/.s.PGSQL.5432\" failed"}));

} // namespace
