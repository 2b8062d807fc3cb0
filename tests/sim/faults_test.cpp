#include "link/frame.h"
#include "tests/sim/simlink.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;

// What a live window makes of each fault, cycle by cycle: V a valid frame, x a failed one.
struct FaultCase {
    const char *name;
    sim::Faults faults;
    std::string cycles;
    bool stillOpen;
};

class FaultsOnTheLine : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultsOnTheLine, LiveWindowSeesWhatTheFaultMakes)
{
    const auto &c = GetParam();
    sim::DemoOptions o;
    o.faults = c.faults;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    std::string seen;
    int expectedFailures = 0;
    link::LiveReading r;
    for (std::size_t i = 0; i < c.cycles.size(); ++i) {
        const std::int64_t before = sim.clock.nowMs();
        const bool valid = sim.cycle(r);
        seen += valid ? 'V' : 'x';
        expectedFailures = valid ? 0 : expectedFailures + 1;
        EXPECT_EQ(sim.failedFrames, expectedFailures);
        // However the line misbehaves, a cycle ends in bounded time.
        EXPECT_LE(sim.clock.nowMs() - before, 2000 + link::kDrainMaxMs + 30);
    }
    EXPECT_EQ(seen, c.cycles);
    EXPECT_EQ(sim.port.handleValid(), c.stillOpen);
}

namespace {
sim::Faults faults(void (*set)(sim::Faults &))
{
    sim::Faults f;
    set(f);
    return f;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    All, FaultsOnTheLine,
    ::testing::Values(
        FaultCase{"None", {}, "VVVVVV", true},
        FaultCase{"EveryFrameBad", faults([](sim::Faults &f) { f.badFrameEvery = 1; }), "xxxxxx", true},
        FaultCase{"EveryThirdFrameBad", faults([](sim::Faults &f) { f.badFrameEvery = 3; }), "VVxVVx", true},
        FaultCase{"Silence", faults([](sim::Faults &f) { f.silent = true; }), "xxxxxx", true},
        FaultCase{"PartialFrames", faults([](sim::Faults &f) { f.partialFrames = true; }), "xxxxxx", true},
        FaultCase{"Flood", faults([](sim::Faults &f) { f.flood = true; }), "xxxxxx", true},
        FaultCase{"UnplugAfterFiveSeconds", faults([](sim::Faults &f) { f.unplugAfterMs = 5000; }), "VVxxxx", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FaultsOnTheLine, UnpluggedDeviceClosesReportsAndStaysGone)
{
    sim::DemoOptions o;
    o.faults.unplugAfterMs = 3000;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    sim.clock.sleepMs(3000);
    EXPECT_FALSE(link::WriteByte(sim.port, link::kPollCommand));
    EXPECT_FALSE(sim.device->isOpen());
    EXPECT_FALSE(sim.device->errorString().isEmpty());
    // No byte, and no waiting for one, from a device that is gone.
    const std::int64_t before = sim.clock.nowMs();
    for (int i = 0; i < 100; ++i)
        link::ReadByte(sim.port);
    EXPECT_EQ(sim.port.BytesRead, 0u);
    EXPECT_EQ(sim.clock.nowMs(), before);
    // Opening again finds nothing on the port.
    const Done again = link::OpenPort(sim.port);
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.problem().why, sim.device->errorString());
    EXPECT_FALSE(again.problem().why.isEmpty());
}

TEST(FaultsOnTheLine, FaultCanBeSwitchedOffAgain)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    EXPECT_TRUE(sim.cycle(r));
    sim.analyser->faults().partialFrames = true;
    EXPECT_FALSE(sim.cycle(r));
    sim.analyser->faults().partialFrames = false;
    EXPECT_TRUE(sim.cycle(r)); // the drain took the rest; the exchange is back in step
}

TEST(FaultsOnTheLine, SilentAnalyserAcknowledgesNoFrame)
{
    sim::DemoOptions o;
    o.faults.silent = true;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    const std::vector<std::uint8_t> zeros(8, 0);
    const Done sent = link::SendCommandFrame(sim.port, 0x99, zeros, 1000, 2000);
    ASSERT_FALSE(sent.ok());
    EXPECT_TRUE(sent.problem().why.startsWith(QStringLiteral("nothing came"))) << sent.problem().text().toStdString();
}

// A 24-byte frame takes 25 ms on a 9600-baud line; unpaced it is there at once.
struct PacingCase {
    const char *name;
    bool paced;
    int afterMs;
    std::size_t queued;
};

class Pacing : public ::testing::TestWithParam<PacingCase> {};

TEST_P(Pacing, FrameArrivesAsTheLineAllows)
{
    const auto &c = GetParam();
    test::SimLink sim({}, c.paced);
    ASSERT_TRUE(sim.open());
    sim.send(link::kPollCommand);
    sim.clock.sleepMs(c.afterMs);
    EXPECT_EQ(sim.device->queuedBytes(), c.queued);
}

INSTANTIATE_TEST_SUITE_P(All, Pacing,
                         ::testing::Values(PacingCase{"UnpacedAtOnce", false, 0, 24},
                                           PacingCase{"PacedNothingYet", true, 0, 0},
                                           PacingCase{"PacedAfterTenMs", true, 10, 9},
                                           PacingCase{"PacedAfterTwentySixMs", true, 26, 24}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Pacing, ReceivedBytesLoggedWithTheirTime)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    sim.clock.sleepMs(5);
    sim.send(link::kPollCommand);
    sim.clock.sleepMs(20);
    sim.send(link::kPumpCommand);
    const auto &log = sim.device->received();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].byte, link::kPollCommand);
    EXPECT_EQ(log[0].atMs, 5);
    EXPECT_EQ(log[1].byte, link::kPumpCommand);
    EXPECT_EQ(log[1].atMs, 25);
}

TEST(Pacing, OneAnalyserAcrossReopenings)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    link::LiveReading r;
    for (int i = 0; i < 15; ++i)
        sim.cycle(r);
    ASSERT_FALSE(r.StatusA & link::PowerUpCountdown);
    link::ClosePort(sim.port);
    ASSERT_TRUE(sim.open());
    EXPECT_TRUE(sim.cycle(r));
    EXPECT_FALSE(r.StatusA & link::PowerUpCountdown); // not switched on anew
}
