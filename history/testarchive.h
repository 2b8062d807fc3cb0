#pragma once

#include "historydatabase.h"
#include "pendingtests.h"

#include <QString>

namespace qova::history {

// What the program saves its tests through: the database, and the queue that keeps a
// test the database could not take until it can. The program calls `retry` now and then;
// every save also tries the waiting tests first, oldest first.
class TestArchive {
public:
    struct Settings {
        QString url;
        QString password;
        QString pendingPath;
        int busyTimeoutMs = 5000;
    };
    explicit TestArchive(Settings settings);

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

    // The open database, or null when it cannot be reached (then `problem` says why).
    HistoryDatabase *database();
    // The database only when it is open already: for looking up as the operator types,
    // which must never wait for a server to answer.
    HistoryDatabase *openDatabase() { return db_.isOpen() ? &db_ : nullptr; }
    QString problem() const { return problem_; }
    const Settings &settings() const { return settings_; }
    // Another database from now on (the settings dialog's choice); the waiting tests stay.
    void setDatabase(const QString &url, const QString &password);

private:
    bool ensureOpen();

    Settings settings_;
    HistoryDatabase db_;
    PendingTests pending_;
    QString problem_;
};

} // namespace qova::history
