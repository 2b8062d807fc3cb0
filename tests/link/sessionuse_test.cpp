#include "link/livesession.h"
#include "link/protocol.h"
#include "link/sessionuse.h"
#include "tests/support/coreapplication.h"
#include "tests/support/fakedevice.h"

#include <QObject>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace qova;
using link::LiveSession;
using link::SessionUse;

namespace {

// Each window's way of polling, as the windows ask for it.
const std::map<std::string, LiveSession::Options> kWindows{
    {"digital", {.periodMs = 2000, .firstCycleMs = 1000, .settleMs = 2, .prompts = true, .noResponseAfter = 3}},
    {"graph", {.periodMs = 1428}},
    {"check", {.periodMs = 1000, .firstCycleMs = 1000, .settleMs = 2, .prompts = true, .noResponseAfter = 3}},
};

// A window: its use of the session and what it told the operator.
struct Window {
    Window(const std::string &name, LiveSession &session, QStringList &told) : use(session)
    {
        const QString who = QString::fromStdString(name);
        use.listen(&LiveSession::promptRaised, &context,
                   [&told, who](const link::Prompt &p) { told << who + QStringLiteral(" asks ") + p.text; });
        use.listen(&LiveSession::noResponse, &context,
                   [&told, who] { told << who + QStringLiteral(" says no response"); });
    }
    QObject context;
    SessionUse use;
};

struct UseCase {
    const char *name;
    // Steps: "open W" / "close W" (W a window of kWindows), "resize W MS", "port fails",
    // "port works", "zero prompt" (the analyser asks for a zero), "silent" (four failed
    // frames), "stopped elsewhere".
    std::vector<std::string> steps;
    bool polling;
    int periodMs;     // when polling
    bool prompts;     // when polling
    QStringList told; // every box, in order
    int openDevices;  // devices opened and not closed again
};

void PrintTo(const UseCase &c, std::ostream *os)
{
    *os << c.name;
}

class Uses : public ::testing::TestWithParam<UseCase> {
protected:
    Uses() { test::CoreApplication("test_sessionuse"); }
    test::FakeLink fake;
    LiveSession session{fake.port};
    QStringList told;
    std::map<std::string, std::unique_ptr<Window>> windows;

    Window &window(const std::string &name)
    {
        auto &w = windows[name];
        if (!w)
            w = std::make_unique<Window>(name, session, told);
        return *w;
    }
    void run(const std::string &step)
    {
        const auto space = step.find(' ');
        const std::string verb = step.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : step.substr(space + 1);
        if (verb == "open") {
            Window &w = window(rest);
            if (const Done taken = w.use.take(kWindows.at(rest)); !taken.ok())
                told << QString::fromStdString(rest) + QStringLiteral(" failed on ") + taken.problem().what +
                            QStringLiteral(": ") + taken.problem().why;
        } else if (verb == "close") {
            window(rest).use.giveBack();
        } else if (verb == "resize") {
            const auto at = rest.find(' ');
            window(rest.substr(0, at)).use.setPeriod(std::stoi(rest.substr(at + 1)));
        } else if (step == "port fails" || step == "port works") {
            const bool fail = step == "port fails";
            fake.prepare = [fail](test::FakeDevice &d) { d.failOpen = fail; };
        } else if (step == "zero prompt") {
            link::LiveReading r;
            r.StatusA = link::ZeroReady;
            const auto frame = link::EncodeLiveFrame(r);
            fake.device().queue({frame.begin(), frame.end()});
            session.cycle();
        } else if (step == "silent") {
            for (int i = 0; i < 4; ++i)
                session.cycle();
        } else if (step == "stopped elsewhere") {
            session.stop();
        } else {
            FAIL() << "unknown step " << step;
        }
    }
    int openDevices() const
    {
        int open = 0;
        for (const auto &d : fake.devices)
            open += d->isOpen() ? 1 : 0;
        return open;
    }
};

TEST_P(Uses, SessionIsGivenBackAsItWas)
{
    const UseCase &c = GetParam();
    for (const std::string &step : c.steps)
        run(step);
    EXPECT_EQ(session.isActive(), c.polling);
    EXPECT_EQ(session.isPolling(), c.polling);
    if (c.polling) {
        EXPECT_EQ(session.period(), c.periodMs);
        EXPECT_EQ(session.options().prompts, c.prompts);
    }
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(openDevices(), c.openDevices);
}

const QString kFailedOnCom1 = QStringLiteral(" failed on COM1 (/dev/fake0): Permission denied");

INSTANTIATE_TEST_SUITE_P(
    LiveSession, Uses,
    ::testing::Values(
        UseCase{"AWindowThatStartedItStopsIt", {"open digital", "close digital"}, false, 0, false, {}, 0},
        UseCase{"AWindowClosedAgainLeavesTheNextOnesSession",
                {"open digital", "close digital", "open graph", "close digital"},
                true,
                1428,
                false,
                {},
                1},
        UseCase{"APortThatFailsNamesTheDeviceAndKeepsNothing",
                {"port fails", "open graph", "close graph"},
                false,
                0,
                false,
                {QStringLiteral("graph") + kFailedOnCom1},
                0},
        UseCase{"AFailedStartDoesNotBlockTheNextWindow",
                {"port fails", "open check", "close check", "port works", "open digital"},
                true,
                2000,
                true,
                {QStringLiteral("check") + kFailedOnCom1},
                1},
        UseCase{"TheLenderGetsItsWayBack", {"open graph", "open check", "close check"}, true, 1428, false, {}, 1},
        UseCase{"APromptIsAskedOnceByTheBorrower",
                {"open digital", "open check", "zero prompt"},
                true,
                1000,
                true,
                {QStringLiteral("check asks READY FOR ZERO ?")},
                1},
        UseCase{"TheLenderHearsAgainOnceGivenBack",
                {"open digital", "open check", "close check", "zero prompt", "silent"},
                true,
                2000,
                true,
                {QStringLiteral("digital asks READY FOR ZERO ?"), QStringLiteral("digital says no response")},
                1},
        UseCase{"ALenderResizedMeanwhileKeepsItsNewPeriod",
                {"open graph", "open check", "resize graph 2142", "close check"},
                true,
                2142,
                false,
                {},
                1},
        UseCase{"ClosedOutOfOrderTheFirstLenderGetsItsWayBack",
                {"open graph", "open digital", "open check", "close digital", "close check"},
                true,
                1428,
                false,
                {},
                1},
        UseCase{"AStoppedSessionIsNotRestartedOnGivingBack",
                {"open digital", "open check", "stopped elsewhere", "close check"},
                false,
                0,
                false,
                {},
                0},
        UseCase{"TheStarterClosingFirstStopsItForAll",
                {"open check", "open digital", "close check", "close digital"},
                false,
                0,
                false,
                {},
                0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
