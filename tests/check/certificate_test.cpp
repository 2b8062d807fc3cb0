#include "check/certificate.h"
#include "check/certificateplot.h"
#include "tests/check/checkrecords.h"
#include "tests/check/obdparts.h"
#include "tests/support/okresult.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;
using check::PlotAxis;
using check::PlotLimit;
using check::PlotSeries;
using check::PlotSpan;
using test::DashboardSays;
using test::IgnitionOff;
using test::LampOnTwoCodes;
using test::LostMidCheck;
using test::SampleCheck;
using test::UntrustedVin;

namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);

QStringList linesOf(SampleCheck which)
{
    return check::CertificateLines(test::SampleRecord(which), kBritish);
}

// The lines of `expected` that are not found in `lines` in that order.
QStringList missingInOrder(const QStringList &lines, const QStringList &expected)
{
    QStringList missing;
    qsizetype at = 0;
    for (const QString &e : expected) {
        const qsizetype found = lines.indexOf(e, at);
        if (found < 0)
            missing << e;
        else
            at = found + 1;
    }
    return missing;
}

} // namespace

TEST(CertificateLines, APassedCatalystTestIsTheWholePageInOrder)
{
    const QStringList expected{
        QStringLiteral("FAIRWAY MOTORS"),
        QStringLiteral("EXHAUST EMISSIONS CHECK"),
        QStringLiteral("PASS"),
        QStringLiteral("Registration: AB12 CDE"),
        QStringLiteral("Model: FORD FIESTA 1.2"),
        QStringLiteral("Type: UK car"),
        QStringLiteral("First used: 1 March 2005"),
        QStringLiteral("Fuel: Petrol"),
        QStringLiteral("Catalyst: yes"),
        QStringLiteral("Two-stroke: no"),
        QStringLiteral("Limit set: UK catalyst test, first used 1 August 1992 or later"),
        QStringLiteral("Source: MOT inspection manual for cars and passenger vehicles (DVSA), exhaust emissions of "
                       "spark ignition engines: fast idle 2500 to 3000 rpm CO 0.3 %, HC 200 ppm, lambda 0.97 to "
                       "1.03; natural idle CO 0.5 %"),
        QStringLiteral("How chosen: UK car, first used 1 August 1992 or later: catalyst test"),
        QStringLiteral("Fast idle, 2500 to 3000 rpm: PASS"),
        QStringLiteral("Deciding 5.0 s: 11.0 s to 16.0 s of the check, 6 readings"),
        QStringLiteral("CO: mean 0.05 %, worst 0.06 %, limit at most 0.30 %: PASS"),
        QStringLiteral("HC: mean 30 ppm, worst 34 ppm, limit at most 200 ppm: PASS"),
        QStringLiteral("Lambda: mean 1.001, worst 1.004, limit 0.970 to 1.030: PASS"),
        QStringLiteral("Engine speed: mean 2750 rpm, worst 2770 rpm, limit 2500 to 3000 rpm: in window"),
        QStringLiteral("Every reading within its limits for 5 s"),
        QStringLiteral("Natural idle, 450 to 1500 rpm: PASS"),
        QStringLiteral("Deciding 5.0 s: 50.0 s to 55.0 s of the check, 6 readings"),
        QStringLiteral("CO: mean 0.10 %, worst 0.10 %, limit at most 0.50 %: PASS"),
        QStringLiteral("HC: mean 50 ppm, worst 50 ppm, limit none: —"),
        QStringLiteral("Lambda: mean 1.005, worst 1.005, limit none: —"),
        QStringLiteral("Engine speed: mean 800 rpm, worst 800 rpm, limit 450 to 1500 rpm: in window"),
        QStringLiteral("Every reading within its limits for 5 s"),
        QStringLiteral("Residual HC in clean air: 4 ppm, deducted from every HC value above"),
        QStringLiteral("Oil temperature at the start: 80.0 °C"),
        QStringLiteral("Date: 2 March 2026"),
        QStringLiteral("Time: 10:40:55"),
        QStringLiteral("Operator: J SMITH"),
    };
    EXPECT_EQ(linesOf(SampleCheck::Pass), expected);
}

struct LinesCase {
    const char *name;
    SampleCheck check;
    std::vector<const char *> lines; // in this order, among others
};

class CertificateText : public ::testing::TestWithParam<LinesCase> {};

