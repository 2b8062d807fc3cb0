#include "check/obdjudgement.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;
using check::ObdRule;
using check::ObdVerdict;
using obd::Monitor;
using obd::Readiness;

namespace {

constexpr ObdRule kLamp{true, {}, false};
constexpr ObdRule kReadyAllowOne{false, 1, false};
constexpr ObdRule kCodes{false, {}, true};
constexpr ObdRule kAll{true, 0, true};
constexpr ObdRule kRecordOnly{};

const QString kNoAnswer = QStringLiteral("UNABLE TO CONNECT: the ignition is off");

// A spark-ignition car whose first `incomplete` of catalyst, oxygen sensor and EGR are incomplete.
obd::Decoded<obd::MonitorStatus> Status(bool lampOn, int storedCodes, int incomplete)
{
    obd::MonitorStatus s{lampOn, storedCodes, false, {}};
    for (Monitor m : {Monitor::Misfire, Monitor::FuelSystem, Monitor::Components})
        s.monitors.push_back({m, Readiness::Complete});
    int left = incomplete;
    for (Monitor m : {Monitor::Catalyst, Monitor::OxygenSensor, Monitor::Egr})
        s.monitors.push_back({m, left-- > 0 ? Readiness::Incomplete : Readiness::Complete});
    s.monitors.push_back({Monitor::SecondaryAir, Readiness::NotSupported});
    return {s, {}};
}
obd::Decoded<obd::MonitorStatus> NoStatus()
{
    return {{}, kNoAnswer};
}
obd::Decoded<std::vector<QString>> Codes(std::vector<QString> codes)
{
    return {std::move(codes), {}};
}
obd::Decoded<std::vector<QString>> NoCodes()
{
    return {{}, QStringLiteral("NO DATA")};
}

} // namespace

struct JudgeCase {
    const char *name;
    std::optional<ObdRule> rule;
    check::ObdReadout readout;
    ObdVerdict verdict;
    QStringList reasons;
};

