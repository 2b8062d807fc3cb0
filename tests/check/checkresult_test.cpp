#include "check/checkresult.h"
#include "tests/check/checkdrive.h"
#include "tests/check/checkrecords.h"
#include "tests/check/obdparts.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;
using check::EmissionsCheck;
using check::Fuel;
using test::Exhaust;

namespace {
using Frame = std::optional<link::LiveReading>;
using test::CleanAirThen;
} // namespace

// A whole check driven a frame a second; every row of its result as
// "stage|gas|mean|worst|limit|result", then each failed stage's line.
struct ResultCase {
    const char *name;
    const char *set;
    Fuel fuel;
    test::FrameScript script;
    std::vector<std::string> rows;
    std::vector<std::string> failures;
};

class CheckResultRows : public ::testing::TestWithParam<ResultCase> {};

TEST_P(CheckResultRows, OneRowPerGasOfEachStage)
{
    const auto &c = GetParam();
    const check::CheckSettings settings;
    EmissionsCheck check(check::ShippedLimitSet(QString::fromLatin1(c.set)).value(), c.fuel, settings);
    ASSERT_TRUE(test::Drive(check, c.script, 300000, 1000));
    const check::CheckResult result = check::ResultOf(check.limits(), c.fuel, settings, check.state(), false);
    std::vector<std::string> rows, failures;
    for (const check::StageOutcome &s : result.stages) {
        for (const check::GasResult &g : s.gases)
            rows.push_back(
                QStringList{s.title, g.gas, g.mean, g.worst, g.limit, g.result}.join(QLatin1Char('|')).toStdString());
        if (!s.failure.isEmpty())
            failures.push_back(s.failure.toStdString());
    }
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(failures, c.failures);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, CheckResultRows,
    ::testing::Values(
        ResultCase{"CatalystPass",
                   "uk-1992-catalyst",
                   Fuel::Petrol,
                   CleanAirThen([](std::int64_t t) { return Exhaust(t < 16000 ? 2750 : 820, 5, 34, 1004); }),
                   {"Fast idle, 2500 to 3000 rpm|CO|0.05 %|0.05 %|at most 0.30 %|PASS",
                    "Fast idle, 2500 to 3000 rpm|HC|30 ppm|30 ppm|at most 200 ppm|PASS",
                    "Fast idle, 2500 to 3000 rpm|Lambda|1.004|1.004|0.970 to 1.030|PASS",
                    "Fast idle, 2500 to 3000 rpm|Engine speed|2750 rpm|2750 rpm|2500 to 3000 rpm|in window",
                    "Natural idle, 450 to 1500 rpm|CO|0.05 %|0.05 %|at most 0.50 %|PASS",
                    "Natural idle, 450 to 1500 rpm|HC|30 ppm|30 ppm|none|—",
                    "Natural idle, 450 to 1500 rpm|Lambda|1.004|1.004|none|—",
                    "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window"},
                   {}},
        // Lambda 1.060 at fast idle for the whole 30 s; HC 900 ppm is never judged on CNG.
        ResultCase{"FailedCatalystOnCng",
                   "uk-1992-catalyst",
                   Fuel::Cng,
                   CleanAirThen([](std::int64_t t) {
                       return t < 41000 ? Exhaust(2750, 5, 904, 1060) : Exhaust(820, 5, 904, 1000);
                   }),
                   {"Fast idle, 2500 to 3000 rpm|CO|0.05 %|0.05 %|at most 0.30 %|PASS",
                    "Fast idle, 2500 to 3000 rpm|HC|900 ppm|900 ppm|not applied (CNG)|—",
                    "Fast idle, 2500 to 3000 rpm|Lambda|1.060|1.060|0.970 to 1.030|FAIL",
                    "Fast idle, 2500 to 3000 rpm|Engine speed|2750 rpm|2750 rpm|2500 to 3000 rpm|in window",
                    "Natural idle, 450 to 1500 rpm|CO|0.05 %|0.05 %|at most 0.50 %|PASS",
                    "Natural idle, 450 to 1500 rpm|HC|900 ppm|900 ppm|none|—",
                    "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|none|—",
                    "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window"},
                   {"Fast idle failed: lambda 1.060 above 1.030"}},
        // CO 0.82 % at idle against 0.50 %.
        ResultCase{"RichAtIdle",
                   "uk-1992-catalyst",
                   Fuel::Petrol,
                   CleanAirThen([](std::int64_t t) { return Exhaust(t < 16000 ? 2750 : 820, t < 16000 ? 5 : 82, 34); }),
                   {"Fast idle, 2500 to 3000 rpm|CO|0.05 %|0.05 %|at most 0.30 %|PASS",
                    "Fast idle, 2500 to 3000 rpm|HC|30 ppm|30 ppm|at most 200 ppm|PASS",
                    "Fast idle, 2500 to 3000 rpm|Lambda|1.000|1.000|0.970 to 1.030|PASS",
                    "Fast idle, 2500 to 3000 rpm|Engine speed|2750 rpm|2750 rpm|2500 to 3000 rpm|in window",
                    "Natural idle, 450 to 1500 rpm|CO|0.82 %|0.82 %|at most 0.50 %|FAIL",
                    "Natural idle, 450 to 1500 rpm|HC|30 ppm|30 ppm|none|—",
                    "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|none|—",
                    "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window"},
                   {"Natural idle failed: CO 0.82 % above 0.50 %"}},
        // Every reading within its limits, but every other frame fails its check: no steady
        // 5 s. The gases are not passed one by one while their stage failed.
        ResultCase{
            "FailedWithoutASteadyWindow",
            "uk-1986",
            Fuel::Petrol,
            CleanAirThen([](std::int64_t t) { return (t / 1000) % 2 ? Frame() : Frame(Exhaust(820, 100, 104)); }),
            {"Natural idle, 450 to 1500 rpm|CO|1.00 %|1.00 %|at most 3.50 %|not steady for 5 s",
             "Natural idle, 450 to 1500 rpm|HC|100 ppm|100 ppm|at most 1200 ppm|not steady for 5 s",
             "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|none|—",
             "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window"},
            {"Natural idle failed: no 5 s of steady valid readings in 30 s of measuring"}},
        // HC 1500 at idle, 900 at 2000 rpm: CO judged at idle, HC at the re-check speed.
        ResultCase{
            "HcRecheckPasses",
            "uk-1986",
            Fuel::Petrol,
            CleanAirThen([](std::int64_t t) { return t < 41000 ? Exhaust(820, 100, 1504) : Exhaust(2000, 100, 904); }),
            {"Natural idle, 450 to 1500 rpm|CO|1.00 %|1.00 %|at most 3.50 %|PASS",
             "Natural idle, 450 to 1500 rpm|HC|1500 ppm|1500 ppm|at most 1200 ppm|FAIL, re-checked",
             "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|none|—",
             "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window",
             "Natural idle, 450 to 1500 rpm|HC re-check at 2000 rpm|900 ppm|900 ppm|at most 1200 ppm|PASS",
             "Natural idle, 450 to 1500 rpm|Engine speed at 2000 rpm|2000 rpm|2000 rpm|1800 to 2200 rpm|in window"},
            {}},
        ResultCase{
            "HcRecheckFails",
            "uk-1986",
            Fuel::Petrol,
            CleanAirThen([](std::int64_t t) { return t < 41000 ? Exhaust(820, 100, 1504) : Exhaust(2000, 100, 1304); }),
            {"Natural idle, 450 to 1500 rpm|CO|1.00 %|1.00 %|at most 3.50 %|PASS",
             "Natural idle, 450 to 1500 rpm|HC|1500 ppm|1500 ppm|at most 1200 ppm|FAIL, re-checked",
             "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|none|—",
             "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window",
             "Natural idle, 450 to 1500 rpm|HC re-check at 2000 rpm|1300 ppm|1300 ppm|at most 1200 ppm|FAIL",
             "Natural idle, 450 to 1500 rpm|Engine speed at 2000 rpm|2000 rpm|2000 rpm|1800 to 2200 rpm|in window"},
            {"Natural idle failed: HC 1300 ppm above 1200 ppm at 2000 rpm"}},
        ResultCase{"BeforeMeteredTestsRecordsOnly",
                   "uk-before-1975",
                   Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(820, 350, 804); }),
                   {"Natural idle, 450 to 1500 rpm|CO|3.50 %|3.50 %|not metered|recorded",
                    "Natural idle, 450 to 1500 rpm|HC|800 ppm|800 ppm|not metered|recorded",
                    "Natural idle, 450 to 1500 rpm|Lambda|1.000|1.000|not metered|recorded",
                    "Natural idle, 450 to 1500 rpm|Engine speed|820 rpm|820 rpm|450 to 1500 rpm|in window"},
                   {}}),
    [](const auto &info) { return std::string(info.param.name); });

