#include "link/livesession.h"
#include "tests/support/coreapplication.h"
#include "tests/support/fakedevice.h"
#include "tests/support/okresult.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace qova;
using link::LiveSession;
using link::PromptButtons;
using link::PromptIcon;
using link::PromptKind;

namespace {

// The session's timers are QTimers; they need an application object, never its loop.
QCoreApplication &app()
{
    return test::CoreApplication("test_livesession");
}

const LiveSession::Options kDigital{
    .periodMs = 2000, .firstCycleMs = 1000, .settleMs = 2, .prompts = true, .noResponseAfter = 3};
const LiveSession::Options kGraph{.periodMs = 3333};

// A session over a scripted analyser in virtual time, with a log of what it signalled.
struct Rig {
    Rig() { app(); }
    test::FakeLink fake;
    LiveSession session{fake.port};
    std::vector<std::string> events;
    std::vector<bool> answers; // the operator's, one per prompt; none left means no answer
    std::vector<bool> pollingDuringPrompt;
    std::vector<std::vector<std::uint8_t>> writtenBeforePrompt;

    void listen()
    {
        QObject::connect(&session, &LiveSession::validFrame,
                         [this](const link::LiveReading &) { events.push_back("valid"); });
        QObject::connect(&session, &LiveSession::readingReady,
                         [this](const link::LiveReading &) { events.push_back("ready"); });
        QObject::connect(&session, &LiveSession::invalidFrame,
                         [this](int n) { events.push_back("invalid " + std::to_string(n)); });
        QObject::connect(&session, &LiveSession::zeroingUnderway, [this] { events.push_back("zeroing"); });
        QObject::connect(&session, &LiveSession::noResponse,
                         [this] { events.push_back(session.isPolling() ? "noResponse while polling" : "noResponse"); });
        QObject::connect(&session, &LiveSession::promptRaised, [this](const link::Prompt &p) {
            events.push_back("prompt " + p.text.toStdString());
            pollingDuringPrompt.push_back(session.isPolling());
            writtenBeforePrompt.push_back(fake.device().writtenBytes());
            if (!answers.empty()) {
                session.answer(answers.front());
                answers.erase(answers.begin());
            }
        });
    }
    void send(const link::LiveReading &r)
    {
        const auto frame = link::EncodeLiveFrame(r);
        fake.device().queue({frame.begin(), frame.end()});
    }
    std::vector<std::uint8_t> written() { return fake.device().writtenBytes(); }

