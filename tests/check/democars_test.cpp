// The built-in demo analyser's cars, as FILE > COMM offers them for practice: a whole check
// from switch-on, polled every 2 s as the check window polls, ends with the car's verdict
// soon enough to practise on.
#include "tests/check/operatedcheck.h"

#include <gtest/gtest.h>
#include <string>

using namespace qova;
using check::Verdict;

namespace {

struct DemoCarCase {
    const char *name;
    sim::VehicleProfile profile;
    Verdict overall;
    std::int64_t finishedBeforeMs; // since the car was chosen and switched on
};

class DemoCar : public testing::TestWithParam<DemoCarCase> {};

TEST_P(DemoCar, AWholeCheckFromSwitchOnEndsWithItsVerdict)
{
    const DemoCarCase &c = GetParam();
    test::SimLink sim(sim::PracticeCarOptions(c.profile));
    ASSERT_TRUE(sim.open());
    check::EmissionsCheck check(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value(),
                                check::Fuel::Petrol);
    const link::LiveReading r = test::OperateCheck(sim, check, 15 * 60 * 1000, 2000).last;
    ASSERT_TRUE(check.finished()) << "phase " << static_cast<int>(check.state().phase) << " stage "
                                  << check.state().stage << " oil " << r.OilTemp << " rpm " << r.Rpm << " hc " << r.Hc;
    EXPECT_EQ(check.state().overall, c.overall) << check.state().notCompletedReason.toStdString();
    EXPECT_LT(sim.clock.nowMs(), c.finishedBeforeMs);
    RecordProperty("finished_after_ms", std::to_string(sim.clock.nowMs()));
    std::cout << c.name << ": " << sim.clock.nowMs() / 1000.0 << " s from switch-on to the verdict\n";
}

INSTANTIATE_TEST_SUITE_P(
    Practice, DemoCar,
    testing::Values(DemoCarCase{"GoodCatalyst", sim::VehicleProfile::GoodCatalyst, Verdict::Pass, 120000},
                    // A failing stage measures its whole 30 s before it fails.
                    DemoCarCase{"RichIdle", sim::VehicleProfile::RichIdle, Verdict::Fail, 150000},
                    DemoCarCase{"FailedCatalyst", sim::VehicleProfile::FailedCatalyst, Verdict::Fail, 150000},
                    DemoCarCase{"ColdEngine", sim::VehicleProfile::ColdEngine, Verdict::Pass, 150000},
                    // Never 5 s on end inside the fast idle window.
                    DemoCarCase{"WanderingSpeed", sim::VehicleProfile::WanderingSpeed, Verdict::Fail, 420000},
                    DemoCarCase{"NoOilProbe", sim::VehicleProfile::NoOilProbe, Verdict::Pass, 120000}),
    [](const testing::TestParamInfo<DemoCarCase> &info) { return std::string(info.param.name); });

// The analyser's own engine, with no car at the probe, holds its fast idle inside the
// check's window rather than just under it.
TEST(DemoOwnEngine, FastIdleStaysInsideTheChecksWindow)
{
    test::SimLink sim(sim::PracticeCarOptions(sim::VehicleProfile::None));
    ASSERT_TRUE(sim.open());
    const check::LimitSet limits = check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value();
    const check::StageLimits &fastIdle = limits.stages.front();
    link::LiveReading r;
    int held = 0;
    while (sim.clock.nowMs() < 3 * 70000) {
        if (!sim.cycle(r, 1000))
            continue;
        if (r.StatusA & ~link::PowerUpCountdown)
            sim.send(r.StatusA & link::LeakTestOffer ? link::kDeclineReply : link::kConfirmReply);
        // Speeding up and slowing down take 3 s each; in between it holds fast idle.
        if (r.Rpm < 2400)
            continue;
        ++held;
        EXPECT_GE(r.Rpm, fastIdle.minRpm) << "at " << sim.clock.nowMs() << " ms";
        EXPECT_LE(r.Rpm, fastIdle.maxRpm) << "at " << sim.clock.nowMs() << " ms";
    }
    EXPECT_GT(held, 40);
}

TEST(DemoCarName, NamesEveryCarAndReadsItBack)
{
    EXPECT_EQ(sim::DemoDeviceName(sim::VehicleProfile::None), QStringLiteral("demo"));
    for (sim::VehicleProfile car : sim::VehicleProfiles()) {
        const QString name = sim::DemoDeviceName(car);
        EXPECT_TRUE(name.startsWith(QStringLiteral("demo:"))) << name.toStdString();
        EXPECT_EQ(sim::DemoVehicleOf(name), car) << name.toStdString();
    }
    for (const char *other : {"demo:", "demo:no-such-car", "demonstration", "/dev/ttyS0", "tcp://demo:4001"})
        EXPECT_EQ(sim::DemoVehicleOf(QString::fromLatin1(other)), std::nullopt) << other;
}

} // namespace
