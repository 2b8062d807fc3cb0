#include "link/pause.h"
#include "link/qserialdevice.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"
#include "store/storedtest.h"
#include "store/storefile.h"
#include "store/ui/storeviewer.h"
#include "store/upload.h"
#include "tests/store/uploadanalyser.h"

#include "tests/support/scriptedoperator.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QListWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace qova;

namespace {

constexpr int kRecords = 1000000;
constexpr int kYear = 2026;

struct BigFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("BIG.QVS"));
    BigFile()
    {
        const auto store = test::SampleStore(kRecords);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(reinterpret_cast<const char *>(store.data()), static_cast<qint64>(store.size())) !=
                static_cast<qint64>(store.size()))
            std::abort();
    }
};

BigFile &bigFile()
{
    static BigFile file;
    return file;
}

// Open the viewer on a million records: read the file, hand the list its model, paint the
// whole window once (graph with all seven traces, list, buttons).
void BM_ViewerOpenModel(benchmark::State &state)
{
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState shared({}, pause, op);
    store::TForm11 viewer(shared);
    viewer.resize(1280, 960);
    for (auto _ : state) {
        shared.StoreFileName = bigFile().path;
        if (!store::LoadStoredTests(shared.StoreFileName, shared.StoreData, shared.StoreRecordCount, {}).ok())
            state.SkipWithError("load failed");
        viewer.showRecords(kYear);
        benchmark::DoNotOptimize(viewer.grab());
    }
    state.counters["records"] = shared.StoreRecordCount;
}
BENCHMARK(BM_ViewerOpenModel)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same file in a QListWidget filled one row at a time, and that list painted once.
void BM_ViewerOpenListWidget(benchmark::State &state)
{
    for (auto _ : state) {
        QString name = bigFile().path;
        QByteArray data;
        int count = 0;
        (void)store::LoadStoredTests(name, data, count, {});
        QListWidget list;
        list.resize(449, 172);
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
        for (int i = 0; i < count; ++i)
            list.addItem(store::FormatStoredTestRow(bytes + static_cast<qsizetype>(i) * store::kRecordSize, kYear));
        benchmark::DoNotOptimize(list.grab());
    }
}
BENCHMARK(BM_ViewerOpenListWidget)->Unit(benchmark::kMillisecond)->Iterations(1);

