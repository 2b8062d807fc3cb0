#include "tests/check/operatedcheck.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;
using check::Verdict;

struct VehicleCase {
    const char *name;
    sim::VehicleProfile profile;
    Verdict overall;
    const char *fastIdleOut, *naturalIdleOut; // gases out, "-" when the stage passed
    std::int64_t finishedBeforeMs;
    std::int64_t coldForAtLeastMs; // waiting for the oil to warm
    double idleCo;                 // the natural idle window's mean, 0.01 %
};

class SimulatedVehicle : public ::testing::TestWithParam<VehicleCase> {};

// The whole check in virtual time, with the workshop's timings.
TEST_P(SimulatedVehicle, WholeCheckGivesTheCarsVerdict)
{
    const auto &c = GetParam();
    sim::DemoOptions options;
    options.vehicle = c.profile;
    test::SimLink sim(options);
    ASSERT_TRUE(sim.open());
    check::EmissionsCheck check(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value(),
                                check::Fuel::Petrol);
    const std::int64_t coldMs = test::OperateCheck(sim, check, 15 * 60 * 1000, 1000).coldMs;
    ASSERT_TRUE(check.finished()) << "phase " << static_cast<int>(check.state().phase);
    EXPECT_LT(sim.clock.nowMs(), c.finishedBeforeMs);
    EXPECT_GE(coldMs, c.coldForAtLeastMs);
    EXPECT_EQ(check.state().overall, c.overall);
    const auto &stages = check.state().stages;
    ASSERT_EQ(stages.size(), 2u);
    auto out = [](const check::StageResult &s) {
        return s.verdict == Verdict::Pass ? std::string("-") : s.gasesOut.join(",").toStdString();
    };
    EXPECT_EQ(out(stages[0]), c.fastIdleOut) << stages[0].reason.toStdString();
    EXPECT_EQ(out(stages[1]), c.naturalIdleOut) << stages[1].reason.toStdString();
    EXPECT_NEAR(stages[1].window.co.mean, c.idleCo, 3);
    // The probe was in clean air when the analyser came ready, so next to nothing is
    // taken off the HC readings.
    ASSERT_TRUE(check.state().residualHc.has_value());
    EXPECT_LE(*check.state().residualHc, 3);
    EXPECT_EQ(sim.failedFrames, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, SimulatedVehicle,
    ::testing::Values(
        VehicleCase{"GoodCatalyst", sim::VehicleProfile::GoodCatalyst, Verdict::Pass, "-", "-", 120000, 0, 10},
        VehicleCase{"RichIdle", sim::VehicleProfile::RichIdle, Verdict::Fail, "-", "CO", 180000, 0, 120},
        VehicleCase{"FailedCatalyst", sim::VehicleProfile::FailedCatalyst, Verdict::Fail, "HC,lambda", "CO", 180000, 0,
                    80},
        // The 3 s of clean air before the residual leave the oil a little warmer when it is waited on.
        VehicleCase{"ColdEngine", sim::VehicleProfile::ColdEngine, Verdict::Pass, "-", "-", 180000, 6000, 10},
        // Never 5 s on end inside the fast idle window: failed with no gas out of its limits.
        VehicleCase{"WanderingSpeed", sim::VehicleProfile::WanderingSpeed, Verdict::Fail, "", "-", 600000, 0, 10},
        VehicleCase{"NoOilProbe", sim::VehicleProfile::NoOilProbe, Verdict::Pass, "-", "-", 120000, 0, 10}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimulatedVehicle, NamesRoundTripAndNoneIsNotOne)
{
    for (sim::VehicleProfile p : sim::VehicleProfiles())
        EXPECT_EQ(sim::VehicleProfileFromName(sim::VehicleProfileName(p)), p);
    EXPECT_FALSE(sim::VehicleProfileFromName(""));
    EXPECT_FALSE(sim::VehicleProfileFromName("good"));
    EXPECT_EQ(sim::VehicleProfiles().size(), 6u);
}

// The end-to-end scenarios' timings: the driver holds fast idle for 22 s (30 s for the
// wandering engine), the check settles for 4 s and measures for 15 s, and the analyser is
// ready at once.
struct ShortCase {
    const char *name;
    sim::VehicleProfile profile;
    Verdict overall;
    std::int64_t finishedBeforeMs;
    int fastIdleMs;        // the driver holds fast idle this long
    int fastIdleSettlings; // times the check began settling at fast idle
};

class ShortTimings : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortTimings, EveryCarGetsItsVerdictWithinTheHarnesssTime)
{
    const auto &c = GetParam();
    sim::DemoOptions options;
    options.vehicle = c.profile;
    options.powerUpMs = 300;
    options.fastIdleMs = c.fastIdleMs;
    test::SimLink sim(options);
    ASSERT_TRUE(sim.open());
    check::CheckSettings settings;
    settings.settleMs = 4000;
    settings.measureMs = 15000;
    check::EmissionsCheck check(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value(), check::Fuel::Petrol,
                                settings);
    test::OperateCheck(sim, check, 5 * 60 * 1000, 1000);
    ASSERT_TRUE(check.finished());
    EXPECT_EQ(check.state().overall, c.overall);
    EXPECT_LT(sim.clock.nowMs(), c.finishedBeforeMs);
    int settlings = 0;
    check::CheckPhase before = check::CheckPhase::WaitingForAnalyser;
    for (const check::TracePoint &p : check.state().trace) {
        if (p.stage == 0 && p.phase == check::CheckPhase::Settling && before != check::CheckPhase::Settling)
            ++settlings;
        before = p.phase;
    }
    EXPECT_EQ(settlings, c.fastIdleSettlings);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ShortTimings,
    ::testing::Values(ShortCase{"GoodCatalyst", sim::VehicleProfile::GoodCatalyst, Verdict::Pass, 60000, 22000, 1},
                      ShortCase{"RichIdle", sim::VehicleProfile::RichIdle, Verdict::Fail, 70000, 22000, 1},
                      ShortCase{"FailedCatalyst", sim::VehicleProfile::FailedCatalyst, Verdict::Fail, 70000, 22000, 1},
                      ShortCase{"ColdEngine", sim::VehicleProfile::ColdEngine, Verdict::Pass, 80000, 22000, 1},
                      // Leaves the window while measuring, settles again and passes then.
                      ShortCase{"WanderingSpeed", sim::VehicleProfile::WanderingSpeed, Verdict::Pass, 70000, 30000, 2},
                      ShortCase{"NoOilProbe", sim::VehicleProfile::NoOilProbe, Verdict::Pass, 60000, 22000, 1}),
    [](const auto &info) { return std::string(info.param.name); });
