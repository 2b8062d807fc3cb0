#include "link/frame.h"
#include "tests/sim/simlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace qova;

namespace {
// Answers every prompt with confirm, as an operator who presses OK and Yes.
void answerPrompts(test::SimLink &sim, const link::LiveReading &r)
{
    if (r.StatusA & ~link::PowerUpCountdown)
        sim.send(link::kConfirmReply);
}
} // namespace

class LiveValues : public ::testing::TestWithParam<std::uint32_t> {};

// Fifteen minutes of polling: every frame checks out, and the values move as an engine
// that idles and runs at 2750 rpm, with its oil warming, would make them move.
TEST_P(LiveValues, EveryFrameValidAndValuesPlausible)
{
    sim::DemoOptions o;
    o.seed = GetParam();
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    int lowRpm = 0, highRpm = 0, oilDrops = 0;
    std::int16_t lastOil = -1000;
    for (int i = 0; i < 450; ++i) {
        ASSERT_TRUE(sim.cycle(r)) << "cycle " << i;
        EXPECT_GE(r.Battery, 10);
        EXPECT_LE(r.Battery, 100);
        EXPECT_GE(r.Hc, 0);
        EXPECT_LE(r.Hc, 400);
        EXPECT_GE(r.Co, 0);
        EXPECT_LE(r.Co, 150);
        EXPECT_LE(r.Co2, 160);
        EXPECT_GE(r.O2, 0);
        EXPECT_LE(r.O2, 2100);
        EXPECT_GE(r.Efficiency, 900);
        EXPECT_LE(r.Efficiency, 9100);
        if (r.Rpm < 900)
            ++lowRpm;
        if (r.Rpm > 2400)
            ++highRpm;
        if (r.OilTemp < lastOil)
            ++oilDrops;
        lastOil = r.OilTemp;
        answerPrompts(sim, r);
    }
    EXPECT_GT(lowRpm, 100);
    EXPECT_GT(highRpm, 60);
    EXPECT_EQ(oilDrops, 0);
    EXPECT_GT(lastOil, 800); // warm after a quarter of an hour
    EXPECT_EQ(sim.failedFrames, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, LiveValues, ::testing::Values(1u, 2u, 4242u));

TEST(LiveValues, SameSeedSameFramesOtherSeedOthers)
{
    auto frames = [](std::uint32_t seed) {
        sim::DemoOptions o;
        o.seed = seed;
        test::SimLink sim(o);
        EXPECT_TRUE(sim.open());
        std::vector<std::int16_t> seen;
        link::LiveReading r;
        for (int i = 0; i < 40; ++i) {
            sim.cycle(r);
            seen.push_back(r.Hc);
            seen.push_back(r.Rpm);
            answerPrompts(sim, r);
        }
        return seen;
    };
    EXPECT_EQ(frames(7), frames(7));
    EXPECT_NE(frames(7), frames(8));
}

// The operator's replies walk the analyser through its start: each row gives the
// reply to each prompt and the stages, as the live frames show them, that follow.
struct PromptCase {
    const char *name;
    std::uint8_t replyToOffer, replyToReady; // 0: never answers
    std::vector<std::string> stages;
};

namespace {
std::string stageOf(const link::LiveReading &r)
{
    if (r.StatusA & link::PowerUpCountdown)
        return "countdown";
    if (r.StatusA & link::LeakTestOffer)
        return "leak offer";
    if (r.StatusA & link::LeakTestReady)
        return "leak ready";
    if (r.StatusA & link::LeakTestPassed)
        return "leak passed";
    if (r.StatusA & link::LeakTestFailed)
        return "leak failed";
    if (r.StatusA & link::ZeroReady)
        return "zero ready";
    if (r.StatusB & link::Zeroing)
        return "zeroing";
    if (r.StatusA & link::HcCheckReady)
        return "hc ready";
    if (r.StatusA & link::HcCheckDone)
        return "hc done";
    if (!(r.StatusB & link::PumpOn))
        return "pump stopped";
    return "measuring";
}
} // namespace

class Prompts : public ::testing::TestWithParam<PromptCase> {};

TEST_P(Prompts, RepliesLeadThroughTheStart)
{
    const auto &c = GetParam();
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    std::vector<std::string> seen;
    link::LiveReading r;
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(sim.cycle(r));
        const std::string s = stageOf(r);
        if (seen.empty() || seen.back() != s)
            seen.push_back(s);
        if (s == "leak offer") {
            if (c.replyToOffer)
                sim.send(c.replyToOffer);
        } else if (s == "leak ready") {
            if (c.replyToReady)
                sim.send(c.replyToReady);
        } else if (s != "countdown") {
            answerPrompts(sim, r);
        }
    }
    EXPECT_EQ(seen, c.stages);
}

