#include "link/frame.h"
#include "sim/storedtests.h"
#include "tests/sim/simlink.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;

// Each configuration frame is acknowledged exactly when its check word is right; a
// wrong one gets no answer at all and leaves the settings as they were.
struct FrameCase {
    const char *name;
    std::uint8_t command;
    std::vector<std::uint8_t> payload;
    int spoil; // 0: the frame as built; 1: check word off by one; 2: check bytes swapped
    bool acknowledged;
};

class ConfigurationFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ConfigurationFrames, AcknowledgedOnlyWithTheRightCheckWord)
{
    const auto &c = GetParam();
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    auto frame = link::BuildCommandFrame(c.command, c.payload);
    const std::size_t n = frame.size();
    if (c.spoil == 1)
        frame[n - 2] = static_cast<std::uint8_t>(frame[n - 2] + 1);
    if (c.spoil == 2)
        std::swap(frame[n - 2], frame[n - 1]);
    sim.clock.sleepMs(1500);
    link::DrainInput(sim.port);
    for (std::uint8_t b : frame)
        sim.send(b);
    sim.clock.sleepMs(1500);
    const std::uint8_t answer = link::ReadByte(sim.port);
    if (c.acknowledged) {
        EXPECT_EQ(answer, link::kAcknowledge);
        EXPECT_EQ(sim.port.BytesRead, 1u);
    } else {
        EXPECT_EQ(sim.port.BytesRead, 0u) << "answered " << int(answer);
    }
    // Nothing else follows: a payload byte that happens to be a command is not one.
    link::ReadByte(sim.port);
    EXPECT_EQ(sim.port.BytesRead, 0u);

    const auto &s = sim.analyser->settings();
    EXPECT_EQ(s.rejectedFrames, c.acknowledged ? 0 : 1);
    const int accepted = s.setupFrames + s.calibrationFrames + s.headerFrames;
    EXPECT_EQ(accepted, c.acknowledged ? 1 : 0);
    if (!c.acknowledged) {
        EXPECT_EQ(s.setupFlags, 0x05);
        EXPECT_EQ(s.calibration, (std::array<std::uint16_t, 4>{350, 1380, 2200, 1000}));
        EXPECT_TRUE(s.headerLine1.isEmpty());
    }
}