// The export as written straight from printf, one call per field of the row.
QString exportWithSnprintf(const QString &dataPath)
{
    QFile in(dataPath);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = in.readAll();
    const QString textPath = store::ExportPathFor(dataPath);
    std::FILE *out = std::fopen(QFile::encodeName(textPath).constData(), "wb");
    if (out == nullptr)
        return {};
    std::fputs(store::kExportHeader, out);
    std::fputs("\r\n\r\n", out);
    const auto *b = reinterpret_cast<const std::uint8_t *>(data.constData());
    char piece[64];
    const auto put = [&](int n) { std::fwrite(piece, 1, static_cast<std::size_t>(n), out); };
    for (qsizetype i = 0; i + store::kRecordSize <= data.size(); i += store::kRecordSize) {
        const std::uint8_t *r = b + i;
        put(std::snprintf(piece, sizeof piece, "%04d/%02d/%02d  %02d:%02d:%02d ", store::StoredYear(r[5], kYear),
                          store::DecodeBcd(r[4]), store::DecodeBcd(r[3]), store::DecodeBcd(r[2]),
                          store::DecodeBcd(r[1]), store::DecodeBcd(r[0])));
        put(std::snprintf(piece, sizeof piece, "%04d ", store::StoredNumber(r, store::kHcOffset)));
        put(std::snprintf(piece, sizeof piece, "%5.2f ", store::StoredNumber(r, store::kCoOffset) * 0.01));
        put(std::snprintf(piece, sizeof piece, "%4.1f ", store::StoredNumber(r, store::kCo2Offset) * 0.1));
        put(std::snprintf(piece, sizeof piece, "%5.2f ", store::StoredNumber(r, store::kO2Offset) * 0.01));
        put(std::snprintf(piece, sizeof piece, "%04d ", store::StoredNumber(r, store::kNoOffset)));
        put(std::snprintf(piece, sizeof piece, "%04d ", store::StoredNumber(r, store::kRpmOffset)));
        put(std::snprintf(piece, sizeof piece, "%.1f", store::StoredNumber(r, store::kOilOffset) * 0.1));
        std::fputs("\r\n", out);
    }
    std::fclose(out);
    return textPath;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void BM_ExportFast(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(store::ExportStoredFile(bigFile().path, kYear));
    state.SetItemsProcessed(state.iterations() * kRecords);
    // The text must be the same, byte for byte, as the plain one.
    const QByteArray fast = readAll(store::ExportPathFor(bigFile().path));
    exportWithSnprintf(bigFile().path);
    if (fast != readAll(store::ExportPathFor(bigFile().path)))
        state.SkipWithError("the two exports differ");
}
BENCHMARK(BM_ExportFast)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExportSnprintf(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(exportWithSnprintf(bigFile().path));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ExportSnprintf)->Unit(benchmark::kMillisecond)->Iterations(5);

// Uploads the store into `path`; the milliseconds it took.
double uploadMs(benchmark::State &state, link::PortState &port, const link::Pause &clock, const QString &path)
{
    QString name;
    store::UploadHooks hooks;
    hooks.chooseFile = [&] { return path; };
    const std::int64_t start = clock.nowMs();
    if (!store::UploadStoredTests(port, name, hooks).ok())
        state.SkipWithError("upload failed");
    return static_cast<double>(clock.nowMs() - start);
}

// A full store of 7936 bytes from an analyser that answers at once over a 9600-baud line,
// in real time. "ratio" is the time taken over the time the analyser's bytes need on the line.
void BM_UploadFullStore(benchmark::State &state)
{
    link::ThreadPause clock;
    QTemporaryDir dir;
    test::UploadAnalyser *analyser = nullptr;
    double ratio = 0;
    for (auto _ : state) {
        link::PortState port(test::FullStoreDevices(clock, analyser), clock);
        const double elapsed = uploadMs(state, port, clock, dir.filePath(QStringLiteral("FULL.QVS")));
        ratio = elapsed / (static_cast<double>(analyser->bytesSent()) * 10.0 * 1000.0 / 9600.0);
    }
    state.counters["ratio"] = ratio;
    state.counters["fixed_waits_ratio"] =
        (1400.0 + 410.0 * 32) / (static_cast<double>(analyser->bytesSent()) * 10.0 * 1000.0 / 9600.0);
}
BENCHMARK(BM_UploadFullStore)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same against the simulated analyser's own model, 265 stored tests (7950 bytes) in
// blocks of varying length, in process at 9600 baud and in real time.
void BM_UploadSimulatorStore(benchmark::State &state)
{
    link::ThreadPause clock;
    QTemporaryDir dir;
    double ratio = 0, fixed = 0;
    for (auto _ : state) {
        sim::DemoOptions options;
        options.storedTests = 265;
        auto analyser = std::make_shared<sim::DemoAnalyser>(options);
        link::PortState port([&](int) { return std::make_unique<sim::SimDevice>(clock, analyser); }, clock);
        const double elapsed = uploadMs(state, port, clock, dir.filePath(QStringLiteral("SIM.QVS")));
        const double wire = (2.0 + static_cast<double>(analyser->store().size()) + 3.0 * analyser->blocksSent()) *
                            10.0 * 1000.0 / 9600.0;
        ratio = elapsed / wire;
        fixed = (1400.0 + 410.0 * analyser->blocksSent()) / wire;
        state.counters["blocks"] = analyser->blocksSent();
    }
    state.counters["ratio"] = ratio;
    state.counters["fixed_waits_ratio"] = fixed;
}
BENCHMARK(BM_UploadSimulatorStore)->Unit(benchmark::kMillisecond)->Iterations(1);

// Over a real serial line: QOVA_UPLOAD_PORT names a device (the pseudo-terminal that
// qova-analyser-sim prints). Reports the time only; the program's store size is its own.
void BM_UploadOverSerialDevice(benchmark::State &state)
{
    const QString device = qEnvironmentVariable("QOVA_UPLOAD_PORT");
    if (device.isEmpty()) {
        state.SkipWithError("QOVA_UPLOAD_PORT not set");
        for (auto _ : state) {
        }
        return;
    }
    // As in the program: the serial port takes in what arrives while the event loop runs.
    link::EventLoopPause clock;
    QTemporaryDir dir;
    qint64 bytes = 0;
    for (auto _ : state) {
        link::PortState port([&](int) { return std::make_unique<link::QSerialDevice>(device); }, clock);
        QString name;
        store::UploadHooks hooks;
        hooks.chooseFile = [&] { return dir.filePath(QStringLiteral("PTY.QVS")); };
        int blocks = 0;
        hooks.progress = [&](const store::UploadProgress &p) {
            blocks = p.accepted + p.rejected;
            bytes = p.bytes;
        };
        const std::int64_t start = clock.nowMs();
        if (const qova::Done uploaded = store::UploadStoredTests(port, name, hooks); !uploaded.ok())
            state.SkipWithError(uploaded.problem().text().toStdString().c_str());
        const double wire = (2.0 + static_cast<double>(bytes) + 3.0 * blocks) * 10.0 * 1000.0 / 9600.0;
        state.counters["ratio"] = static_cast<double>(clock.nowMs() - start) / wire;
        state.counters["fixed_waits_ratio"] = (1400.0 + 410.0 * blocks) / wire;
        state.counters["blocks"] = blocks;
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_UploadOverSerialDevice)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
