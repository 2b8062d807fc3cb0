// The history's speed on SQLite with full sync: one save, the first screen of a search over
// 200,000 tests, the CSV export of all of them, and 10,000 waiting tests saved at once.
#include "history/csvwriter.h"
#include "history/historydatabase.h"
#include "history/testarchive.h"
#include "history/testscsv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace qova::history;

namespace {

constexpr int kTests = 200000;
constexpr int kRegistrations = 40000; // five visits each

TestEntry sample(int n)
{
    TestEntry e = NewEntry(QDateTime(QDate(2020, 1, 1), QTime(8, 0)).addSecs(600LL * n));
    e.registration = QStringLiteral("AB%1 CDE").arg(n % kRegistrations, 5, 10, QLatin1Char('0'));
    e.vehicle = QStringLiteral("FORD FOCUS 1.6");
    e.companyHeader = QStringLiteral("FAIRWAY MOTORS  ABERDEEN");
    e.fuel = QStringLiteral("PETROL");
    e.printed = {n % 1000, 148, 87 + n % 50, 45, 12, 820, 905, 1002};
    e.received = e.printed;
    e.pageLines = QStringList(17, QStringLiteral("              Carbon Monoxide  0.58%"));
    return e;
}

struct Filled {
    QTemporaryDir dir;
    HistoryDatabase db;
    Filled()
    {
        (void)db.open(QStringLiteral("sqlite://") + dir.filePath(QStringLiteral("history.db")));
        std::vector<TestEntry> batch;
        for (int n = 0; n < kTests; ++n) {
            batch.push_back(sample(n));
            if (batch.size() == 20000) {
                (void)db.saveAll(batch);
                batch.clear();
            }
        }
    }
};

Filled &filled()
{
    static Filled f;
    return f;
}

void BM_SaveOneTestFullSync(benchmark::State &state)
{
    QTemporaryDir dir;
    HistoryDatabase db;
    if (const Done opened = db.open(QStringLiteral("sqlite://") + dir.filePath(QStringLiteral("history.db")));
        !opened.ok()) {
        state.SkipWithError(opened.problem().text().toUtf8().constData());
        return;
    }
    int n = 0;
    for (auto _ : state) {
        TestEntry e = sample(n++);
        if (!db.save(e).ok()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SaveOneTestFullSync)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SearchFirstScreen(benchmark::State &state)
{
    HistoryDatabase &db = filled().db;
    const bool all = state.range(0) == 0;
    int n = 0;
    for (auto _ : state) {
        const QString typed =
            all ? QString() : QStringLiteral("ab%1cde").arg(n++ % kRegistrations, 5, 10, QLatin1Char('0'));
        const auto rows = db.search(typed, 200);
        if (!rows.ok() || rows->empty()) {
            state.SkipWithError(rows.ok() ? "nothing found" : qPrintable(rows.problem().text()));
            break;
        }
        benchmark::DoNotOptimize(rows->data());
    }
    state.SetLabel(all ? "latest 200 of all" : "one registration (5 of 200,000)");
}
BENCHMARK(BM_SearchFirstScreen)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ExportCsv(benchmark::State &state)
{
    HistoryDatabase &db = filled().db;
    qint64 rows = 0;
    for (auto _ : state) {
        QFile out(QStringLiteral("/dev/null"));
        out.open(QIODevice::WriteOnly);
        rows = ExportTestsCsv(db, {}, out).valueOr(-1);
        if (rows != kTests)
            state.SkipWithError("not every test was written");
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
// Five runs and their median: the machine runs other work beside it.
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);

// The writer alone, on rows already read: what the export costs beyond the query.
void BM_CsvWriterRows(benchmark::State &state)
{
    std::vector<std::vector<QByteArray>> texts(kTests);
    std::vector<HistoryDatabase::ResultRow> rows;
    rows.reserve(kTests);
    for (int n = 0; n < kTests; ++n) {
        TestEntry e = sample(n);
        e.id = n + 1;
        rows.push_back(ResultRowOf(e, texts[static_cast<std::size_t>(n)]));
    }
    for (auto _ : state) {
        QFile out(QStringLiteral("/dev/null"));
        out.open(QIODevice::WriteOnly);
        CsvWriter csv(out);
        WriteTestsCsvHeader(csv);
        for (const HistoryDatabase::ResultRow &row : rows)
            WriteTestCsvRow(csv, row);
        (void)csv.finish();
    }
    state.SetItemsProcessed(state.iterations() * kTests);
}
BENCHMARK(BM_CsvWriterRows)->Unit(benchmark::kMillisecond);

// A queue of waiting tests saved into SQLite with full sync, as after a day without the
// database: from reading the queue's file to the last test committed and the file gone.
void BM_DrainWaitingTests(benchmark::State &state)
{
    const int waiting = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString queue = dir.filePath(QStringLiteral("pending-tests.json"));
        {
            QJsonArray array;
            for (int n = 0; n < waiting; ++n)
                array.append(ToJson(sample(n)));
            QSaveFile file(queue);
            file.open(QIODevice::WriteOnly);
            file.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
            file.commit();
        }
        const QString url = QStringLiteral("sqlite://") + dir.filePath(QStringLiteral("history.db"));
        state.ResumeTiming();

        TestArchive archive({url, {}, queue});
        (void)archive.start();
        archive.retry();
        if (!archive.settle(600000) || archive.pendingCount() != 0 || QFile::exists(queue)) {
            state.SkipWithError(qPrintable(QStringLiteral("not drained: ") + archive.problem()));
            break;
        }
        state.PauseTiming();
        HistoryDatabase check;
        (void)check.open(url);
        if (check.count({}).valueOr(-1) != waiting)
            state.SkipWithError("not every waiting test was saved");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * waiting);
}
BENCHMARK(BM_DrainWaitingTests)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

} // namespace