    // Heard from and started as the digital display starts it.
    bool listenAndStart()
    {
        listen();
        return session.start(kDigital).ok();
    }
    // One cycle that reads this frame.
    void cycleOn(const link::LiveReading &r)
    {
        send(r);
        session.cycle();
    }
};

link::LiveReading withStatus(int a, int b)
{
    link::LiveReading r;
    r.StatusA = static_cast<std::uint8_t>(a);
    r.StatusB = static_cast<std::uint8_t>(b);
    return r;
}

// ---- The prompt table ---------------------------------------------------------------------

struct ExpectedPrompt {
    PromptKind kind;
    const char *caption;
    const char *text;
    PromptIcon icon;
    PromptButtons buttons;
    std::uint8_t confirm, decline;
};
struct DecodeCase {
    const char *name;
    int statusA, statusB;
    std::vector<ExpectedPrompt> prompts;
    int zeroingAfter; // -1: the status never reads "Zeroing Sensors"
};

const char *const kLeak = "          LEAKTEST";
const char *const kZero = "           ZERO";
const char *const kHc = "           HC CHECK";
const ExpectedPrompt kFailed{
    PromptKind::LeakTestFailed, kLeak, "Leak test Failed ?", PromptIcon::Stop, PromptButtons::Ok, 0x06, 0x06};
const ExpectedPrompt kPassed{
    PromptKind::LeakTestPassed, kLeak, "Leak test Passed ?", PromptIcon::Information, PromptButtons::Ok, 0x06, 0x06};
const ExpectedPrompt kOffer{
    PromptKind::DoLeakTest, kLeak, "Do Leak test ?", PromptIcon::Question, PromptButtons::YesNo, 0x06, 0x05};
const ExpectedPrompt kReady{PromptKind::ReadyForLeakTest,
                            kLeak,
                            "Ready For Leak test ?",
                            PromptIcon::Question,
                            PromptButtons::YesNo,
                            0x06,
                            0x05};
const ExpectedPrompt kZeroPrompt{
    PromptKind::ReadyForZero, kZero, "READY FOR ZERO ?", PromptIcon::Question, PromptButtons::Ok, 0x06, 0x06};
const ExpectedPrompt kHcReady{
    PromptKind::HcCheckReady, kHc, "READY FOR HC RESIDUE CHECK ?", PromptIcon::Question, PromptButtons::Ok, 0x06, 0x06};
const ExpectedPrompt kHcDone{
    PromptKind::HcCheckDone, kHc, "HC RESIDUE CHECK DONE", PromptIcon::Question, PromptButtons::Ok, 0x06, 0x06};
const ExpectedPrompt kLowFlow{
    PromptKind::LowFlow, "      Low Flow", "  Low Flow   ", PromptIcon::Stop, PromptButtons::Ok, 0x06, 0x06};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, StatusBytesGiveThePromptsInOrder)
{
    const DecodeCase &c = GetParam();
    const link::StatusPrompts got = link::DecodeStatus(withStatus(c.statusA, c.statusB));
    ASSERT_EQ(got.prompts.size(), c.prompts.size());
    for (std::size_t i = 0; i < c.prompts.size(); ++i) {
        const ExpectedPrompt &e = c.prompts[i];
        const link::Prompt &p = got.prompts[i];
        EXPECT_EQ(p.kind, e.kind) << i;
        EXPECT_EQ(p.caption.toStdString(), e.caption) << i;
        EXPECT_EQ(p.text.toStdString(), e.text) << i;
        EXPECT_EQ(p.icon, e.icon) << i;
        EXPECT_EQ(p.buttons, e.buttons) << i;
        EXPECT_EQ(p.confirmReply, e.confirm) << i;
        EXPECT_EQ(p.declineReply, e.decline) << i;
    }
    EXPECT_EQ(got.zeroingAfter ? int(*got.zeroingAfter) : -1, c.zeroingAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Status, Decode,
    ::testing::Values(
        DecodeCase{"none", 0, 0, {}, -1}, DecodeCase{"powerUp", link::PowerUpCountdown, 0, {}, -1},
        DecodeCase{"pumpOnly", 0, link::PumpOn, {}, -1},
        DecodeCase{"leakFailed", link::LeakTestFailed, 0, {kFailed}, -1},
        DecodeCase{"failedWinsOverPassed", link::LeakTestFailed | link::LeakTestPassed, 0, {kFailed}, -1},
        DecodeCase{"passedHidesOfferAndReady",
                   link::LeakTestPassed | link::LeakTestOffer | link::LeakTestReady,
                   0,
                   {kPassed},
                   -1},
        DecodeCase{"offer", link::LeakTestOffer, 0, {kOffer}, -1},
        DecodeCase{"offerAndReady", link::LeakTestOffer | link::LeakTestReady, 0, {kOffer, kReady}, -1},
        DecodeCase{"zeroReady", link::ZeroReady, 0, {kZeroPrompt}, 1},
        DecodeCase{"zeroReadyWhileZeroing", link::ZeroReady, link::Zeroing, {kZeroPrompt}, 1},
        DecodeCase{"zeroingDuringPowerUp", link::PowerUpCountdown, link::Zeroing, {}, 0},
        DecodeCase{
            "zeroingAfterTheLeakOffer", link::LeakTestOffer, link::Zeroing | link::LowFlow, {kOffer, kLowFlow}, 1},
        DecodeCase{"hcReadyAndDone", link::HcCheckReady | link::HcCheckDone, 0, {kHcReady, kHcDone}, -1},
        DecodeCase{"lowFlow", 0, link::LowFlow, {kLowFlow}, -1},
        DecodeCase{"everything",
                   link::LeakTestPassed | link::ZeroReady | link::HcCheckReady | link::HcCheckDone,
                   link::Zeroing | link::LowFlow | link::PumpOn,
                   {kPassed, kZeroPrompt, kHcReady, kHcDone, kLowFlow},
                   2}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Prompts in a cycle: boxes, replies and the timer --------------------------------------

struct PromptCycleCase {
    const char *name;
    int statusA, statusB;
    std::vector<bool> answers;
    std::vector<std::string> events;
    std::vector<std::uint8_t> replies;
};
class PromptCycle : public ::testing::TestWithParam<PromptCycleCase> {};

TEST_P(PromptCycle, RepliesAfterEachBoxThenPolls)
{
    const PromptCycleCase &c = GetParam();
    Rig rig;
    ASSERT_TRUE(rig.listenAndStart());
    rig.answers = c.answers;
    rig.cycleOn(withStatus(c.statusA, c.statusB));

    EXPECT_EQ(rig.events, c.events);
    std::vector<std::uint8_t> expected{0x11};
    expected.insert(expected.end(), c.replies.begin(), c.replies.end());
    expected.push_back(0x11);
    EXPECT_EQ(rig.written(), expected);
    // Each reply goes out only once its box is answered, and no poll runs meanwhile.
    for (std::size_t i = 0; i < rig.writtenBeforePrompt.size(); ++i) {
        std::vector<std::uint8_t> before{0x11};
        before.insert(before.end(), c.replies.begin(), c.replies.begin() + static_cast<std::ptrdiff_t>(i));
        EXPECT_EQ(rig.writtenBeforePrompt[i], before) << i;
        EXPECT_FALSE(rig.pollingDuringPrompt[i]) << i;
    }
    EXPECT_TRUE(rig.session.isPolling());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PromptCycle,
    ::testing::Values(
        PromptCycleCase{"noPrompt", 0, link::PumpOn, {}, {"valid", "ready"}, {}},
        PromptCycleCase{"offerYes", link::LeakTestOffer, 0, {true}, {"valid", "prompt Do Leak test ?", "ready"}, {6}},
        PromptCycleCase{"offerNo", link::LeakTestOffer, 0, {false}, {"valid", "prompt Do Leak test ?", "ready"}, {5}},
        // An unanswered question gets the cautious reply.
        PromptCycleCase{
            "offerUnanswered", link::LeakTestOffer, 0, {}, {"valid", "prompt Do Leak test ?", "ready"}, {5}},
        PromptCycleCase{"offerYesReadyNo",
                        link::LeakTestOffer | link::LeakTestReady,
                        0,
                        {true, false},
                        {"valid", "prompt Do Leak test ?", "prompt Ready For Leak test ?", "ready"},
                        {6, 5}},
        // An OK box has one answer, whatever the view says.
        PromptCycleCase{
            "okBoxDeclined", link::LeakTestFailed, 0, {false}, {"valid", "prompt Leak test Failed ?", "ready"}, {6}},
        PromptCycleCase{"inOrder",
                        link::LeakTestOffer | link::ZeroReady | link::HcCheckReady,
                        link::LowFlow | link::PumpOn,
                        {},
                        {"valid", "prompt Do Leak test ?", "prompt READY FOR ZERO ?", "zeroing",
                         "prompt READY FOR HC RESIDUE CHECK ?", "prompt   Low Flow   ", "ready"},
                        {5, 6, 6, 6}},
        PromptCycleCase{"zeroingWithoutPrompt", 0, link::Zeroing, {}, {"valid", "zeroing", "ready"}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Cycle rules ------------------------------------------------------------------------

TEST(LiveSession, StartOpensThePortWaitsAndPolls)
{
    Rig rig;
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kDigital)));
    EXPECT_TRUE(rig.fake.port.PortOpen);
    ASSERT_EQ(rig.fake.device().written().size(), 1u);
    EXPECT_EQ(rig.fake.device().written()[0].byte, 0x11);
    EXPECT_EQ(rig.fake.device().written()[0].atMs, 2);
    EXPECT_TRUE(rig.session.isPolling());
    EXPECT_EQ(rig.session.period(), 2000);
    EXPECT_TRUE(rig.session.firstCycleDue());
    rig.session.stop();
    EXPECT_FALSE(rig.fake.port.PortOpen);
    EXPECT_FALSE(rig.fake.device().isOpen());
    EXPECT_FALSE(rig.session.isPolling());
    EXPECT_FALSE(rig.session.firstCycleDue());
}

TEST(LiveSession, FailedStartWritesNothingAndDoesNotPoll)
{
    Rig rig;
    rig.fake.prepare = [](test::FakeDevice &d) {
        d.failOpen = true;
        d.reason = QStringLiteral("Device or resource busy");
    };
    const Done started = rig.session.start(kDigital);
    EXPECT_EQ(qova::test::Said(started),
              QStringLiteral("COM1 (/dev/fake0): Device or resource busy ") + link::kConnectionFix);
    EXPECT_FALSE(rig.session.isActive());
    EXPECT_FALSE(rig.session.isPolling());
    EXPECT_TRUE(rig.fake.device().written().empty());
}

TEST(LiveSession, NoResponseAfterMoreThanThreeFailedFramesInARow)
{
    Rig rig;
    ASSERT_TRUE(rig.listenAndStart());
    rig.cycleOn(withStatus(0, 0));
    rig.events.clear();
    for (int cycle = 1; cycle <= 9; ++cycle)
        rig.session.cycle(); // the analyser stays silent
    EXPECT_EQ(rig.events,
              (std::vector<std::string>{"invalid 1", "invalid 2", "invalid 3", "invalid 4", "noResponse", "invalid 1",
                                        "invalid 2", "invalid 3", "invalid 4", "noResponse", "invalid 1"}));
    EXPECT_EQ(rig.session.failedFrames(), 1);
    EXPECT_TRUE(rig.session.isPolling());
    // Every cycle still asks for the next reading.
    EXPECT_EQ(rig.written(), std::vector<std::uint8_t>(11, 0x11));
}

TEST(LiveSession, AValidFrameStartsTheCountAfresh)
{
    Rig rig;
    ASSERT_TRUE(rig.listenAndStart());
    for (int i = 0; i < 3; ++i)
        rig.session.cycle();
    rig.cycleOn(withStatus(0, 0));
    for (int i = 0; i < 3; ++i)
        rig.session.cycle();
    EXPECT_EQ(std::count(rig.events.begin(), rig.events.end(), "noResponse"), 0);
    EXPECT_EQ(rig.session.failedFrames(), 3);
}

TEST(LiveSession, GraphSessionNeitherPromptsNorComplains)
{
    Rig rig;
    rig.listen();
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kGraph)));
    EXPECT_EQ(rig.session.period(), 3333);
    EXPECT_FALSE(rig.session.firstCycleDue());
    EXPECT_EQ(rig.fake.device().written()[0].atMs, 0); // no settling pause
    rig.cycleOn(withStatus(link::LeakTestOffer | link::ZeroReady, 0));
    for (int i = 0; i < 8; ++i)
        rig.session.cycle();
    EXPECT_EQ(rig.events[0], "valid");
    EXPECT_EQ(rig.events[1], "ready");
    EXPECT_EQ(std::count(rig.events.begin(), rig.events.end(), "noResponse"), 0);
    EXPECT_EQ(rig.written(), std::vector<std::uint8_t>(10, 0x11));
}

