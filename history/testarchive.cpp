#include "testarchive.h"

#include <QThread>

namespace qova::history {

TestArchive::TestArchive(Settings settings) : settings_(std::move(settings)), pending_(settings_.pendingPath) {}

TestArchive::~TestArchive()
{
    if (attempt_) {
        attempt_->wait();
        delete attempt_;
    }
}

void TestArchive::setDatabase(const QString &url, const QString &password)
{
    db_.close();
    settings_.url = url;
    settings_.password = password;
    problem_.clear();
    ++generation_;
}

HistoryDatabase::Options TestArchive::options() const
{
    HistoryDatabase::Options options;
    options.password = settings_.password;
    options.busyTimeoutMs = settings_.busyTimeoutMs;
    return options;
}

void TestArchive::startAttempt()
{
    if (attempt_)
        return;
    const int generation = generation_;
    auto problem = std::make_shared<QString>();
    // A connection of its own in the worker: Qt SQL connections belong to the thread that
    // made them. It only finds out whether the server answers and the schema is current;
    // the connection the program uses is made here afterwards, which then takes a moment.
    attempt_ = QThread::create([url = settings_.url, options = options(), problem] {
        HistoryDatabase trial;
        *problem = trial.open(url, options).what;
    });
    connect(attempt_, &QThread::finished, this, [this, generation, problem] { attemptFinished(generation, *problem); });
    attempt_->start();
}

void TestArchive::attemptFinished(int generation, const QString &problem)
{
    attempt_->wait();
    delete attempt_;
    attempt_ = nullptr;
    if (generation != generation_) {
        // Another database was chosen meanwhile: that one is tried when next needed.
        emit attemptEnded();
        return;
    }
    if (problem.isEmpty()) {
        problem_ = db_.open(settings_.url, options()).what;
        if (problem_.isEmpty())
            retry();
    } else {
        problem_ = problem;
    }
    emit attemptEnded();
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
    if (ParseDatabaseUrl(settings_.url).kind == DatabaseLocation::Kind::Postgresql) {
        startAttempt();
        if (problem_.isEmpty())
            problem_ = QStringLiteral("The history at %1 is not reached yet: its server has not answered so far")
                           .arg(ParseDatabaseUrl(settings_.url).shown);
        return false;
    }
    problem_ = db_.open(settings_.url, options()).what;
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
