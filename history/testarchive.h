#pragma once

#include "historydatabase.h"
#include "pendingtests.h"

#include <QObject>
#include <QString>
#include <memory>

class QThread;

namespace qova::history {

// What the program saves its tests through: the database, and the queue that keeps a
// test the database could not take until it can. The program calls `retry` now and then;
// every save also tries the waiting tests first, oldest first.
//
// A PostgreSQL server is connected to in the background: a server that does not answer
// would otherwise hold the windows for as long as the connection waits. Until the attempt
// ends the database counts as not reachable (a save is kept in the queue); when it opens,
// the waiting tests are saved by themselves. An SQLite file is opened at once.
class TestArchive : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString url;
        QString password;
        QString pendingPath;
        int busyTimeoutMs = 5000;
    };
    explicit TestArchive(Settings settings);
    // Waits for a connection attempt still under way (at most the connection timeout).
    ~TestArchive() override;

    // Reads the waiting tests; the problem, if the file had to be moved aside.
    QString start();

    struct Outcome {
        bool saved = false;
        qint64 id = 0;
        QString problem; // one message for the operator when not saved
    };
    Outcome save(TestEntry entry);

    // Saves the waiting tests it can, oldest first; how many were saved.
    int retry();
    int pendingCount() const { return pending_.count(); }
    const PendingTests &pending() const { return pending_; }

    // The open database, or null when it cannot be reached now (then `problem` says why);
    // a PostgreSQL server not yet connected to is tried in the background.
    HistoryDatabase *database();
    // Starts opening the database, in the background where it is a server, and returns.
    void prepare() { ensureOpen(); }
    // Whether a background connection attempt is under way.
    bool connecting() const { return attempt_ != nullptr; }
    // The database only when it is open already: for looking up as the operator types,
    // which must never wait for a server to answer.
    HistoryDatabase *openDatabase() { return db_.isOpen() ? &db_ : nullptr; }
    QString problem() const { return problem_; }
    const Settings &settings() const { return settings_; }
    // Another database from now on (the settings dialog's choice); the waiting tests stay.
    void setDatabase(const QString &url, const QString &password);

signals:
    // A background connection attempt ended: the database is open (and the waiting tests
    // saved), or `problem` says why not. Windows showing the history refresh from it.
    void attemptEnded();

private:
    bool ensureOpen();
    HistoryDatabase::Options options() const;
    void startAttempt();
    void attemptFinished(int generation, const QString &problem);

    Settings settings_;
    HistoryDatabase db_;
    PendingTests pending_;
    QString problem_;
    QThread *attempt_ = nullptr;
    // Counts database changes, so an attempt at a database no longer chosen is ignored.
    int generation_ = 0;
};

} // namespace qova::history