TEST(LiveSession, SendSkipsOnlyTheNextTick)
{
    Rig rig;
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kDigital)));
    EXPECT_TRUE(rig.session.send(link::kPumpCommand));
    rig.session.skipNextTick();
    rig.send(withStatus(0, link::PumpOn));
    const int reads = rig.fake.device().reads();
    rig.session.tick();
    EXPECT_EQ(rig.fake.device().reads(), reads);
    EXPECT_FALSE(rig.session.skipsNextTick());
    EXPECT_EQ(rig.written(), (std::vector<std::uint8_t>{0x11, 0x22}));
    rig.session.tick();
    EXPECT_GT(rig.fake.device().reads(), reads);
    EXPECT_EQ(rig.session.lastFrame().StatusB, link::PumpOn);
    EXPECT_EQ(rig.written(), (std::vector<std::uint8_t>{0x11, 0x22, 0x11}));
}

TEST(LiveSession, HoldAndResumeAroundTheCallersBox)
{
    Rig rig;
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kDigital)));
    rig.session.hold();
    EXPECT_FALSE(rig.session.isPolling());
    EXPECT_FALSE(rig.session.firstCycleDue());
    rig.session.resume();
    EXPECT_TRUE(rig.session.isPolling());
    // A box that outlasts the session never starts it polling again.
    rig.session.hold();
    rig.session.stop();
    rig.session.resume();
    EXPECT_FALSE(rig.session.isPolling());
}

