#include "report/recording.h"
#include "report/textfile.h"
#include "tests/report/reportfixtures.h"
#include "tests/support/okresult.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;

using test::FileSizeCap;
using test::platform;

using qova::Done;

namespace {
QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

link::LiveReading exampleReading()
{
    link::LiveReading r = test::SampleReading();
    r.StatusB = link::PumpOn;
    return r;
}
} // namespace

TEST(RecordText, HeaderAndTheExampleRow)
{
    EXPECT_EQ(report::RecordHeader(), platform("HC    CO  CO2  O2   NO   RPM   OIL LMBDA/AFR TIME \n\n"));
    EXPECT_EQ(report::RecordRow(exampleReading(), QStringLiteral("14:07:09")),
              platform("0057 1.50 14.5 20.90 0012 0850 25.0  1.000    14:07:09 \n"));
}

struct RowCase {
    const char *name;
    link::LiveReading reading;
    QByteArray row;
};

class RecordRows : public testing::TestWithParam<RowCase> {};

TEST_P(RecordRows, ValuesAsReceived)
{
    EXPECT_EQ(report::RecordRow(GetParam().reading, QStringLiteral("9:05:01 PM")), platform(GetParam().row));
}

link::LiveReading with(auto change)
{
    link::LiveReading r = exampleReading();
    change(r);
    return r;
}

INSTANTIATE_TEST_SUITE_P(Rows, RecordRows,
                         testing::Values(RowCase{"OverRangeNotLimited", with([](link::LiveReading &r) {
                                                     r.Co = 3000;
                                                     r.Co2 = 300;
                                                     r.Hc = 12000;
                                                     r.Nox = 6000;
                                                     r.Efficiency = 400;
                                                 }),
                                                 "12000 30.00 30.0 20.90 6000 0850 25.0  0.400    9:05:01 PM \n"},
                                         RowCase{"FahrenheitAndAfr", with([](link::LiveReading &r) {
                                                     r.ModeFlags = link::Fahrenheit | link::AfrMode;
                                                     r.OilTemp = 900;
                                                     r.Efficiency = 1470;
                                                 }),
                                                 "0057 1.50 14.5 20.90 0012 0850 194.0  14.70    9:05:01 PM \n"},
                                         RowCase{"Negative", with([](link::LiveReading &r) {
                                                     r.Hc = -5;
                                                     r.Co = -3;
                                                     r.OilTemp = -100;
                                                 }),
                                                 "-005 -0.03 14.5 20.90 0012 0850 -10.0  1.000    9:05:01 PM \n"}),
                         [](const testing::TestParamInfo<RowCase> &info) { return std::string(info.param.name); });

struct ConditionCase {
    std::uint8_t statusA, statusB;
    bool recorded;
};

class RowCondition : public testing::TestWithParam<ConditionCase> {};

TEST_P(RowCondition, NormalOperationWithThePumpOnOnly)
{
    link::LiveReading r = exampleReading();
    r.StatusA = GetParam().statusA;
    r.StatusB = GetParam().statusB;
    EXPECT_EQ(report::ShouldRecord(r), GetParam().recorded);
}

INSTANTIATE_TEST_SUITE_P(Status, RowCondition,
                         testing::Values(ConditionCase{0, link::PumpOn, true},
                                         ConditionCase{0, link::PumpOn | link::Zeroing | link::LowFlow | 0xF0, true},
                                         ConditionCase{0, 0, false}, ConditionCase{0, link::Zeroing, false},
                                         ConditionCase{link::PowerUpCountdown, link::PumpOn, false},
                                         ConditionCase{link::ZeroReady, link::PumpOn, false},
                                         ConditionCase{link::HcCheckDone, link::PumpOn, false},
                                         ConditionCase{link::LeakTestOffer, link::PumpOn, false}));

TEST(RecordFile, ReplacesAnExistingFileAndAppendsWholeRows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("RUN.TXT"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    report::RecordFile file;
    ASSERT_TRUE(qova::test::Ok(file.open(path)));
    EXPECT_EQ(contents(path), report::RecordHeader());
    const QByteArray row = report::RecordRow(exampleReading(), QStringLiteral("10:00:00"));
    ASSERT_TRUE(qova::test::Ok(file.writeRow(row)));
    // On disk at once, not held in a buffer until the file closes.
    EXPECT_EQ(contents(path), report::RecordHeader() + row);
    ASSERT_TRUE(qova::test::Ok(file.writeRow(row)));
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.writeRow(row).ok());
    EXPECT_EQ(contents(path), report::RecordHeader() + row + row);
}

struct BadPath {
    const char *name;
    QString path;
};

class RecordFileCannotStart : public testing::TestWithParam<BadPath> {};

TEST_P(RecordFileCannotStart, OpenFailsWithTheReasonAndLeavesNothingOpen)
{
    report::RecordFile file;
    const Done opened = file.open(GetParam().path);
    ASSERT_FALSE(opened.ok());
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(opened.problem().why.isEmpty());
    EXPECT_EQ(file.path(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Paths, RecordFileCannotStart,
                         testing::Values(BadPath{"MissingFolder", QStringLiteral("/nonexistent-qova/RUN.TXT")},
                                         BadPath{"ProcFolder", QStringLiteral("/proc/RUN.TXT")},
                                         BadPath{"DiskFull", QStringLiteral("/dev/full")}),
                         [](const testing::TestParamInfo<BadPath> &info) { return std::string(info.param.name); });

TEST(RecordFile, AShortWriteStopsAndKeepsTheWholeRowsBeforeIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("FULL.TXT"));
    const QByteArray row = report::RecordRow(exampleReading(), QStringLiteral("10:00:00"));
    report::RecordFile file;
    ASSERT_TRUE(qova::test::Ok(file.open(path)));
    ASSERT_TRUE(qova::test::Ok(file.writeRow(row)));
    if (!FileSizeCap::kAvailable)
        GTEST_SKIP() << FileSizeCap::kMissing;
    Done written;
    {
        FileSizeCap cap(static_cast<rlim_t>(report::RecordHeader().size() + row.size() + 10));
        written = file.writeRow(row);
    }
    ASSERT_FALSE(written.ok());
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(written.problem().why.isEmpty());
    EXPECT_EQ(contents(path), report::RecordHeader() + row);
}