namespace {
const std::vector<std::uint8_t> kSetup{0x05, 0x00, 0x37, 0x16, 0x04, 0x08, 0x12, 0x1A};
const std::vector<std::uint8_t> kCalibration{0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03};
// Calibration values 0x1111 and 0x2222: the poll and pump bytes inside a payload.
const std::vector<std::uint8_t> kCommandLikeBytes{0x11, 0x11, 0x22, 0x22, 0x55, 0x44, 0x09, 0x06};
std::vector<std::uint8_t> headerLines(const std::string &one, const std::string &two)
{
    std::vector<std::uint8_t> p(40, ' ');
    std::copy(one.begin(), one.end(), p.begin());
    std::copy(two.begin(), two.end(), p.begin() + 20);
    return p;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    All, ConfigurationFrames,
    ::testing::Values(FrameCase{"Setup", 0x77, kSetup, 0, true}, FrameCase{"SetupBadCheck", 0x77, kSetup, 1, false},
                      FrameCase{"SetupSwappedCheck", 0x77, kSetup, 2, false},
                      FrameCase{"Calibration", 0x99, kCalibration, 0, true},
                      FrameCase{"CalibrationBadCheck", 0x99, kCalibration, 1, false},
                      FrameCase{"CalibrationAllZero", 0x99, std::vector<std::uint8_t>(8, 0), 0, true},
                      FrameCase{"CommandBytesInPayload", 0x99, kCommandLikeBytes, 0, true},
                      FrameCase{"CommandBytesInPayloadBadCheck", 0x99, kCommandLikeBytes, 1, false},
                      FrameCase{"HeaderBlank", 0xDD, headerLines("", ""), 0, true},
                      FrameCase{"HeaderText", 0xDD, headerLines("ACME GARAGE", "TEL 0123 456"), 0, true},
                      FrameCase{"HeaderBadCheck", 0xDD, headerLines("A", ""), 1, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ConfigurationFrames, SettingsRememberedAsSent)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    ASSERT_TRUE(link::SendCommandFrame(sim.port, 0x77, kSetup, 1500, 1500).ok());
    ASSERT_TRUE(link::SendCommandFrame(sim.port, 0x99, kCalibration, 1000, 2000).ok());
    ASSERT_TRUE(link::SendCommandFrame(sim.port, 0xDD, headerLines("ACME GARAGE", "TEL 0123 456"), 2, 2500).ok());
    const auto &s = sim.analyser->settings();
    EXPECT_EQ(s.setupFlags, 0x05);
    EXPECT_EQ(s.rpmMode, 0);
    EXPECT_EQ(s.clock, (std::array<std::uint8_t, 6>{0x37, 0x16, 0x04, 0x08, 0x12, 0x1A}));
    EXPECT_EQ(s.calibration, (std::array<std::uint16_t, 4>{350, 1380, 2200, 1000}));
    EXPECT_EQ(s.headerLine1, QByteArray("ACME GARAGE         "));
    EXPECT_EQ(s.headerLine2, QByteArray("TEL 0123 456        "));
}

TEST(ConfigurationFrames, AFrameCutShortIsDroppedAndTheNextPollAnswered)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    const auto frame = link::BuildCommandFrame(0xDD, headerLines("CUT", ""));
    for (std::size_t i = 0; i < 20; ++i)
        sim.send(frame[i]);
    sim.clock.sleepMs(1000);
    link::LiveReading r;
    EXPECT_TRUE(sim.cycle(r));
    EXPECT_EQ(sim.analyser->settings().headerFrames + sim.analyser->settings().rejectedFrames, 0);
}

// The upload as the program runs it: "D", 1400 ms, the acknowledge, then blocks
// answered "O" or "E" with the program's waits, until the end block or four rejects.
struct UploadRun {
    bool acknowledged = false;
    std::vector<std::uint8_t> data; // accepted blocks joined
    std::vector<std::vector<std::uint8_t>> rejected, accepted;
    bool endBlock = false;
};

namespace {
UploadRun upload(test::SimLink &sim, int maxRejects = 4)
{
    UploadRun run;
    link::DrainInput(sim.port);
    sim.send('D');
    sim.clock.sleepMs(1400);
    run.acknowledged = link::ReadByte(sim.port) == 0x06;
    if (!run.acknowledged)
        return run;
    for (;;) {
        const std::uint8_t length = link::ReadByte(sim.port);
        if (length == 0) {
            run.endBlock = sim.port.BytesRead == 1;
            break;
        }
        if (static_cast<int>(run.rejected.size()) >= maxRejects)
            break;
        std::uint16_t sum = length;
        std::vector<std::uint8_t> block;
        for (int i = 0; i < length - 1; ++i) {
            block.push_back(link::ReadByte(sim.port));
            sum = static_cast<std::uint16_t>(sum + block.back());
        }
        const std::uint8_t low = link::ReadByte(sim.port);
        const std::uint8_t high = link::ReadByte(sim.port);
        sum = static_cast<std::uint16_t>(sum + low + 256 * high);
        if (sum == 0) {
            run.data.insert(run.data.end(), block.begin(), block.end());
            run.accepted.push_back(block);
            sim.send('O');
        } else {
            run.rejected.push_back(block);
            sim.send('E');
            sim.clock.sleepMs(100);
        }
        sim.clock.sleepMs(410);
    }
    return run;
}
} // namespace

TEST(Upload, WholeStoreInBlocksOfVaryingLength)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    const UploadRun run = upload(sim);
    ASSERT_TRUE(run.acknowledged);
    EXPECT_TRUE(run.endBlock);
    EXPECT_TRUE(run.rejected.empty());
    EXPECT_EQ(run.data, sim.analyser->store());
    EXPECT_EQ(run.data.size() % sim::kStoredTestSize, 0u);
    const auto records = run.data.size() / sim::kStoredTestSize;
    EXPECT_GE(records, 24u);
    EXPECT_LE(records, 48u);
    std::set<std::size_t> lengths;
    for (const auto &b : run.accepted)
        lengths.insert(b.size());
    EXPECT_GE(lengths.size(), 3u);
    EXPECT_LE(run.data.size(), 7936u); // fits the program's receive buffer
    EXPECT_FALSE(sim.analyser->uploading());
}