TEST_P(CertificateText, SaysWhatDecidedTheCheck)
{
    QStringList expected;
    for (const char *l : GetParam().lines)
        expected << QString::fromUtf8(l);
    const QStringList lines = linesOf(GetParam().check);
    EXPECT_EQ(missingInOrder(lines, expected), QStringList{}) << lines.join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CertificateText,
    ::testing::Values(
        LinesCase{
            "Fail",
            SampleCheck::Fail,
            {"FAIL", "Fast idle, 2500 to 3000 rpm: FAIL", "Deciding 5.0 s: 36.0 s to 41.0 s of the check, 6 readings",
             "CO: mean 0.25 %, worst 0.25 %, limit at most 0.30 %: PASS",
             "HC: mean 350 ppm, worst 350 ppm, limit at most 200 ppm: FAIL",
             "Lambda: mean 1.060, worst 1.060, limit 0.970 to 1.030: FAIL",
             "HC, lambda out of limits in 30 s of measuring", "Natural idle, 450 to 1500 rpm: FAIL",
             "CO: mean 0.80 %, worst 0.82 %, limit at most 0.50 %: FAIL", "CO out of limits in 30 s of measuring"}},
        LinesCase{"Recheck",
                  SampleCheck::Recheck,
                  {"PASS", "Limit set: UK, first used 1 August 1986 to 31 July 1992",
                   "Natural idle, 450 to 1500 rpm: PASS",
                   "Deciding 5.0 s: 35.0 s to 40.0 s of the check, 6 readings; HC re-check 52.0 s to 57.0 s",
                   "CO: mean 1.00 %, worst 1.04 %, limit at most 3.50 %: PASS",
                   "HC: mean 1500 ppm, worst 1500 ppm, limit at most 1200 ppm: FAIL, re-checked",
                   "HC re-check at 2000 rpm: mean 400 ppm, worst 408 ppm, limit at most 1200 ppm: PASS",
                   "Engine speed at 2000 rpm: mean 2000 rpm, worst 2020 rpm, limit 1800 to 2200 rpm: in window"}},
        LinesCase{
            "Unmetered",
            SampleCheck::Unmetered,
            {"READINGS RECORDED", "No metered test applies to this vehicle: the readings are recorded only",
             "First used: 1 May 1970",
             "How chosen: UK car, first used before 1 August 1975: no metered test — record readings only",
             "Natural idle, 450 to 1500 rpm: RECORDED", "CO: mean 3.00 %, worst 3.10 %, limit not metered: recorded",
             "HC: mean 800 ppm, worst 800 ppm, limit not metered: recorded", "Every reading valid and steady for 5 s"}},
        LinesCase{"ConfirmedWarm",
                  SampleCheck::Confirmed,
                  {"PASS", "Residual HC in clean air: 4 ppm, deducted from every HC value above",
                   "Engine temperature confirmed by the operator (no oil probe)", "Date: 2 March 2026"}},
        LinesCase{"Cng",
                  SampleCheck::Cng,
                  {"PASS", "Fuel: CNG", "HC: mean 900 ppm, worst 900 ppm, limit not applied (CNG): —",
                   "Lambda: mean 1.000, worst 1.000, limit 0.970 to 1.030: PASS"}},
        LinesCase{"Abandoned",
                  SampleCheck::Abandoned,
                  {"ABANDONED", "The check was stopped before its verdict", "Fast idle, 2500 to 3000 rpm: PASS",
                   "Natural idle, 450 to 1500 rpm: STOPPED", "CO: mean —, worst —, limit at most 0.50 %: stopped",
                   "Time: 10:40:20"}},
        // The one reading at the start of measuring was within its limits, but none in the last 5 s.
        LinesCase{"NoValidFrame",
                  SampleCheck::NoValidFrame,
                  {"FAIL", "Natural idle, 450 to 1500 rpm: FAIL", "No readings decided it",
                   "CO: mean —, worst —, limit at most 3.50 %: —", "HC: mean —, worst —, limit at most 1200 ppm: —",
                   "Engine speed: mean —, worst —, limit 450 to 1500 rpm: —",
                   "No 5 s of steady valid readings in 30 s of measuring"}},
        LinesCase{"MakersFiguresOnAfr",
                  SampleCheck::MakerAfr,
                  {"Limit set: Vehicle maker's limits", "Source: the vehicle maker's figures, typed in for this check",
                   "How chosen: vehicle maker's figures", "Lambda: mean 1.000, worst 1.010, limit 0.980 to 1.020: PASS",
                   "The analyser showed AFR: lambda is the AFR divided by 14.7 (Petrol)"}}),
    [](const auto &info) { return std::string(info.param.name); });

