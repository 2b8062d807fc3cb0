#include "app/settingsfile.h"
#include "tests/support/filecontents.h"
#include "tests/support/filesizecap.h"
#include "tests/support/okresult.h"
#include "tests/support/readonlyfolder.h"

#include <QDir>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova::app;

struct PortCase {
    const char *name;
    QByteArray bytes;
    int port;
};
class PortFile : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortFile, Rule)
{
    EXPECT_EQ(PortFromSetupBytes(GetParam().bytes), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    SetupEa2, PortFile,
    ::testing::Values(PortCase{"port3", "PORT=3", 3}, PortCase{"port4", "PORT=4", 4}, PortCase{"port1", "PORT=1", 1},
                      PortCase{"port5", "PORT=5", 1}, PortCase{"port0", "PORT=0", 1},
                      PortCase{"nothing_after_eq", "PORT=", 1}, PortCase{"no_eq", "PORT3", 1}, PortCase{"empty", "", 1},
                      PortCase{"first_eq_counts", "A=x=2", 1}, PortCase{"eq_at_byte_19", QByteArray(18, 'x') + "=2", 2},
                      PortCase{"eq_at_byte_20", QByteArray(19, 'x') + "=2", 1},
                      PortCase{"eq_beyond_20", QByteArray(40, 'x') + "=2", 1},
                      PortCase{"trailing_text", "PORT=2\r\nmore", 2}, PortCase{"binary", QByteArray("\0\xff=4", 4), 4}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PortFile, WriteIsExactlySixBytesAndReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SETUP.EA2"));
    EXPECT_EQ(ReadPortFile(path), 1); // missing
    for (int port = 1; port <= 4; ++port) {
        ASSERT_TRUE(qova::test::Ok(WritePortFile(path, port)));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("PORT=") + QByteArray::number(port));
        EXPECT_EQ(ReadPortFile(path), port);
    }
}

struct UnwritableCase {
    const char *name;
    const char *file;   // under the case's folder
    const char *folder; // made first, when not empty
    bool fileIsFolder;  // a folder stands where the file goes
    bool needsNonRoot;  // root writes into any folder
};
class PortFileNotWritten : public ::testing::TestWithParam<UnwritableCase> {};

// The box keeps the analyser program's words; what it shows under them names the file and
// the system's reason, and the old file stays.
TEST_P(PortFileNotWritten, SaysWhichFileAndWhy)
{
    const UnwritableCase &c = GetParam();
    if (c.needsNonRoot && !qova::test::ReadOnlyFolderKeepsUsOut())
        GTEST_SKIP() << "this user is let into a read-only folder";
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(c.file));
    if (*c.folder) {
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QString::fromLatin1(c.folder))));
        ASSERT_TRUE(qova::test::Ok(WritePortFile(path, 3)));
        QFile::setPermissions(dir.filePath(QString::fromLatin1(c.folder)),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    if (c.fileIsFolder) {
        ASSERT_TRUE(QDir().mkpath(path));
    }
    const QString said = qova::test::Said(WritePortFile(path, 2));
    const QString what = QDir::toNativeSeparators(path) + QStringLiteral(" cannot be written: ");
    EXPECT_TRUE(said.startsWith(what)) << said.toStdString();
    EXPECT_GT(said.size(), what.size()) << "the system's reason";
    if (*c.folder) {
        EXPECT_EQ(ReadPortFile(path), 3);
        QFile::setPermissions(dir.filePath(QString::fromLatin1(c.folder)),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, PortFileNotWritten,
                         ::testing::Values(UnwritableCase{"MissingFolder", "missing/SETUP.EA2", "", false, false},
                                           UnwritableCase{"FolderInItsPlace", "SETUP.EA2", "", true, false},
                                           UnwritableCase{"ReadOnlyFolder", "kept/SETUP.EA2", "kept", false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// The disk fills while the setting is saved: the port chosen before is still the one read.
TEST(PortFile, FullDiskFailsAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SETUP.EA2"));
    ASSERT_TRUE(qova::test::Ok(WritePortFile(path, 3)));
    if (!qova::test::FileSizeCap::kAvailable)
        GTEST_SKIP() << qova::test::FileSizeCap::kMissing;
    {
        qova::test::FileSizeCap cap(2);
        EXPECT_TRUE(qova::test::Said(WritePortFile(path, 2)).startsWith(QDir::toNativeSeparators(path)));
    }
    EXPECT_EQ(ReadPortFile(path), 3);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("SETUP.EA2")});
}

TEST(Captions, BlanksDifferBetweenStartupAndCommDialog)
{
    EXPECT_EQ(StartupCaption(1), QStringLiteral("QOVA    COM1"));
    EXPECT_EQ(CommDialogCaption(2), QStringLiteral("QOVA  COM2"));
}

struct LocaleCase {
    const char *text;
    bool us;
};
class Locale : public ::testing::TestWithParam<LocaleCase> {};
TEST_P(Locale, OnlyDecimal409IsUs)
{
    EXPECT_EQ(UsLocaleFromLocaleText(QString::fromLatin1(GetParam().text)), GetParam().us);
}
INSTANTIATE_TEST_SUITE_P(Texts, Locale,
                         ::testing::Values(LocaleCase{"00000409", true}, LocaleCase{"409", true},
                                           LocaleCase{"00000809", false}, LocaleCase{"0", false},
                                           LocaleCase{"0000040C", false}, LocaleCase{"", false},
                                           LocaleCase{"4O9", false}));

struct CentreCase {
    int client, panel;
    int pos;
};
class Centre : public ::testing::TestWithParam<CentreCase> {};
TEST_P(Centre, TruncatesTowardZero)
{
    const auto p =
        CentredPosition(QSize(GetParam().client, GetParam().client), QSize(GetParam().panel, GetParam().panel));
    EXPECT_EQ(p.x(), GetParam().pos);
    EXPECT_EQ(p.y(), GetParam().pos);
}
INSTANTIATE_TEST_SUITE_P(Formchnge, Centre,
                         ::testing::Values(CentreCase{533, 433, 50}, CentreCase{534, 433, 50}, CentreCase{428, 433, -2},
                                           CentreCase{433, 433, 0}, CentreCase{432, 433, 0}));

// The connection kept in the settings file as a workshop might leave it by hand: one line
// of text or no choice at all, with a line naming the key when it is ignored.
struct DeviceChoiceCase {
    const char *name;
    QByteArray line; // as written in the file's [General] section
    QString choice;
    bool told;
};
class DeviceChoice : public ::testing::TestWithParam<DeviceChoiceCase> {};
TEST_P(DeviceChoice, OneLineOfTextOrCom)
{
    const DeviceChoiceCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gas.conf"));
    ASSERT_TRUE(qova::test::WriteFileContents(path, "[General]\n" + c.line + "\n"));
    QSettings settings(path, QSettings::IniFormat);
    QStringList ignored;
    EXPECT_EQ(ReadDeviceChoice(settings, &ignored), c.choice);
    ASSERT_EQ(ignored.size(), c.told ? 1 : 0);
    if (c.told) {
        EXPECT_TRUE(ignored[0].startsWith(QStringLiteral("connection = "))) << ignored[0].toStdString();
    }
}
INSTANTIATE_TEST_SUITE_P(
    Rows, DeviceChoice,
    ::testing::Values(DeviceChoiceCase{"Server", "connection=rfc2217://bay3:4001", "rfc2217://bay3:4001", false},
                      DeviceChoiceCase{"Absent", "", "", false},
                      DeviceChoiceCase{"ListFromAnUnquotedComma", "connection=ttyUSB0, ttyUSB1", "", true},
                      DeviceChoiceCase{"EscapedControlCharacter", "connection=demo\\x1b", "", true},
                      DeviceChoiceCase{"PastedPage", "connection=" + QByteArray(400, 'x'), "", true}),
    [](const auto &info) { return std::string(info.param.name); });