class ObdJudgementTable : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(ObdJudgementTable, TheRuleDecidesAndSaysWhy)
{
    const check::ObdJudgement got = check::JudgeObd(GetParam().rule, GetParam().readout);
    EXPECT_EQ(check::ObdVerdictWord(got.verdict).toStdString(),
              check::ObdVerdictWord(GetParam().verdict).toStdString());
    EXPECT_EQ(got.reasons.join(QLatin1Char('|')).toStdString(),
              GetParam().reasons.join(QLatin1Char('|')).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ObdJudgementTable,
    ::testing::Values(
        // A set without a rule, or one that judges nothing, never fails a car on what it read.
        JudgeCase{"NoRuleLampOn", std::nullopt, {Status(true, 2, 3), Codes({"P0420"})}, ObdVerdict::Recorded, {}},
        JudgeCase{
            "RecordOnlyRuleLampOn", kRecordOnly, {Status(true, 2, 3), Codes({"P0420"})}, ObdVerdict::Recorded, {}},
        JudgeCase{"LampOff", kLamp, {Status(false, 0, 0), Codes({})}, ObdVerdict::Pass, {}},
        JudgeCase{
            "LampOn", kLamp, {Status(true, 1, 0), Codes({"P0133"})}, ObdVerdict::Fail, {"warning lamp commanded on"}},
        // Silence is never a pass.
        JudgeCase{"LampRuleNoAnswer",
                  kLamp,
                  {NoStatus(), NoCodes()},
                  ObdVerdict::Unknown,
                  {"monitor status not read: UNABLE TO CONNECT: the ignition is off"}},
        JudgeCase{"OneIncompleteAllowed", kReadyAllowOne, {Status(false, 0, 1), Codes({})}, ObdVerdict::Pass, {}},
        JudgeCase{"TwoIncompleteOneAllowed",
                  kReadyAllowOne,
                  {Status(false, 0, 2), Codes({})},
                  ObdVerdict::NotReady,
                  {"2 monitors incomplete (Catalyst, Oxygen sensor); the limits allow 1"}},
        // The lamp is not this rule's business.
        JudgeCase{"ReadinessRuleIgnoresLamp", kReadyAllowOne, {Status(true, 0, 0), Codes({})}, ObdVerdict::Pass, {}},
        JudgeCase{"CodesStored",
                  kCodes,
                  {Status(false, 2, 0), Codes({"P0133", "U0100"})},
                  ObdVerdict::Fail,
                  {"stored codes: P0133, U0100"}},
        JudgeCase{"CodesCountedNotRead",
                  kCodes,
                  {Status(false, 2, 0), NoCodes()},
                  ObdVerdict::Fail,
                  {"2 stored codes counted; the codes were not read: NO DATA"}},
        JudgeCase{"CodeCountedNoneSent",
                  kCodes,
                  {Status(false, 1, 0), Codes({})},
                  ObdVerdict::Unknown,
                  {"1 stored code counted but none sent"}},
        JudgeCase{"NoCodesNothingRead",
                  kCodes,
                  {NoStatus(), NoCodes()},
                  ObdVerdict::Unknown,
                  {"stored codes not read: NO DATA"}},
        JudgeCase{"NoCodesNoneCounted", kCodes, {Status(false, 0, 3), Codes({})}, ObdVerdict::Pass, {}},
        // A failure outweighs not ready; every finding is named.
        JudgeCase{"LampOnAndNotReady",
                  kAll,
                  {Status(true, 1, 3), Codes({"P0300"})},
                  ObdVerdict::Fail,
                  {"warning lamp commanded on",
                   "3 monitors incomplete (Catalyst, Oxygen sensor, EGR system); the limits allow 0",
                   "stored codes: P0300"}},
        JudgeCase{"NotReadyOutweighsUnreadCodes",
                  kAll,
                  {Status(false, 0, 1), NoCodes()},
                  ObdVerdict::NotReady,
                  {"1 monitor incomplete (Catalyst); the limits allow 0", "stored codes not read: NO DATA"}}),
    [](const auto &info) { return std::string(info.param.name); });

// The check's verdict once the diagnostics are judged beside the gases.
struct CombineCase {
    const char *name;
    check::Verdict gases;
    bool abandoned;
    ObdVerdict obd;
    check::Verdict overall;
    const char *reason; // its start; "" when the diagnostics changed nothing
};

class VerdictWithDiagnostics : public ::testing::TestWithParam<CombineCase> {};

TEST_P(VerdictWithDiagnostics, NeverPassesOnMissingOrFailedDiagnostics)
{
    const auto &c = GetParam();
    const check::ObdJudgement judged{c.obd,
                                     {QStringLiteral("3 monitors incomplete (Catalyst, Oxygen sensor, EGR); "
                                                     "the limits allow 1")}};
    const check::CombinedVerdict v = check::CombineVerdicts(c.gases, c.abandoned, judged);
    EXPECT_EQ(v.overall, c.overall);
    if (*c.reason == 0)
        EXPECT_TRUE(v.reason.isEmpty()) << v.reason.toStdString();
    else
        EXPECT_TRUE(v.reason.startsWith(QString::fromLatin1(c.reason))) << v.reason.toStdString();
}

using V = check::Verdict;
INSTANTIATE_TEST_SUITE_P(
    Combined, VerdictWithDiagnostics,
    ::testing::Values(CombineCase{"GasesPassObdPass", V::Pass, false, ObdVerdict::Pass, V::Pass, ""},
                      CombineCase{"GasesPassObdFail", V::Pass, false, ObdVerdict::Fail, V::Fail,
                                  "the car's diagnostics failed it: 3 monitors"},
                      CombineCase{"GasesPassObdNotReady", V::Pass, false, ObdVerdict::NotReady, V::NotCompleted,
                                  "not ready for test: 3 monitors incomplete (Catalyst"},
                      CombineCase{"GasesPassObdUnknown", V::Pass, false, ObdVerdict::Unknown, V::NotCompleted,
                                  "the car's diagnostics could not be read: "},
                      CombineCase{"GasesPassObdRecorded", V::Pass, false, ObdVerdict::Recorded, V::Pass, ""},
                      CombineCase{"GasesFailObdPass", V::Fail, false, ObdVerdict::Pass, V::Fail, ""},
                      CombineCase{"GasesFailObdNotReady", V::Fail, false, ObdVerdict::NotReady, V::Fail, ""},
                      CombineCase{"GasesFailObdFailNamesBoth", V::Fail, false, ObdVerdict::Fail, V::Fail,
                                  "the car's diagnostics failed it"},
                      CombineCase{"RecordOnlySetObdFail", V::Recorded, false, ObdVerdict::Fail, V::Fail,
                                  "the car's diagnostics failed it"},
                      CombineCase{"RecordOnlySetObdUnknown", V::Recorded, false, ObdVerdict::Unknown, V::Recorded, ""},
                      CombineCase{"TimedOutStaysNotCompleted", V::NotCompleted, false, ObdVerdict::Fail,
                                  V::NotCompleted, ""},
                      CombineCase{"AbandonedMidStage", V::Pending, true, ObdVerdict::Fail, V::Pending, ""},
                      CombineCase{"AbandonedAfterPass", V::Pass, true, ObdVerdict::Unknown, V::Pass, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// The dashboard's lamp beside the car's: a finding only where both are known and differ.
struct DashboardCase {
    const char *name;
    std::optional<bool> carCommandsOn, dashboardShowsOn;
    const char *finding; // empty for none
};

class DashboardLamp : public ::testing::TestWithParam<DashboardCase> {};

TEST_P(DashboardLamp, AFindingOnlyWhenTheDashboardAndTheCarDisagree)
{
    const auto &c = GetParam();
    EXPECT_EQ(check::DashboardLampFinding(c.carCommandsOn, c.dashboardShowsOn), QString::fromLatin1(c.finding));
}

INSTANTIATE_TEST_SUITE_P(
    Lamps, DashboardLamp,
    ::testing::Values(
        DashboardCase{"AgreeOn", true, true, ""}, DashboardCase{"AgreeOff", false, false, ""},
        DashboardCase{"CarOnDashboardOff", true, false,
                      "the car commands the warning lamp on but the dashboard shows it off: check the lamp"},
        DashboardCase{"CarOffDashboardOn", false, true,
                      "the car commands the warning lamp off but the dashboard shows it on: check the lamp"},
        DashboardCase{"CarUnknownDashboardOn", std::nullopt, true, ""},
        DashboardCase{"CarOnNotConfirmed", true, std::nullopt, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// Only a set that does not fail the car's commanded lamp asks the operator for the bulb.
struct AskCase {
    const char *name;
    std::optional<check::ObdRule> rule;
    bool asked;
};

class DashboardLampAsked : public ::testing::TestWithParam<AskCase> {};

TEST_P(DashboardLampAsked, WhereTheSetDoesNotFailTheCarsLamp)
{
    EXPECT_EQ(check::AsksDashboardLamp(GetParam().rule), GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(Rules, DashboardLampAsked,
                         ::testing::Values(AskCase{"NoRule", std::nullopt, true},
                                           AskCase{"ReadinessOnly", check::ObdRule{false, 1, false}, true},
                                           AskCase{"CodesFailLampDoesNot", check::ObdRule{false, {}, true}, true},
                                           AskCase{"LampFails", check::ObdRule{true, {}, false}, false}),
                         [](const auto &info) { return std::string(info.param.name); });
