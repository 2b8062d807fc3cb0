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