// The graph's time axis counts periods; a coarse timer would run it up to 5 % fast.
TEST(LiveSession, PollsOnPreciseTimers)
{
    Rig rig;
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kDigital)));
    const auto timers = rig.session.findChildren<QTimer *>();
    ASSERT_EQ(timers.size(), 2);
    for (const QTimer *t : timers)
        EXPECT_EQ(t->timerType(), Qt::PreciseTimer);
}

TEST(LiveSession, PeriodChangesOnlyWhenItDiffers)
{
    Rig rig;
    ASSERT_TRUE(qova::test::Ok(rig.session.start(kGraph)));
    rig.session.setPeriod(3333);
    EXPECT_EQ(rig.session.period(), 3333);
    rig.session.setPeriod(5000);
    EXPECT_EQ(rig.session.period(), 5000);
    EXPECT_TRUE(rig.session.isPolling());
}

// The adapter is pulled out while polling, and plugged back in later.
TEST(LiveSession, VanishedPortReopensOncePerCycleQuietly)
{
    Rig rig;
    ASSERT_TRUE(rig.listenAndStart());
    rig.cycleOn(withStatus(0, 0));
    rig.session.cycle(); // not answered yet: a working port is never reopened
    ASSERT_EQ(rig.fake.devices.size(), 1u);

    rig.fake.device().close(); // as the serial device does on a vanished adapter
    rig.fake.prepare = [](test::FakeDevice &d) { d.failOpen = true; };
    rig.events.clear();
    for (int cycle = 1; cycle <= 5; ++cycle) {
        rig.session.cycle();
        EXPECT_EQ(rig.fake.devices.size(), std::size_t(1 + cycle)); // one attempt per cycle, no more
        EXPECT_TRUE(rig.fake.device().written().empty());
    }
    // The failed opens tell nobody; only the silence does, as for a silent analyser.
    EXPECT_EQ(rig.events, (std::vector<std::string>{"invalid 2", "invalid 3", "invalid 4", "noResponse", "invalid 1",
                                                    "invalid 2"}));
    EXPECT_FALSE(rig.fake.port.PortOpen);
    EXPECT_TRUE(rig.session.isPolling());

    rig.fake.prepare = nullptr; // plugged back in
    rig.session.cycle();
    EXPECT_TRUE(rig.fake.port.PortOpen);
    EXPECT_EQ(rig.written(), std::vector<std::uint8_t>{0x11});
    link::LiveReading r;
    r.Co = 150;
    rig.cycleOn(r);
    EXPECT_EQ(rig.fake.devices.size(), 7u);
    EXPECT_EQ(rig.session.lastFrame().Co, 150);
    EXPECT_EQ(rig.written(), (std::vector<std::uint8_t>{0x11, 0x11}));
    rig.session.stop();
    EXPECT_FALSE(rig.fake.device().isOpen());
}

TEST(LiveSession, StoppedDuringAPromptAsksNoMoreAndDoesNotPoll)
{
    Rig rig;
    ASSERT_TRUE(rig.listenAndStart());
    QObject::connect(&rig.session, &LiveSession::promptRaised, [&rig] { rig.session.stop(); });
    rig.cycleOn(withStatus(link::LeakTestOffer | link::ZeroReady, 0));
    EXPECT_EQ(rig.events, (std::vector<std::string>{"valid", "prompt Do Leak test ?"}));
    EXPECT_FALSE(rig.session.isPolling());
    // The port is closed, so the reply and the next poll go nowhere.
    EXPECT_EQ(rig.written(), std::vector<std::uint8_t>{0x11});
}

TEST(LiveSession, AStoppedSessionRunsNoCycle)
{
    Rig rig;
    rig.listen();
    rig.session.cycle();
    rig.session.tick();
    EXPECT_TRUE(rig.events.empty());
    EXPECT_TRUE(rig.fake.devices.empty());
}

} // namespace
