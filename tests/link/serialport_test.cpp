#include "link/frame.h"
#include "link/livereading.h"
#include "tests/support/fakedevice.h"

#include <gtest/gtest.h>

using namespace qova;

TEST(Drain, IdleLineCostsOneRead)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    link::DrainInput(fake.port);
    EXPECT_EQ(fake.device().reads(), 1);
    EXPECT_EQ(fake.port.BytesRead, 0u);
}

TEST(Drain, EmptiesWhatIsQueued)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue({1, 2, 3, 4, 5});
    link::DrainInput(fake.port);
    EXPECT_EQ(fake.device().reads(), 6);
    EXPECT_EQ(fake.device().queuedBytes(), 0u);
}

TEST(Drain, GivesUpOnADeviceThatNeverStopsSending)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue(std::vector<std::uint8_t>(100000, 0xAA));
    link::DrainInput(fake.port);
    EXPECT_EQ(fake.device().reads(), link::kDrainMaxBytes);
}

TEST(Drain, GivesUpAfterItsTimeOnASlowTrickle)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    // One byte every millisecond: each read finds a byte, none ever finds the line idle.
    for (int t = 0; t < 5000; ++t)
        fake.device().queue({0x55}, t);
    link::DrainInput(fake.port);
    EXPECT_LE(fake.clock.nowMs(), link::kDrainMaxMs + 1);
}

TEST(RequestReading, DrainsThenSendsThePoll)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue({9, 9, 9});
    link::RequestReading(fake.port);
    EXPECT_EQ(fake.device().writtenBytes(), std::vector<std::uint8_t>{0x11});
    EXPECT_EQ(fake.device().queuedBytes(), 0u);
}

TEST(OpenPort, AbsentDeviceFailsAndLeavesAnInvalidHandle)
{
    test::FakeLink fake;
    fake.prepare = [](test::FakeDevice &d) {
        d.failOpen = true;
        d.reason = QStringLiteral("No such file or directory");
    };
    EXPECT_FALSE(fake.open());
    EXPECT_FALSE(fake.port.handleValid());
    EXPECT_EQ(fake.port.lastError, QStringLiteral("No such file or directory"));
    EXPECT_EQ(fake.port.lastDevice, QStringLiteral("/dev/fake0"));
    link::ClosePort(fake.port);
    EXPECT_EQ(fake.device().closes(), 0);
    EXPECT_EQ(link::ReadByte(fake.port), 0);
    EXPECT_EQ(fake.port.BytesRead, 0u);
    EXPECT_FALSE(link::WriteByte(fake.port, 0x11));
}

struct StepCase {
    const char *name;
    bool test::FakeDevice::*flag;
};
class FailedStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(FailedStep, ClosesTheDeviceItOpened)
{
    test::FakeLink fake;
    fake.prepare = [flag = GetParam().flag](test::FakeDevice &d) { d.*flag = true; };
    EXPECT_FALSE(fake.open());
    EXPECT_FALSE(fake.port.PortOpen);
    EXPECT_FALSE(fake.port.handleValid());
    EXPECT_EQ(fake.device().opens(), 1);
    EXPECT_EQ(fake.device().closes(), 1);
    EXPECT_FALSE(fake.port.lastError.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedStep,
                         ::testing::Values(StepCase{"line", &test::FakeDevice::failLine},
                                           StepCase{"timeouts", &test::FakeDevice::failTimeouts},
                                           StepCase{"queues", &test::FakeDevice::failQueues}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OpenPort, SecondOpenClosesTheFirstDevice)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    ASSERT_TRUE(fake.open());
    ASSERT_EQ(fake.devices.size(), 2u);
    EXPECT_EQ(fake.devices[0]->closes(), 1);
    EXPECT_TRUE(fake.devices[1]->isOpen());
    link::ClosePort(fake.port);
    EXPECT_FALSE(fake.port.PortOpen);
}

TEST(OpenPort, UsesThePortNumber)
{
    int asked = 0;
    link::VirtualPause clock;
    link::PortState port(
        [&](int n) {
            asked = n;
            return std::make_unique<test::FakeDevice>(clock);
        },
        clock);
    port.PortNumber = 3;
    EXPECT_TRUE(link::OpenPort(port));
    EXPECT_EQ(asked, 3);
}

TEST(ClosePort, ClosesWhatOpenPortOpenedOnce)
{
    test::FakeLink fake;
    ASSERT_TRUE(link::OpenPort(fake.port));
    EXPECT_TRUE(fake.port.PortOpen);
    EXPECT_TRUE(fake.port.handleValid());
    link::ClosePort(fake.port);
    EXPECT_EQ(fake.device().closes(), 1);
    EXPECT_FALSE(fake.port.PortOpen);
    link::ClosePort(fake.port);
    EXPECT_EQ(fake.device().closes(), 1);
}
