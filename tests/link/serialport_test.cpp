#include "link/frame.h"
#include "link/livereading.h"
#include "tests/support/fakedevice.h"
#include "tests/support/okresult.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

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
    EXPECT_TRUE(qova::test::Ok(link::OpenPort(port)));
    EXPECT_EQ(asked, 3);
}

TEST(ClosePort, ClosesWhatOpenPortOpenedOnce)
{
    test::FakeLink fake;
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(fake.port)));
    EXPECT_TRUE(fake.port.PortOpen);
    EXPECT_TRUE(fake.port.handleValid());
    link::ClosePort(fake.port);
    EXPECT_EQ(fake.device().closes(), 1);
    EXPECT_FALSE(fake.port.PortOpen);
    link::ClosePort(fake.port);
    EXPECT_EQ(fake.device().closes(), 1);
}

// ---- What the operator is told when the link fails -------------------------------------

struct LinkFailureCase {
    const char *name;
    std::function<void(test::FakeDevice &)> prepare;
    QString chosenDevice;                            // FILE > COMM's choice outside COM1 to COM4; empty for COM1
    std::optional<std::vector<std::uint8_t>> answer; // a command frame is sent once the port is open
    Problem told;
};

void PrintTo(const LinkFailureCase &c, std::ostream *os)
{
    *os << c.name;
}

class LinkFailure : public ::testing::TestWithParam<LinkFailureCase> {};

TEST_P(LinkFailure, NamesTheDeviceTheReasonAndWhereToChangeIt)
{
    const LinkFailureCase &c = GetParam();
    test::FakeLink fake;
    fake.prepare = c.prepare;
    if (!c.chosenDevice.isEmpty()) {
        fake.port.PortDevice = c.chosenDevice;
        fake.port.namedFactory = [&fake](const QString &) { return fake.port.factory(1); };
    }
    const Done opened = link::OpenPort(fake.port);
    if (!c.answer) {
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.problem(), c.told) << qova::test::Said(opened).toStdString();
        EXPECT_FALSE(fake.port.PortOpen);
        return;
    }
    ASSERT_TRUE(qova::test::Ok(opened));
    if (!c.answer->empty())
        fake.device().queue(*c.answer, 1500);
    const std::vector<std::uint8_t> payload(8, 3);
    const Done sent = link::SendCommandFrame(fake.port, 0x99, payload, 1000, 2000);
    ASSERT_FALSE(sent.ok());
    EXPECT_EQ(sent.problem(), c.told) << qova::test::Said(sent).toStdString();
}

const auto kFix = link::kConnectionFix;
std::function<void(test::FakeDevice &)> refusing(bool test::FakeDevice::*step, const char *reason)
{
    return [step, reason](test::FakeDevice &d) {
        d.*step = true;
        d.reason = QString::fromUtf8(reason);
    };
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkFailure,
    ::testing::Values(LinkFailureCase{"NoSuchDevice",
                                      refusing(&test::FakeDevice::failOpen, "No such file or directory"),
                                      {},
                                      std::nullopt,
                                      {"COM1 (/dev/fake0)", "No such file or directory", kFix}},
                      LinkFailureCase{"ChosenDeviceNamedOnce",
                                      refusing(&test::FakeDevice::failOpen, "Permission denied"),
                                      "/dev/fake0",
                                      std::nullopt,
                                      {"/dev/fake0", "Permission denied", kFix}},
                      LinkFailureCase{"RefusesLineSettings",
                                      refusing(&test::FakeDevice::failLine, "Inappropriate ioctl for device"),
                                      {},
                                      std::nullopt,
                                      {"COM1 (/dev/fake0)", "Inappropriate ioctl for device", kFix}},
                      LinkFailureCase{"RefusesTimeouts",
                                      refusing(&test::FakeDevice::failTimeouts, "Input/output error"),
                                      {},
                                      std::nullopt,
                                      {"COM1 (/dev/fake0)", "Input/output error", kFix}},
                      LinkFailureCase{"RefusesQueuesWithoutAReason",
                                      refusing(&test::FakeDevice::failQueues, ""),
                                      {},
                                      std::nullopt,
                                      {"COM1 (/dev/fake0)", "the port could not be set up", kFix}},
                      LinkFailureCase{"NoAnswer",
                                      nullptr,
                                      {},
                                      std::vector<std::uint8_t>{},
                                      {"The analyser on COM1 (/dev/fake0) did not answer",
                                       "nothing came within 2000 ms of sending command 0x99", kFix}},
                      LinkFailureCase{"WrongAnswer",
                                      nullptr,
                                      {},
                                      std::vector<std::uint8_t>{'E'},
                                      {"The analyser on COM1 (/dev/fake0) did not accept command 0x99",
                                       "it answered 0x45 (\"E\") instead of 0x4F (\"O\")", kFix}},
                      LinkFailureCase{"ZeroIsAnAnswerNotSilence",
                                      nullptr,
                                      {},
                                      std::vector<std::uint8_t>{0x00},
                                      {"The analyser on COM1 (/dev/fake0) did not accept command 0x99",
                                       "it answered 0x00 instead of 0x4F (\"O\")", kFix}}),
    [](const auto &info) { return std::string(info.param.name); });
