#pragma once

#include "history/databaseurl.h"
#include "history/testcolumns.h"
#include "history/testentry.h"
#include "result/result.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace qova::history {

// The schema's versions, oldest first; a database is brought up to the newest when opened.
//   1: the table of tests, its uid and its index on the normalised registration
//   2: the view test_results that other tools read
//   3: what was measured, and each stage of a check (testcolumns.h)
//   4: a check's VIN, what the car's own diagnostics said and where its engine speed and
//      warmth came from
inline constexpr int kSchemaVersion = 4;

// Said wherever a history location is chosen or refused when Qt's PostgreSQL driver is
// missing (the Windows build has none); empty when it is there.
QString SqliteOnlyNote();

using qova::Done;
using qova::Problem;
using qova::Result;

// One connection to the history. SQLite and PostgreSQL run the same statements but for
// the id column; every test is saved in one transaction.
class HistoryDatabase {
public:
    struct Options {
        QString password;         // when the URL has none; else libpq reads ~/.pgpass
        int busyTimeoutMs = 5000; // how long SQLite waits for another writer
        // The newest version to bring the schema up to; only tests go below kSchemaVersion.
        int upToVersion = kSchemaVersion;
        // forEachResult may read through SQLite itself where it can; off, it always goes
        // through Qt SQL, so a test can hold the two readings side by side.
        bool directResults = true;
        // Called inside every save's transaction just before it commits: lets a test stop
        // the program there.
        std::function<void()> beforeCommit;
    };

    HistoryDatabase();
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // Connects and migrates. A file that is not an SQLite database is left as it is.
    Done open(const QString &url, const Options &options);
    Done open(const QString &url) { return open(url, Options{}); }
    bool isOpen() const;
    void close();
    const DatabaseLocation &location() const { return location_; }
    Result<int> schemaVersion();

    // Saves `entry` in one transaction; sets its id. A test already saved (its uid) is
    // not added again and gets the id it has.
    Done save(TestEntry &entry);
    // Saves them all in one transaction: all or none (an import, or a benchmark's 200,000).
    Done saveAll(std::vector<TestEntry> &entries);

    // Newest first. An empty registration lists every test. A query the database refuses
    // is a problem, never an empty list: that would read as "no test matched".
    Result<std::vector<TestEntry>> search(const QString &registration, int limit, int offset = 0);
    // Empty when no test has the id.
    Result<std::optional<TestEntry>> find(qint64 id);
    // The newest test of the registration; empty when it has none.
    Result<std::optional<TestEntry>> last(const QString &registration);
    Result<qint64> count(const QString &registration);

    // What the CSV export writes of a test: the columns it reads, the time as stored, no
    // page. The texts are UTF-8 and last only until `each` returns: the export reads millions
    // of values, and a string made for every one of them costs more than writing it.
    using ResultRow = history::ResultRow;
    // The problem carries the database's own words only, as the export has always shown them.
    Done forEachResult(const QString &registration, const std::function<void(const ResultRow &)> &each);
    // Whether forEachResult reads through SQLite's own interface rather than Qt SQL: only
    // on SQLite, where the program was built for a driver on the system's SQLite library.
    bool readsResultsDirectly() const;

    QSqlDatabase connection() const;

private:
    Problem fail(const QString &what, const QString &why);
    Done migrate(int upTo);
    // Inserts in the open transaction; the reason when it failed.
    QString insert(TestEntry &entry);

    QString name_;
    DatabaseLocation location_;
    bool directResults_ = true;
    std::function<void()> beforeCommit_;
};

// The options of a PostgreSQL connection: those of its URL, and what makes a server that is
// gone (a pulled cable, a stopped machine) noticed within about 10 s rather than never. The
// one place a connection's options are made.
QString PostgresConnectOptions(const DatabaseLocation &location);

} // namespace qova::history