TEST(Upload, RejectedBlockComesAgainUnchanged)
{
    sim::DemoOptions o;
    o.faults.badBlockEvery = 2;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    const UploadRun run = upload(sim, 1000);
    ASSERT_TRUE(run.acknowledged);
    EXPECT_TRUE(run.endBlock);
    EXPECT_EQ(run.data, sim.analyser->store());
    EXPECT_EQ(run.rejected.size(), run.accepted.size() / 2);
    ASSERT_FALSE(run.rejected.empty());
    // The second block was spoilt once; its sending again is the one accepted second.
    EXPECT_EQ(run.rejected[0], run.accepted[1]);
    EXPECT_EQ(sim.analyser->blocksSent(), static_cast<int>(run.accepted.size() + run.rejected.size()));
}

TEST(Upload, ABlockThatNeverComesRightEndsAfterFourRejects)
{
    sim::DemoOptions o;
    o.faults.badBlockEvery = 1;
    o.faults.resentBlocksBad = true;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    const UploadRun run = upload(sim);
    ASSERT_TRUE(run.acknowledged);
    EXPECT_TRUE(run.data.empty());
    ASSERT_EQ(run.rejected.size(), 4u);
    for (const auto &b : run.rejected)
        EXPECT_EQ(b, run.rejected[0]);
    // The program walks away; the next poll is answered as ever.
    sim.clock.sleepMs(2000);
    link::LiveReading r;
    EXPECT_TRUE(sim.cycle(r));
    EXPECT_FALSE(sim.analyser->uploading());
}

TEST(Upload, SilentAnalyserSendsNoAcknowledge)
{
    sim::DemoOptions o;
    o.faults.silent = true;
    test::SimLink sim(o);
    ASSERT_TRUE(sim.open());
    EXPECT_FALSE(upload(sim).acknowledged);
}

TEST(Upload, SameStoreOnEveryUpload)
{
    test::SimLink sim;
    ASSERT_TRUE(sim.open());
    const auto first = upload(sim);
    const auto second = upload(sim);
    EXPECT_EQ(first.data, second.data);
    EXPECT_FALSE(first.data.empty());
}

TEST(Block, WireLayoutCarriesTheLengthInItsCheckWord)
{
    EXPECT_EQ(sim::BlockOnWire({1, 2, 3}), (std::vector<std::uint8_t>{4, 1, 2, 3, 0xF6, 0xFF}));
    EXPECT_EQ(sim::BlockOnWire({}), (std::vector<std::uint8_t>{1, 0xFF, 0xFF}));
    EXPECT_EQ(sim::BlockOnWire(std::vector<std::uint8_t>(254, 0)).front(), 255);
    EXPECT_NE(sim::BlockOnWire({1, 2, 3}, true), sim::BlockOnWire({1, 2, 3}));
}

namespace {
int fromBcd(std::uint8_t b)
{
    EXPECT_LE(b >> 4, 9);
    EXPECT_LE(b & 15, 9);
    return (b >> 4) * 10 + (b & 15);
}
int word(const std::uint8_t *p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] << 8 | p[1]));
}
} // namespace

class StoredTests : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(StoredTests, RecordsLookLikeRealTests)
{
    std::mt19937 rng(GetParam());
    const QDate today(2026, 12, 8);
    const auto store = sim::MakeStoredTests(rng, today, 48);
    ASSERT_EQ(store.size(), 48u * 30);
    QDateTime last;
    for (std::size_t n = 0; n < 48; ++n) {
        const std::uint8_t *r = store.data() + n * 30;
        const QTime time(fromBcd(r[2]), fromBcd(r[1]), fromBcd(r[0]));
        const QDate date(today.year(), fromBcd(r[4]), fromBcd(r[3]));
        ASSERT_TRUE(time.isValid()) << n;
        ASSERT_TRUE(date.isValid()) << n;
        EXPECT_EQ(r[5], today.year() % 4);
        const QDateTime at(date, time);
        EXPECT_GT(at, last) << n;
        EXPECT_LT(date, today);
        last = at;
        const int rpm = word(r + 14);
        if (n % 2 == 0)
            EXPECT_LT(rpm, 1000);
        else
            EXPECT_GT(rpm, 2400);
        EXPECT_GE(word(r + 6), 0);                        // HC
        EXPECT_GE(word(r + 8), -3);                       // CO
        EXPECT_LE(word(r + 8), 200);                      //
        EXPECT_GE(word(r + 10), 100);                     // CO2
        EXPECT_GE(word(r + 16), 600);                     // oil
        EXPECT_LE(word(r + 18), 300);                     // O2
        EXPECT_EQ(word(r + 23), static_cast<int>(n + 1)); // test number in the part the program skips
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, StoredTests, ::testing::Values(1u, 77u, 31337u));
