#include "link/frame.h"
#include "tests/support/fakedevice.h"
#include "tests/support/okresult.h"

#include <gtest/gtest.h>

using namespace qova;

struct ChecksumCase {
    const char *name;
    std::vector<std::uint8_t> payload;
    std::uint16_t check;
};

class Checksum : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(Checksum, BytesPlusWordSumToZero)
{
    const auto &c = GetParam();
    EXPECT_EQ(link::FrameChecksum(c.payload), c.check);
    std::uint32_t sum = c.check;
    for (auto b : c.payload)
        sum += b;
    EXPECT_EQ(sum % 65536, 0u);
}

INSTANTIATE_TEST_SUITE_P(Frames, Checksum,
                         ::testing::Values(ChecksumCase{"forty_blanks", std::vector<std::uint8_t>(40, 0x20), 0xFB00},
                                           ChecksumCase{"all_zero", std::vector<std::uint8_t>(8, 0), 0x0000},
                                           ChecksumCase{"empty", {}, 0x0000}, ChecksumCase{"one", {1}, 0xFFFF},
                                           ChecksumCase{"wraps", std::vector<std::uint8_t>(300, 0xFF),
                                                        static_cast<std::uint16_t>(0x10000 - (300 * 255) % 65536)},
                                           ChecksumCase{"sum_0123", {0xFF, 0x24}, 0xFEDD}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CommandFrame, CommandByteThenPayloadThenChecksumLowFirst)
{
    const std::vector<std::uint8_t> payload(40, 0x20);
    const auto frame = link::BuildCommandFrame(0xDD, payload);
    ASSERT_EQ(frame.size(), 43u);
    EXPECT_EQ(frame.front(), 0xDD);
    EXPECT_EQ(frame[41], 0x00);
    EXPECT_EQ(frame[42], 0xFB);
}

TEST(CommandFrame, SendWaitsDrainsWritesAndReadsTheAnswer)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    auto &dev = fake.device();
    dev.queue({0x99, 0x98}); // stale bytes, drained before the frame goes out
    dev.onWrite = [](std::uint8_t b, test::FakeDevice &d) {
        if (b == 0xFF) // the checksum's high byte: the frame is complete
            d.queue({'O'});
    };
    const std::vector<std::uint8_t> payload = {1};
    EXPECT_TRUE(qova::test::Ok(link::SendCommandFrame(fake.port, 0x77, payload, 1500, 1500)));
    EXPECT_EQ(dev.writtenBytes(), (std::vector<std::uint8_t>{0x77, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(dev.written().front().atMs, 1500 + 1); // the pre-send wait, then one empty read
}

TEST(CommandFrame, AnswerOtherThanOFails)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue({'E'}, 2000);
    const std::vector<std::uint8_t> payload(8, 3);
    EXPECT_FALSE(link::SendCommandFrame(fake.port, 0x99, payload, 1000, 2000).ok());
}

TEST(CommandFrame, SilenceFailsAfterTheFullAnswerWait)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    const std::vector<std::uint8_t> payload(8, 3);
    EXPECT_FALSE(link::SendCommandFrame(fake.port, 0x99, payload, 1000, 2000).ok());
    EXPECT_GE(fake.clock.nowMs(), 1000 + 2000);
    EXPECT_EQ(fake.port.BytesRead, 0u);
}

TEST(CommandFrame, AnswerWaitEndsWhenTheAcknowledgeArrives)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue({'O'}, 1600); // 100 ms after the frame went out
    const std::vector<std::uint8_t> payload(8, 0);
    EXPECT_TRUE(qova::test::Ok(link::SendCommandFrame(fake.port, 0x77, payload, 1500, 1500)));
    EXPECT_LT(fake.clock.nowMs(), 1500 + 200);
}
