// What the program writes about the workshop's tests is readable by its user only when it
// makes the file; a file the workshop already had keeps the mode it gave it.
#include "history/historydatabase.h"
#include "history/pendingtests.h"
#include "report/recording.h"
#include "report/testreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
         return pending.add(history::NewEntry(QDateTime::currentDateTime())).isEmpty();
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

} // namespace