class CertificateKept : public ::testing::TestWithParam<SampleCheck> {};

// The history keeps the lines; printed again, the page is read back from them whole.
TEST_P(CertificateKept, ReadsBackFromTheLinesTheHistoryKeeps)
{
    const QStringList lines = linesOf(GetParam());
    const check::CertificatePage page = check::CertificateFromLines(lines);
    EXPECT_EQ(check::CertificateLines(page), lines);
    const check::CertificatePage made = check::CertificateContent(test::SampleRecord(GetParam()), kBritish);
    ASSERT_EQ(page.stages.size(), made.stages.size());
    for (std::size_t i = 0; i < made.stages.size(); ++i) {
        EXPECT_EQ(page.stages[i].tone, made.stages[i].tone) << i;
        ASSERT_EQ(page.stages[i].gases.size(), made.stages[i].gases.size()) << i;
        for (std::size_t g = 0; g < made.stages[i].gases.size(); ++g)
            EXPECT_EQ(check::ToneOf(page.stages[i].gases[g].verdict), check::ToneOf(made.stages[i].gases[g].verdict));
    }
    EXPECT_EQ(page.tone, made.tone);
}

INSTANTIATE_TEST_SUITE_P(Checks, CertificateKept,
                         ::testing::Values(SampleCheck::Pass, SampleCheck::Fail, SampleCheck::Recheck,
                                           SampleCheck::Unmetered, SampleCheck::Cng, SampleCheck::Abandoned,
                                           SampleCheck::NoValidFrame, SampleCheck::MakerAfr));

// A header of two lines and a check stopped before any stage.
TEST(CertificateKept, AHeaderOfSeveralLinesAndNoStage)
{
    check::CheckRecord r;
    r.companyHeader = QStringLiteral("FAIRWAY MOTORS\nABERDEEN");
    r.vehicle.registration = QStringLiteral("XY99 ZZZ");
    r.abandoned = true;
    const QStringList lines = check::CertificateLines(r, kBritish);
    EXPECT_EQ(check::CertificateLines(check::CertificateFromLines(lines)), lines);
}

// The car's own diagnostics on the page and in the lines the history keeps: read back, the
// reprint is the same page; without an adapter the page is as it always was.
struct ObdPageCase {
    const char *name;
    std::optional<test::ObdSample> obd;
    const char *set; // whose OBD rule judged the car
    check::SpeedSource speed;
    check::WarmSource warm;
    std::optional<int> warmTenths;
    QStringList expected; // in this order, from the section's first line to the sources line
    check::Tone tone;
};

class CertificateObd : public ::testing::TestWithParam<ObdPageCase> {};

TEST_P(CertificateObd, IsOnThePageAndInTheKeptLines)
{
    const ObdPageCase &c = GetParam();
    check::CheckRecord r = test::SampleRecord(SampleCheck::Pass);
    if (c.obd)
        r.obd = test::MakeObdPart(*c.obd, check::ShippedLimitSet(QString::fromLatin1(c.set)).value().obd);
    r.speedSource = c.speed;
    r.state.warmSource = c.warm;
    r.state.warmTenths = c.warmTenths;
    if (c.warm != check::WarmSource::OilProbe && c.warm != check::WarmSource::None)
        r.state.warmOilTenths.reset();
    const QStringList lines = check::CertificateLines(r, kBritish);
    EXPECT_EQ(missingInOrder(lines, c.expected), QStringList{}) << lines.join(u'\n').toStdString();
    const bool saysObd = std::any_of(lines.begin(), lines.end(), [](const QString &l) {
        return l.startsWith(QLatin1String("On-board diagnostics")) || l.contains(QLatin1String(". Engine warm: "));
    });
    EXPECT_EQ(saysObd, c.obd.has_value());
    // Every line the history keeps is one line of the page.
    for (const QString &line : lines)
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << line.toStdString();

    const check::CertificatePage kept = check::CertificateFromLines(lines);
    EXPECT_EQ(check::CertificateLines(kept), lines);
    EXPECT_EQ(kept.obd.has_value(), c.obd.has_value());
    if (kept.obd) {
        EXPECT_EQ(kept.obd->tone, c.tone);
    }
}

