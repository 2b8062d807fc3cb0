// What the program writes about the workshop's tests is readable by its user only when it
// makes the file; a file the workshop already had keeps the mode it gave it.
#include "history/historydatabase.h"
#include "history/pendingtests.h"
#include "history/privatefile.h"
#include "report/recording.h"
#include "report/testreport.h"
#include "tests/support/readonlyfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qova;

namespace {

// The mode bits as the system has them.
unsigned modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 0777;
}

struct Writer {
    const char *name;
    const char *file; // under the case's folder, in folders that do not exist yet
    std::function<bool(const QString &path)> write;
};

unsigned gJournalMode = 0; // of the history's -wal while it was open

bool writeHistory(const QString &path)
{
    history::HistoryDatabase db;
    if (!db.open(QStringLiteral("sqlite://") + path).ok())
        return false;
    history::TestEntry entry = history::NewEntry(QDateTime::currentDateTime());
    entry.registration = QStringLiteral("AB12");
    const bool saved = db.save(entry).ok();
    gJournalMode = modeOf(path + QStringLiteral("-wal"));
    return saved;
}

const Writer kWriters[] = {
    {"History", "data/Qovaks/history.db", writeHistory},
    {"Queue", "data/Qovaks/pending-tests.json",
     [](const QString &path) {
         history::PendingTests pending(path);
         return pending.add(history::NewEntry(QDateTime::currentDateTime())).ok();
     }},
    {"Recording", "readings.TXT",
     [](const QString &path) {
         report::RecordFile file;
         return file.open(path).ok() && file.writeRow("1\r\n").ok();
     }},
    {"Report", "J123ABC.TXT", [](const QString &path) { return report::AppendToFile(path, "X \n").ok(); }},
};

struct ModeCase {
    int writer;
    bool existed; // a file of mode 0644 was there first
};

class PrivateFiles : public ::testing::TestWithParam<ModeCase> {};

TEST_P(PrivateFiles, AreTheUsersOnlyWhenMadeHere)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps a user's files private by the access list of the profile folder, not by mode bits";
#endif
    const Writer &w = kWriters[GetParam().writer];
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(w.file));
    if (GetParam().existed) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        if (QString::fromLatin1(w.name) != QLatin1String("History")) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        } else {
            ASSERT_TRUE(writeHistory(path));
        }
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    }
    ASSERT_TRUE(w.write(path)) << w.name;
    EXPECT_EQ(modeOf(path), GetParam().existed ? 0644u : 0600u) << w.name;
    if (QString::fromLatin1(w.name) == QLatin1String("History")) {
        EXPECT_EQ(gJournalMode, GetParam().existed ? 0644u : 0600u) << "its journal";
    }
    if (!GetParam().existed && QString::fromLatin1(w.file).contains(u'/')) {
        EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("data"))), 0700u) << w.name;
        EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("data/Qovaks"))), 0700u) << w.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, PrivateFiles,
                         ::testing::Values(ModeCase{0, false}, ModeCase{0, true}, ModeCase{1, false}, ModeCase{1, true},
                                           ModeCase{2, false}, ModeCase{2, true}, ModeCase{3, false},
                                           ModeCase{3, true}),
                         [](const auto &info) {
                             return std::string(kWriters[info.param.writer].name) +
                                    (info.param.existed ? "Existing" : "New");
                         });

// Where a folder cannot be made, whoever asked for it says which folder and the reason.
struct FolderCase {
    const char *name;
    const char *blocker; // a file made under the case's folder first; empty for none
    const char *asked;   // under the case's folder, or absolute
    const char *refused; // the folder said to be refused, likewise
    const char *why;     // the start of the reason
    bool needsNonRoot;   // root writes into any folder
    // What the operator is told; empty when it went well.
    std::function<QString(const QString &folder)> said;
};

QString saidByFolder(const QString &folder)
{
    const Done made = history::MakePrivateFolder(folder);
    return made.ok() ? QString() : made.problem().text();
}

QString saidByHistory(const QString &folder)
{
    history::HistoryDatabase db;
    const Done opened = db.open(QStringLiteral("sqlite://") + folder + QStringLiteral("/history.db"));
    return opened.ok() ? QString() : opened.problem().text();
}

QString saidByQueue(const QString &folder)
{
    history::PendingTests pending(folder + QStringLiteral("/pending-tests.json"));
    const Done added = pending.add(history::NewEntry(QDateTime::currentDateTime()));
    return added.ok() ? QString() : added.problem().text();
}

const FolderCase kFolderCases[] = {
    {"FileInItsPlace", "data", "data", "data", "a file of that name is in its place", false, saidByFolder},
    {"FileInPlaceOfAFolderAbove", "data", "data/Qovaks", "data", "a file of that name is in its place", false,
     saidByFolder},
    {"HistoryUnderAFile", "data", "data/Qovaks", "data", "a file of that name is in its place", false, saidByHistory},
    {"QueueUnderAFile", "data", "data/Qovaks", "data", "a file of that name is in its place", false, saidByQueue},
    {"ReadOnlyFolder", "", "locked/data", "locked/data", "Permission denied", true, saidByFolder},
#ifndef _WIN32 // Windows has no folder that its administrator, or Wine's root, cannot write into
    {"SystemFolder", "", "/sys/qova-history", "/sys/qova-history", "", false, saidByFolder},
#endif
};

class FolderNotMade : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderNotMade, SaysWhichAndWhy)
{
    const FolderCase &c = GetParam();
    if (c.needsNonRoot && !qova::test::ReadOnlyFolderKeepsUsOut())
        GTEST_SKIP() << "this user is let into a read-only folder";
    QTemporaryDir dir;
    const auto under = [&dir](const char *path) {
        return path[0] == '/' ? QString::fromLatin1(path) : dir.filePath(QString::fromLatin1(path));
    };
    if (*c.blocker) {
        QFile blocker(under(c.blocker));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    if (c.needsNonRoot) {
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("locked"))));
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("locked"))).constData(), 0500), 0);
    }
    const QString said = c.said(under(c.asked));
    const QString expected = QStringLiteral("The folder %1 cannot be made: %2")
                                 .arg(QDir::toNativeSeparators(under(c.refused)), QString::fromLatin1(c.why));
    EXPECT_TRUE(said.contains(expected)) << said.toStdString();
    // The system's reason is never dropped, whatever words it has.
    EXPECT_GT(said.size(), expected.size() - static_cast<int>(std::strlen(c.why)) + 2) << said.toStdString();
    if (*c.blocker) {
        EXPECT_TRUE(QFileInfo(under(c.blocker)).isFile()) << "the file in the way is left as it was";
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderNotMade, ::testing::ValuesIn(kFolderCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