INSTANTIATE_TEST_SUITE_P(
    Start, Prompts,
    ::testing::Values(
        PromptCase{"LeakTestDone",
                   0x06,
                   0x06,
                   {"countdown", "leak offer", "leak ready", "pump stopped", "leak passed", "zero ready", "zeroing",
                    "measuring"}},
        PromptCase{"LeakTestDeclined", 0x05, 0, {"countdown", "leak offer", "zero ready", "zeroing", "measuring"}},
        PromptCase{"DeclinedWhenReady",
                   0x06,
                   0x05,
                   {"countdown", "leak offer", "leak ready", "zero ready", "zeroing", "measuring"}},
        PromptCase{"NeverAnswered", 0, 0, {"countdown", "leak offer"}}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {
// Brings the analyser past its start, to plain measuring.
void startUp(test::SimLink &sim, link::LiveReading &r)
{
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(sim.cycle(r));
        if (stageOf(r) == "measuring")
            return;
        answerPrompts(sim, r);
    }
    FAIL() << "never reached measuring";
}
} // namespace

TEST(Commands, PumpTogglesAndZeroAsksToZero)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    startUp(sim, r);
    ASSERT_TRUE(r.StatusB & link::PumpOn);
    const std::int16_t o2Sampling = r.O2;

    sim.send(link::kPumpCommand);
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_FALSE(r.StatusB & link::PumpOn);
    for (int i = 0; i < 5; ++i)
        sim.cycle(r);
    EXPECT_GT(r.O2, 1900); // the bench has filled with room air
    EXPECT_GT(r.O2, o2Sampling);

    sim.send(link::kPumpCommand);
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_TRUE(r.StatusB & link::PumpOn);

    sim.send(link::kZeroCommand);
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_EQ(stageOf(r), "zero ready");
    sim.send(link::kConfirmReply);
    ASSERT_TRUE(sim.cycle(r));
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_EQ(stageOf(r), "zeroing");
    EXPECT_LE(r.Hc, 10); // clean air has flushed the bench
    EXPECT_GT(r.O2, 1900);
}

TEST(Commands, StrayRepliesChangeNothing)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    startUp(sim, r);
    sim.send(link::kConfirmReply);
    sim.send(link::kDeclineReply);
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_EQ(stageOf(r), "measuring");
}

TEST(Commands, SecondZeroBringsTheHcResidueCheck)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    startUp(sim, r);
    sim.send(link::kZeroCommand);
    std::vector<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(sim.cycle(r));
        if (seen.empty() || seen.back() != stageOf(r))
            seen.push_back(stageOf(r));
        answerPrompts(sim, r);
    }
    EXPECT_EQ(seen,
              (std::vector<std::string>{"zero ready", "zeroing", "hc ready", "measuring", "hc done", "measuring"}));
}

TEST(Commands, AutomaticZeroWhenTimeToZeroRunsOut)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    startUp(sim, r);
    EXPECT_EQ(r.TimeToZero, 10);
    int lastTime = r.TimeToZero;
    for (int i = 0; i < 400 && stageOf(r) == "measuring"; ++i) {
        ASSERT_TRUE(sim.cycle(r));
        EXPECT_LE(r.TimeToZero, lastTime);
        lastTime = r.TimeToZero;
    }
    EXPECT_EQ(stageOf(r), "zero ready");
}

TEST(Commands, ResetCalibrationRestoresTheFactoryValues)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    const std::vector<std::uint8_t> values{1, 0, 2, 0, 3, 0, 4, 0};
    ASSERT_TRUE(link::SendCommandFrame(sim.port, 0x99, values, 1000, 2000).ok());
    EXPECT_EQ(sim.analyser->settings().calibration, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
    sim.send(link::kResetCalCommand);
    EXPECT_EQ(sim.analyser->settings().calibration, (std::array<std::uint16_t, 4>{350, 1380, 2200, 1000}));
    EXPECT_EQ(sim.analyser->settings().calibrationResets, 1);
}

TEST(Setup, LiveFramesFollowTheUnitsAndFuelSent)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    startUp(sim, r);
    for (int i = 0; i < 5; ++i) // let exhaust fill the bench again after the zero
        sim.cycle(r);
    EXPECT_EQ(r.ModeFlags & (link::AfrMode | link::Fahrenheit), 0);
    EXPECT_EQ(r.FuelCode, 1);
    // CNG, 8 PAGE, AFR, F
    const std::vector<std::uint8_t> setup{0xE6, 0x00, 0x37, 0x16, 0x04, 0x08, 0x12, 0x1A};
    ASSERT_TRUE(link::SendCommandFrame(sim.port, 0x77, setup, 1500, 1500).ok());
    ASSERT_TRUE(sim.cycle(r));
    EXPECT_EQ(r.ModeFlags & (link::AfrMode | link::Fahrenheit), link::AfrMode | link::Fahrenheit);
    EXPECT_EQ(r.FuelCode, 2);
    EXPECT_NEAR(link::EfficiencyValue(r).value, 17.2, 0.6); // CNG burns at about 17.2 : 1
}
