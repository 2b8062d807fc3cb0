// A whole day of polling in virtual time: the live session against the simulated analyser
// (the program's demo port), with every valid reading recorded as the recording does.

#include "link/livesession.h"
#include "report/recording.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"
#include "tests/support/coreapplication.h"
#include "tests/support/okresult.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace qova;

namespace {

QCoreApplication &app()
{
    return test::CoreApplication("test_longrun");
}

// Large blocks are mapped apart from the heap's arena, and count as much.
std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

constexpr int kPeriodMs = 2000;
constexpr int kFrames = 24 * 60 * 60 * 1000 / kPeriodMs;
constexpr int kFaultEvery = 500;

TEST(LongRun, ADayOfPollingRecordsEveryRowAndHoldsItsMemory)
{
    app();
    ASSERT_EQ(kFrames, 43200);
    // A tmpfs where there is one: the rows are synced one by one, and the test is about
    // what they hold, not about the disk.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/qova-longrun-XXXXXX"));
    ASSERT_TRUE(dir.isValid());

    link::VirtualPause clock;
    sim::DemoOptions options;
    options.faults.badFrameEvery = kFaultEvery;
    auto analyser = std::make_shared<sim::DemoAnalyser>(options);
    link::PortState port([&](int) { return sim::MakeDemoDevice(clock, analyser); }, clock);
    link::LiveSession session(port);

    report::RecordFile file;
    const QString path = dir.filePath(QStringLiteral("day.TXT"));
    ASSERT_TRUE(qova::test::Ok(file.open(path)));
    QCryptographicHash expected(QCryptographicHash::Sha256);
    expected.addData(report::RecordHeader());
    int valid = 0, invalid = 0, rows = 0, failedWrites = 0;
    QObject::connect(&session, &link::LiveSession::validFrame, [&](const link::LiveReading &r) {
        ++valid;
        if (!report::ShouldRecord(r))
            return;
        const QString time =
            QTime(0, 0).addMSecs(static_cast<int>(clock.nowMs() % 86400000)).toString(QStringLiteral("HH:mm:ss"));
        const QByteArray row = report::RecordRow(r, time);
        expected.addData(row);
        ++rows;
        failedWrites += file.writeRow(row).ok() ? 0 : 1;
    });
    QObject::connect(&session, &link::LiveSession::invalidFrame, [&](int) { ++invalid; });

    ASSERT_TRUE(session.start({.periodMs = kPeriodMs, .prompts = true, .noResponseAfter = 3}).ok());
    std::size_t afterFirstHour = 0;
    for (int frame = 1; frame <= kFrames; ++frame) {
        clock.sleepMs(kPeriodMs);
        session.tick();
        if (frame == kFrames / 24) {
            malloc_trim(0);
            afterFirstHour = heapInUse();
        }
    }
    session.stop();
    file.close();
    malloc_trim(0);
    const std::size_t afterDay = heapInUse();

    EXPECT_EQ(valid + invalid, kFrames);
    // The analyser spoils every 500th frame it sends; the first poll is answered too, so
    // the day's frames are its 1st to 43,200th.
    EXPECT_EQ(invalid, kFrames / kFaultEvery);
    EXPECT_EQ(failedWrites, 0);
    // A day holds readings in normal operation and zeros, leak tests and HC checks besides.
    EXPECT_GT(rows, kFrames / 2);
    EXPECT_LT(rows, valid);

    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_EQ(bytes.count('\n'), rows + 2); // the header ends with two line ends
    EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256), expected.result());

    const auto grown = static_cast<long long>(afterDay) - static_cast<long long>(afterFirstHour);
    EXPECT_LT(grown, 1 << 20) << "heap after one hour " << afterFirstHour << " bytes, after the day " << afterDay;
    std::printf("day: %d frames, %d invalid, %d rows; heap after 1 h %zu B, after 24 h %zu B (%+lld B)\n", kFrames,
                invalid, rows, afterFirstHour, afterDay, grown);
}

} // namespace