struct WordCase {
    check::Verdict verdict;
    bool abandoned;
    const char *stored, *stage, *overall;
};

class VerdictWords : public ::testing::TestWithParam<WordCase> {};

// The history keeps the stored word: a record written before must still read the same.
TEST_P(VerdictWords, OneWordForEachPlace)
{
    const auto &c = GetParam();
    EXPECT_EQ(check::VerdictName(c.verdict).toStdString(), c.stored);
    EXPECT_EQ(check::StageVerdictWord(c.verdict).toStdString(), c.stage);
    EXPECT_EQ(check::OverallWord(c.verdict, c.abandoned).toStdString(), c.overall);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, VerdictWords,
    ::testing::Values(WordCase{check::Verdict::Pass, false, "pass", "PASS", "PASS"},
                      WordCase{check::Verdict::Fail, false, "fail", "FAIL", "FAIL"},
                      WordCase{check::Verdict::Recorded, false, "readings recorded", "RECORDED", "READINGS RECORDED"},
                      WordCase{check::Verdict::NotCompleted, false, "not completed", "NOT RUN", "NOT COMPLETED"},
                      WordCase{check::Verdict::Pass, true, "pass", "PASS", "ABANDONED"}));

// What a finished check says of the car's own diagnostics and of where its engine speed
// and warmth came from, as the result page, the certificate and the history show it.
struct ObdResultCase {
    const char *name;
    test::SampleCheck check;
    std::optional<test::ObdSample> obd;
    const char *rule; // the shipped set whose OBD rule judged the car; nullptr: none
    check::SpeedSource speed;
    check::WarmSource warm; // None: as the check of the analyser alone says
    std::optional<int> warmTenths;
    // "verdict|adapter|vin|lamp|codes|readiness|reason; reason|lost", empty without an adapter
    std::string outcome;
    check::Tone tone;
    std::string sources;
};