// The operator's word on the dashboard's lamp, where the set asks it: a field of its own
// after the car's lamp, and a finding when the two disagree; a reprint says the same.
INSTANTIATE_TEST_SUITE_P(
    Dashboard, CertificateObd,
    ::testing::Values(
        ObdPageCase{"DashboardOnAsTheCar",
                    DashboardSays(true, true),
                    "uk-1992-catalyst",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: RECORDED", "Warning lamp: ON",
                     "Warning lamp on the dashboard: on (the operator's word)", "Stored codes: none"},
                    check::Tone::Neutral},
        ObdPageCase{"DashboardOnCarOff",
                    DashboardSays(false, true),
                    "uk-1992-catalyst",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: RECORDED", "Warning lamp: off",
                     "Warning lamp on the dashboard: on (the operator's word)", "Stored codes: none",
                     "Finding: the car commands the warning lamp off but the dashboard shows it on: check the lamp"},
                    check::Tone::Neutral},
        ObdPageCase{"DashboardNotConfirmed",
                    DashboardSays(false, std::nullopt),
                    "uk-1992-catalyst",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: RECORDED", "Warning lamp: off",
                     "Warning lamp on the dashboard: not confirmed", "Stored codes: none"},
                    check::Tone::Neutral}),
    [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Cars, CertificateObd,
    ::testing::Values(
        ObdPageCase{"NoAdapterAsBefore",
                    std::nullopt,
                    "uk-1992-catalyst",
                    check::SpeedSource::Analyser,
                    check::WarmSource::None,
                    std::nullopt,
                    {"Oil temperature at the start: 80.0 °C"},
                    check::Tone::Neutral},
        ObdPageCase{"LampOnTwoCodesMonitorsIncomplete",
                    LampOnTwoCodes(),
                    "eu-catalyst-2002",
                    check::SpeedSource::Obd,
                    check::WarmSource::ObdCoolant,
                    784,
                    {"On-board diagnostics: FAIL", "Adapter: ELM327 v1.5", "VIN: WF0AXXGAJA1234567", "Warning lamp: ON",
                     "Stored codes: P0133, P0420", "Readiness, Misfire: complete", "Readiness, Catalyst: incomplete",
                     "Readiness, Oxygen sensor: incomplete", "Readiness, Secondary air system: not supported",
                     "Finding: warning lamp commanded on",
                     "Residual HC in clean air: 4 ppm, deducted from every HC value above",
                     "Engine speed: OBD. Engine warm: OBD coolant temperature 78 °C."},
                    check::Tone::Fail},
        ObdPageCase{"RecordedOnly",
                    LampOnTwoCodes(),
                    "uk-1992-catalyst",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: RECORDED", "Warning lamp: ON", "Oil temperature at the start: 80.0 °C",
                     "Engine speed: analyser. Engine warm: oil probe 80 °C."},
                    check::Tone::Neutral},
        ObdPageCase{"AdapterLost",
                    LostMidCheck(QStringLiteral("no answer for 5 s")),
                    "eu-catalyst-2002",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: PASS", "Warning lamp: off", "Stored codes: none",
                     "Adapter lost during the check: no answer for 5 s; the rest of the check used the analyser "
                     "alone",
                     "Engine speed: analyser. Engine warm: oil probe 80 °C."},
                    check::Tone::Pass},
        ObdPageCase{"VinLikeAPageLineStaysInItsField",
                    // A VIN read as garbage that would look like the notes' first line and a line break.
                    UntrustedVin(QStringLiteral("Residual HC\nX"), QStringLiteral("13 characters, not 17")),
                    "eu-catalyst-2002",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: PASS", "VIN: Residual HC\uFFFDX (not trusted: 13 characters, not 17)",
                     "Warning lamp: off"},
                    check::Tone::Pass},
        ObdPageCase{"IgnitionOffIsUnknown",
                    IgnitionOff(),
                    "eu-catalyst-2002",
                    check::SpeedSource::Analyser,
                    check::WarmSource::OilProbe,
                    800,
                    {"On-board diagnostics: UNKNOWN", "Warning lamp: unknown: UNABLE TO CONNECT",
                     "Stored codes: unknown", "Readiness, All monitors: unknown",
                     "Finding: monitor status not read: UNABLE TO CONNECT"},
                    check::Tone::Neutral}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CertificateText, AnotherSetChosenByTheOperatorSaysSoAndWhy)
{
    check::CheckRecord r = test::SampleRecord(SampleCheck::Pass);
    r.origin = check::LimitOrigin::PickedByOperator;
    r.limitReason = QStringLiteral("imported, first used abroad");
    EXPECT_EQ(missingInOrder(check::CertificateLines(r, kBritish),
                             {QStringLiteral("How chosen: chosen by the operator: imported, first used abroad")}),
              QStringList{});
}

