#pragma once

#include "history/testentry.h"

#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace qova::history {

// The tests not yet in the database, in a small JSON file of their own, so that they wait
// for it across a restart. A test is put here before the database is tried and leaves only
// once the database has committed it. Every change rewrites the whole file through a
// temporary one, so a crash or a full disk leaves the old file or the new, never half of one.
//
// The program's window thread adds and the history's worker takes away: every call may come
// from either.
class PendingTests {
public:
    explicit PendingTests(QString path);

    // Reads the file. A file that cannot be read as tests is moved aside (never dropped);
    // one that cannot be read at all is left exactly as it is and the tests that wait from
    // now on go to a second file beside it. The problem is returned for the operator.
    QString load();
    const QString &path() const { return path_; }
    // Where the queue is written: the file itself, or the one beside it while it cannot be read.
    QString writtenTo() const;

    std::vector<TestEntry> tests() const;
    int count() const;
    // The oldest `n`.
    std::vector<TestEntry> first(int n) const;

    // A problem when the file could not be written; the tests stay in memory either way.
    qova::Done add(const TestEntry &entry);
    // Takes the tests with these uids out, with one rewrite of the file.
    qova::Done remove(const QSet<QString> &uids);

    // The files a queue may be kept in: the file itself, then those beside it.
    static constexpr int kFiles = 10;
    QString fileName(int n) const;

private:
    qova::Done write();

    mutable QMutex mutex_;
    QString path_;
    QString writtenTo_;
    // Readable files beside the one written to, whose tests were taken in: they go once the
    // tests are safely in the file written to.
    QStringList mergedFrom_;
    std::vector<TestEntry> tests_;
    // Each test as the file has it, made once: a drain rewrites the file after every batch.
    std::vector<QByteArray> written_;
};

// The queue's file in the user's data folder.
QString DefaultPendingPath();

} // namespace qova::history