class ObdResult : public ::testing::TestWithParam<ObdResultCase> {};

TEST_P(ObdResult, ShowsWhatTheCarSaidAndWhereTheReadingsCameFrom)
{
    const auto &c = GetParam();
    check::CheckRecord record = test::SampleRecord(c.check);
    if (c.obd) {
        const auto rule =
            c.rule ? check::ShippedLimitSet(QString::fromLatin1(c.rule)).value().obd : std::optional<check::ObdRule>();
        record.obd = test::MakeObdPart(*c.obd, rule);
    }
    record.speedSource = c.speed;
    if (c.warm != check::WarmSource::None) {
        record.state.warmSource = c.warm;
        record.state.warmTenths = c.warmTenths;
    }
    const check::CheckResult result = check::ResultOf(record);
    std::string outcome;
    if (result.obd) {
        const check::ObdOutcome &o = *result.obd;
        outcome = QStringList{o.verdict,
                              o.adapter,
                              o.vin,
                              o.lamp,
                              o.codes,
                              check::ReadinessText(o),
                              o.reasons.join(QStringLiteral("; ")),
                              o.lost}
                      .join(u'|')
                      .toStdString();
        EXPECT_EQ(o.tone, c.tone);
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(check::SourcesLine(result).toStdString(), c.sources);
    // The record's own overload and the one fed during the check agree.
    const check::CheckResult fed = check::ResultOf(record.limits, record.vehicle.fuel, record.settings, record.state,
                                                   record.abandoned, record.obd, record.speedSource);
    EXPECT_EQ(fed.obd.has_value(), result.obd.has_value());
    EXPECT_EQ(fed.warmSource, result.warmSource);
}

namespace {
const std::string kAllComplete = "Misfire: complete; Fuel system: complete; Comprehensive components: complete; "
                                 "Catalyst: complete; Oxygen sensor: complete; Secondary air system: not supported";
const std::string kTwoIncomplete = "Misfire: complete; Fuel system: complete; Comprehensive components: complete; "
                                   "Catalyst: incomplete; Oxygen sensor: incomplete; Secondary air system: not "
                                   "supported";
test::ObdSample Banner()
{
    test::ObdSample s;
    s.adapter = QStringLiteral("ELM327 v2.1\r\nResidual HC: 0 ppm");
    return s;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Cars, ObdResult,
    ::testing::Values(
        ObdResultCase{"NoAdapterKeepsTheAnalysersSources", test::SampleCheck::Pass, std::nullopt, nullptr,
                      check::SpeedSource::Analyser, check::WarmSource::None, std::nullopt, "", check::Tone::Neutral,
                      "Engine speed: analyser. Engine warm: oil probe 80 °C."},
        ObdResultCase{"NoAdapterNoProbeIsTheOperatorsWord", test::SampleCheck::Confirmed, std::nullopt, nullptr,
                      check::SpeedSource::Analyser, check::WarmSource::None, std::nullopt, "", check::Tone::Neutral,
                      "Engine speed: analyser. Engine warm: operator."},
        ObdResultCase{"LampOnFailsUnderALampRule", test::SampleCheck::Pass, test::LampOnTwoCodes(), "eu-catalyst-2002",
                      check::SpeedSource::Obd, check::WarmSource::ObdCoolant, 784,
                      "FAIL|ELM327 v1.5|WF0AXXGAJA1234567|ON|P0133, P0420|" + kTwoIncomplete +
                          "|warning lamp commanded on|",
                      check::Tone::Fail, "Engine speed: OBD. Engine warm: OBD coolant temperature 78 °C."},
        ObdResultCase{"LampOnIsOnlyRecordedWithoutARule", test::SampleCheck::Pass, test::LampOnTwoCodes(),
                      "uk-1992-catalyst", check::SpeedSource::Analyser, check::WarmSource::OilProbe, 812,
                      "RECORDED|ELM327 v1.5|WF0AXXGAJA1234567|ON|P0133, P0420|" + kTwoIncomplete + "||",
                      check::Tone::Neutral, "Engine speed: analyser. Engine warm: oil probe 81 °C."},
        ObdResultCase{"UntrustedVinIsShownWithItsDoubt", test::SampleCheck::Pass,
                      test::UntrustedVin(QStringLiteral("WF0AXXGAJA123456I"), QStringLiteral("I is not used in a VIN")),
                      "eu-catalyst-2002", check::SpeedSource::Analyser, check::WarmSource::None, std::nullopt,
                      "PASS|ELM327 v1.5|WF0AXXGAJA123456I (not trusted: I is not used in a VIN)|off|none|" +
                          kAllComplete + "||",
                      check::Tone::Pass, "Engine speed: analyser. Engine warm: oil probe 80 °C."},
        ObdResultCase{"UnknownLampIsNeverAPass", test::SampleCheck::Pass,
                      test::IgnitionOff(QStringLiteral("UNABLE TO CONNECT: the ignition is off")), "eu-catalyst-2002",
                      check::SpeedSource::Analyser, check::WarmSource::None, std::nullopt,
                      "UNKNOWN|ELM327 v1.5|WF0AXXGAJA1234567|unknown: UNABLE TO CONNECT: the ignition is off|"
                      "unknown|All monitors: unknown|monitor status not read: UNABLE TO CONNECT: the ignition is off|",
                      check::Tone::Neutral, "Engine speed: analyser. Engine warm: oil probe 80 °C."},
        ObdResultCase{"AdapterLostIsSaid", test::SampleCheck::Pass,
                      test::LostMidCheck(QStringLiteral("the adapter stopped answering at 41 s")), "eu-catalyst-2002",
                      check::SpeedSource::Analyser, check::WarmSource::ObdOil, 903,
                      "PASS|ELM327 v1.5|WF0AXXGAJA1234567|off|none|" + kAllComplete +
                          "||the adapter stopped answering at 41 s",
                      check::Tone::Pass, "Engine speed: analyser. Engine warm: OBD oil temperature 90 °C."},
        // A banner with a line break would start a line of the kept certificate of its own.
        ObdResultCase{"AdaptersTextStaysOnOneLine", test::SampleCheck::Pass, Banner(), nullptr,
                      check::SpeedSource::Analyser, check::WarmSource::None, std::nullopt,
                      "RECORDED|ELM327 v2.1\xEF\xBF\xBD\xEF\xBF\xBDResidual HC: 0 ppm|WF0AXXGAJA1234567|off|none|" +
                          kAllComplete + "||",
                      check::Tone::Neutral, "Engine speed: analyser. Engine warm: oil probe 80 °C."}),
    [](const auto &info) { return std::string(info.param.name); });
