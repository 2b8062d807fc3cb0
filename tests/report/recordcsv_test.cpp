// Recording to a file named *.csv: the readings as CSV; every other name keeps the text rows.
#include "report/recording.h"
#include "tests/support/samplereading.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using namespace qova;
using report::RecordFormat;

TEST(RecordCsv, TheNameChoosesTheFormat)
{
    const std::vector<std::pair<QString, RecordFormat>> rows = {{"/r/RUN.TXT", RecordFormat::Text},
                                                                {"/r/run.csv", RecordFormat::Csv},
                                                                {"/r/RUN.CSV", RecordFormat::Csv},
                                                                {"/r/run.csv.txt", RecordFormat::Text},
                                                                {"/r/csv", RecordFormat::Text}};
    for (const auto &[path, format] : rows)
        EXPECT_EQ(report::RecordFormatFor(path), format) << path.toStdString();
}

struct TargetRow {
    const char *chosen;
    const char *filter;
    report::RecordTarget want;
};

class RecordTargetOf : public ::testing::TestWithParam<TargetRow> {};

TEST_P(RecordTargetOf, FilterOrNameChoosesTheFormat)
{
    EXPECT_EQ(report::RecordTargetFor(QString::fromUtf8(GetParam().chosen), QString::fromUtf8(GetParam().filter)),
              GetParam().want);
}

constexpr char kText[] = "Qova Test Data File (*.TXT *.txt)";
constexpr char kCsv[] = "CSV for spreadsheets (*.csv)";

INSTANTIATE_TEST_SUITE_P(
    RecordCsv, RecordTargetOf,
    ::testing::Values(TargetRow{"/r/RUN.TXT", kText, {"/r/RUN.TXT", RecordFormat::Text, false}},
                      TargetRow{"/r/run.csv", kText, {"/r/run.csv", RecordFormat::Csv, false}},
                      // A dialog that returned no filter (an older platform dialog): the name decides.
                      TargetRow{"/r/run.CSV", "", {"/r/run.CSV", RecordFormat::Csv, false}},
                      TargetRow{"/r/RUN", kText, {"/r/RUN", RecordFormat::Text, false}},
                      TargetRow{"/r/run", kCsv, {"/r/run.csv", RecordFormat::Csv, true}},
                      TargetRow{"/r/run.csv", kCsv, {"/r/run.csv", RecordFormat::Csv, false}},
                      // The operator typed a suffix: kept, and the filter still says CSV.
                      TargetRow{"/r/run.dat", kCsv, {"/r/run.dat", RecordFormat::Csv, false}},
                      TargetRow{"/r/run.", kCsv, {"/r/run.", RecordFormat::Csv, false}},
                      TargetRow{"/r.d/bay 3", kCsv, {"/r.d/bay 3.csv", RecordFormat::Csv, true}}));

struct CsvRowCase {
    const char *name;
    std::function<void(link::LiveReading &)> change; // to the sample reading
    const char *row;                                 // after the time
};

class RecordCsvRow : public testing::TestWithParam<CsvRowCase> {};

// Figures in the analyser's units, written with their point and never in the display's units.
TEST_P(RecordCsvRow, RowsAsReceived)
{
    const QDateTime at(QDate(2026, 3, 2), QTime(10, 41, 7), QTimeZone(3600));
    link::LiveReading r = test::SampleReading();
    GetParam().change(r);
    EXPECT_EQ(report::RecordCsvRow(r, at), QByteArray("2026-03-02T10:41:07+01:00,") + GetParam().row);
}

using R = link::LiveReading;
INSTANTIATE_TEST_SUITE_P(Readings, RecordCsvRow,
                         testing::Values(CsvRowCase{"Sample", [](R &) {}, "57,1.50,14.5,20.90,12,850,25.0,1.000,\r\n"},
                                         CsvRowCase{"BelowOneKeepsItsZero",
                                                    [](R &r) {
                                                        r.Co = 58;
                                                        r.O2 = 45;
                                                        r.Efficiency = 1021;
                                                    },
                                                    "57,0.58,14.5,0.45,12,850,25.0,1.021,\r\n"},
                                         CsvRowCase{"NegativeCo", [](R &r) { r.Co = -5; },
                                                    "57,-0.05,14.5,20.90,12,850,25.0,1.000,\r\n"},
                                         // The file keeps degC and fills the AFR column whatever the display shows.
                                         CsvRowCase{"AfrAndFahrenheit",
                                                    [](R &r) {
                                                        r.ModeFlags = link::AfrMode | link::Fahrenheit;
                                                        r.Efficiency = 1470;
                                                        r.OilTemp = 905;
                                                    },
                                                    "57,1.50,14.5,20.90,12,850,90.5,,14.70\r\n"}),
                         [](const testing::TestParamInfo<CsvRowCase> &info) { return std::string(info.param.name); });

TEST(RecordCsv, FileStartsWithItsHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    report::RecordFile file;
    ASSERT_TRUE(file.open(path, RecordFormat::Csv).ok());
    EXPECT_EQ(file.format(), RecordFormat::Csv);
    ASSERT_TRUE(file.writeRow("x\r\n").ok());
    file.close();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        f.readAll(),
        QByteArray("\xEF\xBB\xBFtaken_at,hc_ppm,co_pct,co2_pct,o2_pct,nox_ppm,rpm,oil_temp_c,lambda,afr\r\nx\r\n"));
}
