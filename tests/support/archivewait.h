#pragma once

#include "history/historydatabase.h"
#include "history/testarchive.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <memory>

namespace qova::test {

// A save through the archive, waited for as the event loop would.
inline history::TestArchive::Saved SaveAndWait(history::TestArchive &archive, history::TestEntry entry)
{
    std::optional<history::TestArchive::Saved> outcome;
    archive.save(std::move(entry), nullptr, [&](const history::TestArchive::Saved &o) { outcome = o; });
    const QDeadlineTimer deadline(30000);
    while (!outcome && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(1);
    }
    archive.settle();
    return outcome.value_or(history::TestArchive::Saved(history::Problem{QStringLiteral("no answer in 30 s"), {}, {}}));
}

// A connection of the test's own to the archive's database, to read what the worker wrote.
inline std::unique_ptr<history::HistoryDatabase> ReadHistory(const history::TestArchive &archive)
{
    auto db = std::make_unique<history::HistoryDatabase>();
    (void)db->open(archive.settings().url);
    return db;
}

} // namespace qova::test
