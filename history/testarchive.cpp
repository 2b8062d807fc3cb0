#include "testarchive.h"

namespace qova::history {

TestArchive::TestArchive(Settings settings) : settings_(std::move(settings)), pending_(settings_.pendingPath) {}

void TestArchive::setDatabase(const QString &url, const QString &password)
{
    db_.close();
    settings_.url = url;
    settings_.password = password;
    problem_.clear();
}

QString TestArchive::start()
{
    return pending_.load();
}

bool TestArchive::ensureOpen()
{
    if (db_.isOpen()) {
        // A server that went away leaves the connection looking open; a failed save
        // closes it, so the next attempt connects afresh.
        return true;
    }
    HistoryDatabase::Options options;
    options.password = settings_.password;
    options.busyTimeoutMs = settings_.busyTimeoutMs;
    problem_ = db_.open(settings_.url, options).what;
    return problem_.isEmpty();
}

HistoryDatabase *TestArchive::database()
{
    return ensureOpen() ? &db_ : nullptr;
}

int TestArchive::retry()
{
    int saved = 0;
    while (pending_.count() > 0 && ensureOpen()) {
        TestEntry entry = pending_.tests().front();
        if (const Problem problem = db_.save(entry)) {
            problem_ = problem.what;
            db_.close();
            break;
        }
        // The uid keeps the test from being saved twice should the removal not reach the disk.
        pending_.removeFirst();
        ++saved;
    }
    return saved;
}

TestArchive::Outcome TestArchive::save(TestEntry entry)
{
    retry();
    Outcome outcome;
    if (pending_.count() == 0 && ensureOpen()) {
        if (const Problem problem = db_.save(entry)) {
            problem_ = problem.what;
            db_.close();
        } else {
            outcome.saved = true;
            outcome.id = entry.id;
            return outcome;
        }
    }
    const QString kept = pending_.add(entry);
    const int waiting = pending_.count();
    outcome.problem = problem_.isEmpty() ? QStringLiteral("The test could not be saved to the history") : problem_;
    if (kept.isEmpty())
        outcome.problem += QStringLiteral(".\n\nThe test is kept and will be saved by itself when the history can "
                                          "be reached (%1 waiting).")
                               .arg(waiting);
    else
        outcome.problem += QStringLiteral(".\n\nIt is kept until the program ends, but it cannot be kept for "
                                          "longer: %1.")
                               .arg(kept);
    return outcome;
}

} // namespace qova::history