// Stopped before a set was chosen or a frame came: the page still says what is known.
TEST(CertificateText, ACheckStoppedBeforeItStartedSaysWhatIsNotKnown)
{
    check::CheckRecord r;
    r.vehicle.registration = QStringLiteral("XY99 ZZZ");
    r.abandoned = true;
    const QStringList expected{
        QStringLiteral("EXHAUST EMISSIONS CHECK"),
        QStringLiteral("ABANDONED"),
        QStringLiteral("The check was stopped before its verdict"),
        QStringLiteral("Registration: XY99 ZZZ"),
        QStringLiteral("Model: not given"),
        QStringLiteral("Type: UK car"),
        QStringLiteral("First used: not given"),
        QStringLiteral("Fuel: Petrol"),
        QStringLiteral("Catalyst: no"),
        QStringLiteral("Two-stroke: no"),
        QStringLiteral("Limit set: "),
        QStringLiteral("Source: "),
        QStringLiteral("How chosen: "),
        QStringLiteral("Residual HC: not measured"),
        QStringLiteral("Engine temperature: not reached"),
        QStringLiteral("Date: not known"),
        QStringLiteral("Time: not known"),
        QStringLiteral("Operator: not given"),
    };
    EXPECT_EQ(check::CertificateLines(r, kBritish), expected);
    QImage image(620, 877, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    check::PaintCertificate(p, QRectF(0, 0, image.width(), image.height()), r, kBritish);
    p.end();
    EXPECT_EQ(image.pixel(image.width() - 3, image.height() - 3), QColor(Qt::white).rgb());
}

// The plot: where its bands, lines and ticks fall.

struct SpansCase {
    const char *name;
    SampleCheck check;
    std::vector<PlotSpan> stages, windows;
};

class PlotSpans : public ::testing::TestWithParam<SpansCase> {};

TEST_P(PlotSpans, StagesRunFromTheirFirstFrameToTheNextStagesAndWindowsAreTheDecidingOnes)
{
    const check::CheckRecord r = test::SampleRecord(GetParam().check);
    EXPECT_EQ(check::StageSpans(r.state.trace), GetParam().stages);
    EXPECT_EQ(check::DecidingWindows(r.state), GetParam().windows);
}

INSTANTIATE_TEST_SUITE_P(Checks, PlotSpans,
                         ::testing::Values(SpansCase{"Pass",
                                                     SampleCheck::Pass,
                                                     {{0, 16000, 0, false}, {16000, 55000, 1, false}},
                                                     {{11000, 16000, 0, false}, {50000, 55000, 1, false}}},
                                           SpansCase{"Recheck",
                                                     SampleCheck::Recheck,
                                                     {{0, 40000, 0, false}, {40000, 57000, 0, true}},
                                                     {{35000, 40000, 0, false}, {52000, 57000, 0, true}}},
                                           SpansCase{"Abandoned",
                                                     SampleCheck::Abandoned,
                                                     {{0, 16000, 0, false}, {16000, 20000, 1, false}},
                                                     {{11000, 16000, 0, false}}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PlotSpans, TheTimeBeforeTheFirstStageIsInNone)
{
    using check::CheckPhase;
    auto at = [](std::int64_t ms, CheckPhase phase, int stage) {
        return check::TracePoint{.atMs = ms, .phase = phase, .stage = stage};
    };
    const std::vector<check::TracePoint> trace{
        at(0, CheckPhase::WaitingForAnalyser, 0), at(1000, CheckPhase::WaitingForWarmEngine, 0),
        at(2000, CheckPhase::WaitingForSpeed, 0), at(3000, CheckPhase::Measuring, 0),
        at(4000, CheckPhase::Settling, 1),        at(5000, CheckPhase::Finished, 1)};
    EXPECT_EQ(check::StageSpans(trace), (std::vector<PlotSpan>{{2000, 4000, 0, false}, {4000, 5000, 1, false}}));
    EXPECT_EQ(check::StageSpans({}), std::vector<PlotSpan>{});
}

struct AxisCase {
    double low, high;
    int maxSteps;
    PlotAxis axis;
    std::vector<double> ticks;
};

class NiceAxes : public ::testing::TestWithParam<AxisCase> {};

TEST_P(NiceAxes, CoverTheRangeInRoundSteps)
{
    const AxisCase &c = GetParam();
    const PlotAxis a = check::NiceAxis(c.low, c.high, c.maxSteps);
    EXPECT_DOUBLE_EQ(a.min, c.axis.min);
    EXPECT_DOUBLE_EQ(a.max, c.axis.max);
    EXPECT_DOUBLE_EQ(a.step, c.axis.step);
    const std::vector<double> ticks = a.ticks();
    ASSERT_EQ(ticks.size(), c.ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9) << i;
}

INSTANTIATE_TEST_SUITE_P(Ranges, NiceAxes,
                         ::testing::Values(AxisCase{0, 55, 10, {0, 60, 10}, {0, 10, 20, 30, 40, 50, 60}},
                                           AxisCase{0, 0.5, 4, {0, 0.6, 0.2}, {0, 0.2, 0.4, 0.6}},
                                           AxisCase{0.9, 1.1, 4, {0.9, 1.1, 0.05}, {0.9, 0.95, 1.0, 1.05, 1.1}},
                                           AxisCase{0, 3000, 4, {0, 3000, 1000}, {0, 1000, 2000, 3000}},
                                           AxisCase{0, 1500, 4, {0, 1500, 500}, {0, 500, 1000, 1500}},
                                           AxisCase{0, 0.3, 3, {0, 0.3, 0.1}, {0, 0.1, 0.2, 0.3}},
                                           // Nothing to span: one unit above.
                                           AxisCase{5, 5, 4, {5, 6, 0.5}, {5, 5.5, 6}},
                                           AxisCase{-0.3, 0.7, 5, {-0.5, 1.0, 0.5}, {-0.5, 0, 0.5, 1.0}}));

struct SeriesAxisCase {
    const char *name;
    SampleCheck check;
    PlotSeries series;
    PlotAxis axis;
};

class SeriesAxes : public ::testing::TestWithParam<SeriesAxisCase> {};

TEST_P(SeriesAxes, HoldEveryValueAndLimit)
{
    const PlotAxis a = check::ValueAxis(test::SampleRecord(GetParam().check), GetParam().series);
    EXPECT_DOUBLE_EQ(a.min, GetParam().axis.min);
    EXPECT_DOUBLE_EQ(a.max, GetParam().axis.max);
    EXPECT_DOUBLE_EQ(a.step, GetParam().axis.step);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SeriesAxes,
    ::testing::Values(SeriesAxisCase{"PassCo", SampleCheck::Pass, PlotSeries::Co, {0, 0.6, 0.2}},
                      SeriesAxisCase{"PassHcUpToItsLimit", SampleCheck::Pass, PlotSeries::Hc, {0, 200, 50}},
                      SeriesAxisCase{"PassLambda", SampleCheck::Pass, PlotSeries::Lambda, {0.9, 1.1, 0.05}},
                      SeriesAxisCase{"PassRpm", SampleCheck::Pass, PlotSeries::Rpm, {0, 3000, 1000}},
                      SeriesAxisCase{"FailHcAboveItsLimit", SampleCheck::Fail, PlotSeries::Hc, {0, 600, 200}},
                      SeriesAxisCase{"UnmeteredCo", SampleCheck::Unmetered, PlotSeries::Co, {0, 4, 1}},
                      SeriesAxisCase{"RecheckHc", SampleCheck::Recheck, PlotSeries::Hc, {0, 1500, 500}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SeriesAxes, LambdaOfAirInTheProbeDoesNotWidenItsAxis)
{
    check::CheckRecord r = test::SampleRecord(SampleCheck::Pass);
    r.state.trace[1].lambda = 9999;
    r.state.trace[2].lambda = 650;
    EXPECT_EQ(check::ValueAxis(r, PlotSeries::Lambda), (PlotAxis{0.8, 1.2, 0.1}));
}

TEST(TimeAxis, RunsToTheLastFrameAndTenSecondsAtLeast)
{
    const PlotAxis pass = check::TimeAxis(test::SampleRecord(SampleCheck::Pass).state.trace);
    EXPECT_EQ(pass, (PlotAxis{0, 60, 10}));
    const PlotAxis none = check::TimeAxis({});
    EXPECT_EQ(none, (PlotAxis{0, 10, 1}));
}

struct LimitsCase {
    const char *name;
    SampleCheck check;
    PlotSeries series;
    std::vector<PlotLimit> limits;
};

class PlotLimits : public ::testing::TestWithParam<LimitsCase> {};

TEST_P(PlotLimits, HoldOverTheStageTheyBelongTo)
{
    EXPECT_EQ(check::PlotLimits(test::SampleRecord(GetParam().check), GetParam().series), GetParam().limits);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, PlotLimits,
    ::testing::Values(
        LimitsCase{"PassCo", SampleCheck::Pass, PlotSeries::Co, {{0, 16000, 0.3}, {16000, 55000, 0.5}}},
        LimitsCase{"PassHcAtFastIdleOnly", SampleCheck::Pass, PlotSeries::Hc, {{0, 16000, 200}}},
        LimitsCase{"PassLambda", SampleCheck::Pass, PlotSeries::Lambda, {{0, 16000, 0.97}, {0, 16000, 1.03}}},
        LimitsCase{"CngHasNoHcLimit", SampleCheck::Cng, PlotSeries::Hc, {}},
        LimitsCase{"RecheckHc", SampleCheck::Recheck, PlotSeries::Hc, {{0, 40000, 1200}, {40000, 57000, 1200}}},
        LimitsCase{"RecheckSpeed",
                   SampleCheck::Recheck,
                   PlotSeries::Rpm,
                   {{0, 40000, 450}, {0, 40000, 1500}, {40000, 57000, 1800}, {40000, 57000, 2200}}},
        LimitsCase{"UnmeteredHasNoGasLimit", SampleCheck::Unmetered, PlotSeries::Co, {}},
        LimitsCase{"UnmeteredKeepsItsSpeedWindow",
                   SampleCheck::Unmetered,
                   PlotSeries::Rpm,
                   {{0, 15000, 450}, {0, 15000, 1500}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PlotLines, AnInvalidFrameBreaksTheLineAndValuesOffTheAxisRunAlongItsEdge)
{
    auto point = [](std::int64_t ms, bool valid, int rpm) {
        return check::TracePoint{.atMs = ms, .valid = valid, .rpm = rpm};
    };
    const PlotAxis time{0, 4, 1}, rpm{0, 1000, 500};
    const QRectF rect(10, 20, 400, 100);
    const std::vector<check::TracePoint> trace{point(0, true, 500), point(1000, true, 1000), point(2000, false, 0),
                                               point(3000, true, 1500), point(4000, true, 0)};
    const std::vector<QPolygonF> lines = check::PlotLines(trace, PlotSeries::Rpm, time, rpm, rect);
    const std::vector<QPolygonF> expected{QPolygonF{{10, 70}, {110, 20}}, QPolygonF{{310, 20}, {410, 120}}};
    EXPECT_EQ(lines, expected);

    const std::vector<check::TracePoint> leadingInvalid{point(0, false, 0), point(1000, false, 0),
                                                        point(2000, true, 250)};
    const std::vector<QPolygonF> one{QPolygonF{{210, 95}}};
    EXPECT_EQ(check::PlotLines(leadingInvalid, PlotSeries::Rpm, time, rpm, rect), one);
    EXPECT_TRUE(check::PlotLines({point(0, false, 0)}, PlotSeries::Rpm, time, rpm, rect).empty());
}

TEST(PlotLines, EachSeriesIsInItsOwnUnits)
{
    const check::TracePoint p{.co = 30, .hc = 412, .lambda = 1027, .rpm = 2750};
    EXPECT_DOUBLE_EQ(check::PlotValue(p, PlotSeries::Co), 0.3);
    EXPECT_DOUBLE_EQ(check::PlotValue(p, PlotSeries::Hc), 412);
    EXPECT_DOUBLE_EQ(check::PlotValue(p, PlotSeries::Lambda), 1.027);
    EXPECT_DOUBLE_EQ(check::PlotValue(p, PlotSeries::Rpm), 2750);
}

// The painted page.

namespace {

QImage painted(SampleCheck which)
{
    QImage image(1240, 1754, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    check::PaintCertificate(p, QRectF(0, 0, image.width(), image.height()), test::SampleRecord(which), kBritish);
    p.end();
    return image;
}

// Pixels of exactly `colour` in the top `share` of the page, where the verdict is.
int pixelsInVerdictBand(const QImage &image, QColor colour, double share)
{
    int n = 0;
    const QRgb want = colour.rgb();
    for (int y = 0; y < image.height() * share; ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == want;
    return n;
}

const QColor kGreen(0x1b, 0x7f, 0x3b), kRed(0xc6, 0x28, 0x28), kGrey(0x45, 0x5a, 0x64);

} // namespace

struct ToneCase {
    const char *name;
    SampleCheck check;
    QColor verdictColour;
};

class CertificatePaint : public ::testing::TestWithParam<ToneCase> {};

// The big verdict is a solid box of its colour, and no other verdict's colour is near it.
TEST_P(CertificatePaint, TheVerdictIsDrawnLargeInItsColour)
{
    const QImage image = painted(GetParam().check);
    const QColor &want = GetParam().verdictColour;
    // A box of 60 % of the width and 16 mm high, less the letters in it.
    EXPECT_GT(pixelsInVerdictBand(image, want, 0.2), 40000);
    for (const QColor &other : {kGreen, kRed, kGrey}) {
        if (other != want) {
            EXPECT_EQ(pixelsInVerdictBand(image, other, 0.2), 0) << other.name().toStdString();
        }
    }
    EXPECT_EQ(image.pixel(5, 5), QColor(Qt::white).rgb()) << "the page is painted white, edge to edge";
}

INSTANTIATE_TEST_SUITE_P(Checks, CertificatePaint,
                         ::testing::Values(ToneCase{"Pass", SampleCheck::Pass, kGreen},
                                           ToneCase{"Fail", SampleCheck::Fail, kRed},
                                           ToneCase{"Recorded", SampleCheck::Unmetered, kGrey},
                                           ToneCase{"Abandoned", SampleCheck::Abandoned, kGrey}),
                         [](const auto &info) { return std::string(info.param.name); });

// Painted into a PDF, the page's text can be read back: every line is drawn, on one page.
TEST(CertificatePaint, APdfOfThePageHoldsItsTexts)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            FAIL() << "pdftotext (poppler-utils) is missing on CI";
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed, so the page cannot be read back";
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        check::PaintCertificate(p, QRectF(0, 0, writer.width(), writer.height()),
                                test::SampleRecord(SampleCheck::Recheck), kBritish);
    }
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    // The font's ligatures ("ﬁ") come back as one letter each; compatibility form splits them.
    const QString page = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    // pdftotext ends each page with a form feed.
    EXPECT_EQ(page.count(u'\f'), 1) << page.toStdString();
    for (const char *expected :
         {"FAIRWAY MOTORS", "EXHAUST EMISSIONS CHECK", "PASS", "AB12 CDE", "1 June 1990",
          "UK, first used 1 August 1986", "Natural idle, 450 to 1500 rpm", "HC re-check at 2000 rpm",
          "FAIL, re-checked", "1500 ppm", "408 ppm", "at most 1200 ppm",
          "Residual HC in clean air: 4 ppm, deducted from every HC value above",
          "Oil temperature at the start: 80.0 °C", "HC re-check", "deciding 5 s",
          "time since the start of the check (s)", "J SMITH", "2 March 2026"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(expected))) << expected << "\n" << page.toStdString();
}

// Printed again from the history: a device that will not take the page says so, and one
// that does gets the page.
struct KeptPrintCase {
    const char *name;
    const char *file; // under the case's folder
    const char *said; // empty: printed
};
class KeptCertificatePrint : public ::testing::TestWithParam<KeptPrintCase> {};

TEST_P(KeptCertificatePrint, SaysWhenTheDeviceRefuses)
{
    const KeptPrintCase &c = GetParam();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QString::fromLatin1(c.file));
    QString said;
    {
        QPdfWriter writer(pdf);
        said = test::Said(check::PrintKeptCertificate(writer, linesOf(SampleCheck::Recheck)));
    }
    EXPECT_EQ(said, QString::fromLatin1(c.said));
    EXPECT_EQ(QFileInfo(pdf).size() > 1000, !*c.said) << pdf.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, KeptCertificatePrint,
    ::testing::Values(KeptPrintCase{"Printed", "again.pdf", ""},
                      KeptPrintCase{"FolderMissing", "gone/again.pdf",
                                    "The certificate cannot be printed: the printer would not start the page"}),
    [](const auto &info) { return std::string(info.param.name); });
