#pragma once

#include "history/historydatabase.h"
#include "history/pendingtests.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace qova::history {

// What the program keeps its tests through: the database, and the queue of tests not yet
// in it. Every database operation runs on a worker thread of its own, which alone holds the
// connection; the window thread asks and is answered later, on its own thread, through the
// callback it gave, so a server that stops answering never holds a window. Each request
// has a deadline after which it is answered without the database.
//
// A test is put in the queue before the database is tried and leaves it only after the
// database committed it; its uid makes a second save of it add nothing. So a program killed
// at any point loses no test and keeps none twice.
//
// Every member is for the window thread (the thread that made the archive).
class TestArchive : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString url;
        QString password;
        QString pendingPath;
        int busyTimeoutMs = 5000;
        // How long a window waits for an answer before going on without it.
        int lookUpDeadlineMs = 1000;
        int saveDeadlineMs = 5000;
        int searchDeadlineMs = 5000;
        // How many waiting tests one transaction saves, with one rewrite of the queue's file.
        int batchSize = 500;
    };
    // The steps of a save, so a test can stop the program at each of them.
    enum class SaveStep { Queued, InTransaction, Committed, Dequeued };
    using StepHook = std::function<void(SaveStep)>;

    explicit TestArchive(Settings settings, StepHook stepHook = {});
    // Lets the worker end what it does; one held by a server that does not answer is left
    // to the end of the program rather than waited for.
    ~TestArchive() override;

    // Reads the waiting tests and starts the worker; the problem, if the file had to be moved
    // aside or cannot be read.
    Done start();

    // The saved test's id, or one message for the operator (`what`) when it was not saved.
    using Saved = Result<qint64>;
    // Keeps the test in the queue, then saves what waits, oldest first. `done` is called once,
    // on this thread, within the save deadline, unless `context` went first.
    void save(TestEntry entry, QObject *context, std::function<void(const Saved &)> done);

    // Not a failure but what the window shows: a look-up that is not answered in time shows
    // nothing, as one that found nothing does.
    struct LastResult {
        bool answered = false;         // false: the history gave no answer in time
        std::optional<TestEntry> test; // none found, or the history is not open
    };
    // The newest test of a registration, only from a database already open. A newer look-up
    // replaces one not yet answered, whose `done` is then never called.
    void lookUpLast(const QString &registration, QObject *context, std::function<void(const LastResult &)> done);

    // The tests found, or why the history could not be reached.
    using Listing = Result<std::vector<TestEntry>>;
    void search(const QString &registration, int limit, QObject *context, std::function<void(const Listing &)> done);

    // The number of rows written.
    using Exported = Result<qint64>;
    // Writes the matching tests to a CSV file at `path` (all or nothing).
    void exportCsv(const QString &registration, const QString &path, QObject *context,
                   std::function<void(const Exported &)> done);

    // Saves the waiting tests it can, in batches, oldest first.
    void retry();
    // Starts opening the database; the waiting tests are saved once it opens.
    void prepare();

    int pendingCount() const { return pending_->count(); }
    const PendingTests &pending() const { return *pending_; }
    // Whether the database was open at the last word from the worker.
    bool reachable() const { return reachable_; }
    // Why the database could not be used last time, or empty.
    QString problem() const { return problem_; }
    const Settings &settings() const { return settings_; }
    // Another database from now on (the settings dialog's choice); the waiting tests stay.
    void setDatabase(const QString &url, const QString &password);

    // Runs this thread's events until every request made so far has had the worker's answer;
    // false when that took longer than `timeoutMs`.
    bool settle(int timeoutMs = 30000);
    // Whether a request made so far still waits for the worker's answer.
    bool busy() const { return owed_ > 0; }

signals:
    // The database has just been opened: windows showing the history refresh from it.
    void attemptEnded();
    // A drain of the queue ended; `saved` tests went into the database.
    void drained(int saved);

private:
    struct Worker;
    struct Mailbox;
    struct SaveWaiter;
    struct LookUpWaiter;

    // Runs `job` on the worker; `answered` counts the requests still owed an answer.
    void post(std::function<std::function<void()>(Worker &)> job);
    void answered();
    void requestDrain();
    void batchSaved(const std::vector<std::pair<QString, qint64>> &ids);
    void drainEnded(int upToSave, int saved, const QString &problem);
    void finishSave(const std::shared_ptr<SaveWaiter> &waiter, const Saved &saved);
    QString keptText(const QString &problem, const QString &kept) const;
    void opened(bool open, const QString &problem);

    Settings settings_;
    StepHook stepHook_;
    std::shared_ptr<PendingTests> pending_; // shared with the worker, which may outlive the archive
    QThread *thread_ = nullptr;
    std::unique_ptr<Worker> worker_;
    std::shared_ptr<Mailbox> mailbox_;
    std::vector<std::shared_ptr<SaveWaiter>> saveWaiters_;
    std::shared_ptr<LookUpWaiter> lookUp_;
    int saveCount_ = 0;
    int owed_ = 0;
    bool reachable_ = false;
    QString problem_;
};

} // namespace qova::history
