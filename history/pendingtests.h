#pragma once

#include "testentry.h"

#include <QString>
#include <vector>

namespace qova::history {

// The tests whose save failed, in a small JSON file of their own, so that they wait for
// the database across a restart. Every change rewrites the whole file through a temporary
// one, so a crash or a full disk leaves the old file or the new, never half of one.
class PendingTests {
public:
    explicit PendingTests(QString path);

    // Reads the file. A file that cannot be read as tests is moved aside (never dropped)
    // and the problem returned; the queue then starts empty.
    QString load();
    const QString &path() const { return path_; }

    const std::vector<TestEntry> &tests() const { return tests_; }
    int count() const { return static_cast<int>(tests_.size()); }

    // Empty on success, else why the file could not be written; the tests stay in memory.
    QString add(const TestEntry &entry);
    QString removeFirst();

private:
    QString write();

    QString path_;
    std::vector<TestEntry> tests_;
};

// The queue's file in the user's data folder.
QString DefaultPendingPath();

} // namespace qova::history
