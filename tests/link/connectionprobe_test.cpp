#include "link/connectionprobe.h"
#include "link/protocol.h"
#include "tests/support/fakedevice.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace qova;
using Outcome = link::ProbeResult::Outcome;

namespace {

link::LiveReading sample()
{
    link::LiveReading r;
    r.Co = 150;
    r.Hc = 42;
    r.O2 = 2090;
    r.Battery = 87;
    r.FuelCode = 1;
    return r;
}

std::vector<std::uint8_t> frameOf(const link::LiveReading &r)
{
    const auto f = link::EncodeLiveFrame(r);
    return {f.begin(), f.end()};
}

std::vector<std::uint8_t> badCheckWord()
{
    auto f = frameOf(sample());
    f.back() ^= 0x01;
    return f;
}

struct ProbeCase {
    const char *name;
    bool failOpen;
    std::vector<std::uint8_t> answer; // sent back after the poll
    int answerAfterMs;
    Outcome outcome;
    std::vector<std::string> reportSays;
};

class Probe : public testing::TestWithParam<ProbeCase> {};

TEST_P(Probe, PollsOnceSaysWhatAnsweredAndLetsThePortGo)
{
    const ProbeCase &c = GetParam();
    test::FakeLink fake;
    fake.prepare = [&c](test::FakeDevice &d) {
        d.failOpen = c.failOpen;
        d.reason = QStringLiteral("Permission denied");
        d.onWrite = [&c](std::uint8_t byte, test::FakeDevice &dev) {
            if (byte == link::kPollCommand && !c.answer.empty())
                dev.queue(c.answer, dev.written().back().atMs + c.answerAfterMs);
        };
    };

    const link::ProbeResult result = link::ProbeConnection(fake.port);

    EXPECT_EQ(result.outcome, c.outcome);
    const std::string report = link::ProbeReport(result, false).toStdString();
    EXPECT_NE(report.find("/dev/fake0"), std::string::npos) << report;
    for (const std::string &words : c.reportSays)
        EXPECT_NE(report.find(words), std::string::npos) << report;
    ASSERT_FALSE(fake.devices.empty());
    EXPECT_FALSE(fake.device().isOpen());
    EXPECT_FALSE(fake.port.PortOpen);
    const std::vector<std::uint8_t> written = fake.device().writtenBytes();
    EXPECT_EQ(written, c.failOpen ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>{link::kPollCommand});
    // Never longer than the answer's wait and the reading of one frame.
    EXPECT_LE(fake.clock.nowMs(), link::kProbeAnswerMs + 3 * link::kLiveFrameSize);
}

INSTANTIATE_TEST_SUITE_P(
    Connection, Probe,
    testing::Values(
        ProbeCase{"DoesNotOpen", true, {}, 0, Outcome::OpenFailed, {"could not be opened", "Permission denied"}},
        ProbeCase{"Silent", false, {}, 0, Outcome::NoAnswer, {"nothing answered", "switched on"}},
        ProbeCase{"Answers",
                  false,
                  frameOf(sample()),
                  300,
                  Outcome::Answered,
                  {"analyser answered", "PETROL", "CO 1.50 %", "HC 42 ppm", "O2 20.90 %", "battery 87 %"}},
        ProbeCase{"AnswersAtTheLastMoment",
                  false,
                  frameOf(sample()),
                  link::kProbeAnswerMs - 5,
                  Outcome::Answered,
                  {"CO 1.50 %"}},
        ProbeCase{"AnswersTooLate",
                  false,
                  frameOf(sample()),
                  link::kProbeAnswerMs + 500,
                  Outcome::NoAnswer,
                  {"nothing answered"}},
        ProbeCase{"WrongCheckWord", false, badCheckWord(), 100, Outcome::NotAFrame, {"24 bytes", "not a reading"}},
        ProbeCase{"HalfAFrame",
                  false,
                  std::vector<std::uint8_t>(10, 0x55),
                  100,
                  Outcome::NotAFrame,
                  {"10 bytes", "not a reading"}}),
    [](const testing::TestParamInfo<ProbeCase> &info) { return std::string(info.param.name); });

TEST(ProbeReport, SaysTheAnalyserIsStillWarmingUp)
{
    link::ProbeResult r;
    r.outcome = Outcome::Answered;
    r.device = QStringLiteral("demo");
    r.reading = sample();
    r.reading.StatusA = link::PowerUpCountdown;
    EXPECT_TRUE(link::ProbeReport(r, true).contains(QStringLiteral("warming up")));
    EXPECT_TRUE(link::ProbeReport(r, true).contains(QStringLiteral("GASOLINE")));
}

} // namespace
