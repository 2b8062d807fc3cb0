#include "history/testarchive.h"

#include "history/testscsv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <atomic>

namespace qova::history {

// Where the worker's answers go: the archive while it lives, nowhere after.
struct TestArchive::Mailbox {
    QMutex mutex;
    TestArchive *to = nullptr;

    // `call` runs on the archive's thread, and only while it lives: Qt drops a queued call
    // whose receiver is gone.
    void send(std::function<void(TestArchive &)> call)
    {
        const QMutexLocker lock(&mutex);
        if (to)
            QMetaObject::invokeMethod(
                to, [archive = to, call = std::move(call)] { call(*archive); }, Qt::QueuedConnection);
    }
};

// What lives on the worker thread. Everything here but `latestLookUp` and `stopping` is
// touched by that thread only, once it started.
struct TestArchive::Worker {
    QObject *home = nullptr; // lives on the worker thread; jobs are queued to it
    HistoryDatabase db;
    QString url;
    QString password;
    int busyTimeoutMs = 5000;
    int batchSize = 500;
    std::shared_ptr<PendingTests> pending;
    std::shared_ptr<Mailbox> mailbox;
    StepHook stepHook;
    std::atomic<int> latestLookUp{0};
    std::atomic<bool> stopping{false};

    void step(SaveStep s) const
    {
        if (stepHook)
            stepHook(s);
    }

    Done ensureOpen()
    {
        if (db.isOpen())
            return {};
        HistoryDatabase::Options options;
        options.password = password;
        options.busyTimeoutMs = busyTimeoutMs;
        if (stepHook)
            options.beforeCommit = [this] { step(SaveStep::InTransaction); };
        Done opened = db.open(url, options);
        const QString problem = opened.ok() ? QString() : opened.problem().text();
        mailbox->send([problem](TestArchive &archive) { archive.opened(problem.isEmpty(), problem); });
        return opened;
    }

    // Saves the waiting tests, a batch to a transaction and to a rewrite of the queue; how
    // many, and why it stopped short (empty when it did not).
    std::pair<int, QString> drain()
    {
        int saved = 0;
        const Done opened = ensureOpen();
        QString problem = opened.ok() ? QString() : opened.problem().text();
        while (problem.isEmpty() && !stopping.load()) {
            std::vector<TestEntry> batch = pending->first(batchSize);
            if (batch.empty())
                break;
            if (const Done failed = db.saveAll(batch); !failed.ok()) {
                problem = failed.problem().text();
                // A server that went away leaves the connection looking open; the next
                // attempt connects afresh.
                db.close();
                break;
            }
            step(SaveStep::Committed);
            QSet<QString> uids;
            std::vector<std::pair<QString, qint64>> ids;
            for (const TestEntry &entry : batch) {
                uids.insert(entry.uid);
                ids.emplace_back(entry.uid, entry.id);
            }
            // Should this not reach the disk, the tests are saved again later and their
            // uids keep them from being added twice.
            (void)pending->remove(uids);
            step(SaveStep::Dequeued);
            saved += static_cast<int>(batch.size());
            mailbox->send([ids = std::move(ids)](TestArchive &archive) { archive.batchSaved(ids); });
        }
        return {saved, problem};
    }
};

struct TestArchive::SaveWaiter {
    QString uid;
    int number = 0;
    bool hadContext = false;
    QPointer<QObject> context;
    std::function<void(const Saved &)> done;
    QString kept; // why the queue's file could not take it, or empty
    bool answered = false;
};

// A caller's one answer: given once, whether the work or its deadline ends first, and not at
// all once the object the caller named has gone.
template <typename Result> struct OneAnswer {
    OneAnswer(QObject *caller, std::function<void(const Result &)> answerTo)
        : hadContext(caller != nullptr), context(caller), done(std::move(answerTo))
    {
    }

    bool hadContext = false;
    QPointer<QObject> context;
    std::function<void(const Result &)> done;
    bool answered = false;

    void answer(const Result &result)
    {
        if (answered)
            return;
        answered = true;
        if (done && (!hadContext || context))
            done(result);
    }
};

struct TestArchive::LookUpWaiter : OneAnswer<LastResult> {
    using OneAnswer::OneAnswer;
};

TestArchive::TestArchive(Settings settings, StepHook stepHook)
    : settings_(std::move(settings)), stepHook_(std::move(stepHook)),
      pending_(std::make_shared<PendingTests>(settings_.pendingPath)), mailbox_(std::make_shared<Mailbox>())
{
    mailbox_->to = this;
    worker_ = std::make_unique<Worker>();
    worker_->url = settings_.url;
    worker_->password = settings_.password;
    worker_->busyTimeoutMs = settings_.busyTimeoutMs;
    worker_->batchSize = std::max(1, settings_.batchSize);
    worker_->pending = pending_;
    worker_->mailbox = mailbox_;
    worker_->stepHook = stepHook_;
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("history"));
    worker_->home = new QObject;
    worker_->home->moveToThread(thread_);
    thread_->start();
}

TestArchive::~TestArchive()
{
    {
        const QMutexLocker lock(&mailbox_->mutex);
        mailbox_->to = nullptr;
    }
    worker_->stopping.store(true);
    Worker *worker = worker_.get();
    QMetaObject::invokeMethod(
        worker->home,
        [worker] {
            worker->db.close();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (thread_->wait(3000)) {
        delete worker->home;
        delete thread_;
        return;
    }
    // Held by a server that does not answer: waiting would hold the program's end for as
    // long. The queue keeps every test not yet committed; the thread goes with the process.
    (void)worker_.release();
}

Done TestArchive::start()
{
    if (const QString problem = pending_->load(); !problem.isEmpty())
        return Problem{problem, {}, {}};
    return {};
}

void TestArchive::post(std::function<std::function<void()>(Worker &)> job)
{
    ++owed_;
    Worker *worker = worker_.get();
    QMetaObject::invokeMethod(
        worker->home,
        [worker, job = std::move(job)] {
            std::function<void()> reply = job(*worker);
            worker->mailbox->send([reply = std::move(reply)](TestArchive &archive) {
                // Counted first: the reply may open a box, whose own event loop runs on.
                archive.answered();
                if (reply)
                    reply();
            });
        },
        Qt::QueuedConnection);
}

void TestArchive::answered()
{
    --owed_;
}

bool TestArchive::settle(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (owed_ > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (owed_ > 0)
            QThread::msleep(2);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return true;
}

void TestArchive::opened(bool open, const QString &problem)
{
    const bool wasReachable = reachable_;
    reachable_ = open;
    problem_ = problem;
    if (open && !wasReachable)
        emit attemptEnded();
}

void TestArchive::setDatabase(const QString &url, const QString &password)
{
    settings_.url = url;
    settings_.password = password;
    reachable_ = false;
    problem_.clear();
    post([url, password](Worker &w) -> std::function<void()> {
        w.db.close();
        w.url = url;
        w.password = password;
        return {};
    });
}

void TestArchive::requestDrain()
{
    const int upTo = saveCount_;
    post([this, upTo](Worker &w) -> std::function<void()> {
        auto drained = w.drain();
        return [this, upTo, saved = drained.first, problem = std::move(drained.second)] {
            drainEnded(upTo, saved, problem);
        };
    });
}

void TestArchive::retry()
{
    requestDrain();
}

void TestArchive::prepare()
{
    requestDrain();
}

QString TestArchive::keptText(const QString &problem, const QString &kept) const
{
    QString text = problem.isEmpty() ? QStringLiteral("The test could not be saved to the history") : problem;
    if (kept.isEmpty())
        text += QStringLiteral(".\n\nThe test is kept and will be saved by itself when the history can be reached "
                               "(%1 waiting).")
                    .arg(pending_->count());
    else
        text +=
            QStringLiteral(".\n\nIt is kept until the program ends, but it cannot be kept for longer: %1.").arg(kept);
    return text;
}

void TestArchive::finishSave(const std::shared_ptr<SaveWaiter> &waiter, const Saved &saved)
{
    if (waiter->answered)
        return;
    waiter->answered = true;
    std::erase(saveWaiters_, waiter);
    if (waiter->done && (!waiter->hadContext || waiter->context))
        waiter->done(saved);
}

void TestArchive::save(TestEntry entry, QObject *context, std::function<void(const Saved &)> done)
{
    if (entry.uid.isEmpty())
        entry.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    auto waiter = std::make_shared<SaveWaiter>();
    waiter->uid = entry.uid;
    waiter->number = ++saveCount_;
    waiter->hadContext = context != nullptr;
    waiter->context = context;
    waiter->done = std::move(done);
    // In the queue first: from here on the test survives the program.
    const Done queued = pending_->add(entry);
    waiter->kept = queued.ok() ? QString() : queued.problem().text();
    if (stepHook_)
        stepHook_(SaveStep::Queued);
    saveWaiters_.push_back(waiter);
    QTimer::singleShot(settings_.saveDeadlineMs, this, [this, waiter] {
        const QString silent = QStringLiteral("The history at %1 has not answered within %2 s")
                                   .arg(ParseDatabaseUrl(settings_.url).shown)
                                   .arg(settings_.saveDeadlineMs / 1000.0);
        finishSave(waiter, Problem{keptText(silent, waiter->kept), {}, {}});
    });
    requestDrain();
}

void TestArchive::batchSaved(const std::vector<std::pair<QString, qint64>> &ids)
{
    for (const auto &[uid, id] : ids) {
        const auto found = std::find_if(saveWaiters_.begin(), saveWaiters_.end(),
                                        [&uid = uid](const auto &waiter) { return waiter->uid == uid; });
        if (found != saveWaiters_.end())
            finishSave(*found, id);
    }
}

void TestArchive::drainEnded(int upToSave, int saved, const QString &problem)
{
    if (!problem.isEmpty()) {
        reachable_ = false;
        problem_ = problem;
        // The saves this drain was asked for are told now; later ones have a drain of their own.
        const std::vector<std::shared_ptr<SaveWaiter>> waiting = saveWaiters_;
        for (const auto &waiter : waiting)
            if (waiter->number <= upToSave)
                finishSave(waiter, Problem{keptText(problem, waiter->kept), {}, {}});
    }
    emit drained(saved);
}

void TestArchive::lookUpLast(const QString &registration, QObject *context,
                             std::function<void(const LastResult &)> done)
{
    if (lookUp_)
        lookUp_->answered = true; // replaced: never answered
    auto waiter = std::make_shared<LookUpWaiter>(context, std::move(done));
    lookUp_ = waiter;
    if (NormalisedRegistration(registration).isEmpty()) {
        waiter->answer({true, std::nullopt});
        return;
    }
    const int serial = worker_->latestLookUp.fetch_add(1) + 1;
    QTimer::singleShot(settings_.lookUpDeadlineMs, this, [waiter] { waiter->answer({false, std::nullopt}); });
    post([registration, serial, waiter](Worker &w) -> std::function<void()> {
        // Typing asks again at every key: only the newest is worth the database's time.
        if (w.latestLookUp.load() != serial)
            return {};
        // Not open yet, or not reachable: nothing to say, and the window hears again once
        // it opens (attemptEnded).
        if (!w.db.isOpen())
            return [waiter] { waiter->answer({true, std::nullopt}); };
        // The dialog offers the last result as a help; one that cannot be read offers none,
        // and the search in the History window is where the reason is shown.
        std::optional<TestEntry> last = w.db.last(registration).valueOr(std::nullopt);
        return [waiter, last = std::move(last)] { waiter->answer({true, last}); };
    });
}

void TestArchive::search(const QString &registration, int limit, QObject *context,
                         std::function<void(const Listing &)> done)
{
    auto waiter = std::make_shared<OneAnswer<Listing>>(context, std::move(done));
    QTimer::singleShot(settings_.searchDeadlineMs, this, [this, waiter] {
        waiter->answer(Problem{QStringLiteral("The history at %1 has not answered within %2 s")
                                   .arg(ParseDatabaseUrl(settings_.url).shown)
                                   .arg(settings_.searchDeadlineMs / 1000.0),
                               {},
                               {}});
    });
    post([registration, limit, waiter](Worker &w) -> std::function<void()> {
        const Done opened = w.ensureOpen();
        Listing listing = opened.ok() ? Listing(w.db.search(registration, limit)) : Listing(opened.problem());
        return [waiter, listing = std::move(listing)] { waiter->answer(listing); };
    });
}

void TestArchive::exportCsv(const QString &registration, const QString &path, QObject *context,
                            std::function<void(const Exported &)> done)
{
    const bool hadContext = context != nullptr;
    QPointer<QObject> guard(context);
    post([registration, path, hadContext, guard, done = std::move(done)](Worker &w) -> std::function<void()> {
        const Done opened = w.ensureOpen();
        Exported result = opened.ok() ? Exported(qint64{-1}) : Exported(opened.problem());
        if (opened.ok()) {
            QSaveFile file(path);
            if (file.open(QIODevice::WriteOnly))
                result = ExportTestsCsv(w.db, registration, file);
            else
                result = Problem{{}, file.errorString(), {}};
            if (result.ok() && !file.commit())
                result = Problem{{}, file.errorString(), {}};
            if (!result.ok())
                file.cancelWriting();
        }
        return [hadContext, guard, done, result] {
            if (done && (!hadContext || guard))
                done(result);
        };
    });
}

} // namespace qova::history
