// The session against a scripted adapter on a fake device, in virtual time: the recorded
// car, and every way an adapter or a clone lets the session down.
#include "obd/elmsession.h"
#include "tests/support/fakedevice.h"

#include <gtest/gtest.h>

#include <map>

namespace qova::obd {
namespace {

using namespace std::string_literals;

// An ELM327 as the emulator behaved (its replies and timings), with switches for what
// real adapters and clones do otherwise.
struct ScriptedAdapter {
    ScriptedAdapter(test::FakeDevice &d, link::Pause &c) : device(d), clock(c) {}
    test::FakeDevice &device;
    link::Pause &clock;

    int answersAtBaud = 38400; // silent (or garbled) at any other speed
    std::string beforeBanner;  // NUL bytes of some clones
    std::string banner = "ELM327 v1.5";
    bool ignoresEchoOff = false;
    bool ignoresLineFeedsOff = false;
    bool ignitionOff = false;
    // Replaces the answer to the n-th (from 1) sending of a command: the bytes to send,
    // prompt included or not, and when.
    std::function<std::optional<std::pair<std::string, int>>(const std::string &, int)> misbehave;

    // The recorded car, headers and spaces on.
    std::map<std::string, std::string> car{
        {"0100", "7E8 06 41 00 BE 3F A8 13 "},
        {"0120", "7E8 06 41 20 80 01 A0 01 "}, // no recording: 0140 follows, as the emulator has it
        {"0140", "7E8 06 41 40 44 CC 00 00 "}, // without 5C, as recorded
        {"0101", "7E8 06 41 01 00 07 A1 00 "},
        {"010C", "7E8 04 41 0C 41 C2 "},
        {"0105", "7E8 03 41 05 44 "},
        {"015C", "NO DATA"},
        {"0902", "7E8 10 14 49 02 01 4D 41 54 \r7E8 21 34 30 33 30 39 36 42 \r7E8 22 4E 4C 30 30 30 30 30 "},
        {"03", "7E8 02 43 00 "},
    };

    bool echo = true, lineFeeds = false, searched = false;
    std::string line;
    std::map<std::string, int> count;
    std::int64_t busyUntil = -1;
    int interruptions = 0; // bytes sent to it before its prompt

    void attach()
    {
        device.onWrite = [this](std::uint8_t b, test::FakeDevice &) { take(b); };
    }

    void reply(const std::string &cmd, std::string body, int delayMs)
    {
        std::string out = (echo ? cmd + "\r" : "") + body + "\r\r>";
        if (lineFeeds) {
            std::string withLf;
            for (char c : out)
                withLf += c == '\r' ? "\r\n"s : std::string(1, c);
            out = withLf;
        }
        send(out, delayMs);
    }

    void send(const std::string &bytes, int delayMs)
    {
        const auto at = clock.nowMs() + delayMs;
        device.queue(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), at);
        if (bytes.find('>') != std::string::npos)
            busyUntil = at;
    }

    void take(std::uint8_t b)
    {
        if (clock.nowMs() < busyUntil)
            ++interruptions;
        if (b != '\r') {
            line += static_cast<char>(b);
            return;
        }
        const std::string cmd = line;
        line.clear();
        if (device.baud != answersAtBaud)
            return;
        const int n = ++count[cmd];
        if (misbehave)
            if (auto special = misbehave(cmd, n)) {
                send(special->first, special->second);
                return;
            }
        if (cmd == "ATZ") {
            reply(cmd, beforeBanner + "\r\r" + banner, 553);
            echo = true;
            lineFeeds = false;
            searched = false;
        } else if (cmd == "ATE0") {
            reply(cmd, "OK", 2);
            echo = ignoresEchoOff;
        } else if (cmd == "ATL0") {
            lineFeeds = ignoresLineFeedsOff;
            reply(cmd, "OK", 2);
        } else if (cmd == "ATH1" || cmd == "ATSP0") {
            reply(cmd, "OK", 3);
        } else if (cmd.rfind("AT", 0) == 0) {
            reply(cmd, "?", 1);
        } else if (ignitionOff) {
            reply(cmd, searched ? "BUS INIT:ERROR" : "SEARCHING...\r\rUNABLE TO CONNECT", searched ? 300 : 4500);
            searched = true;
        } else if (auto it = car.find(cmd); it != car.end()) {
            const bool search = !searched;
            searched = true;
            reply(cmd, (search ? "SEARCHING...\r" : "") + it->second, search ? 1505 : 10);
        } else {
            reply(cmd, "NO DATA", 140);
        }
    }
};

struct SessionRow {
    const char *name;
    std::function<void(ScriptedAdapter &, test::FakeDevice &)> arrange;
    int runMs;
    ElmSession::State state;
    const char *problem; // part of the operator's message at the end; "" for none
    std::function<void(const ElmSession &, const ScriptedAdapter &)> check;
};

int sentCount(const ElmSession &s, const std::string &command)
{
    return static_cast<int>(
        std::count_if(s.sent().begin(), s.sent().end(), [&](const auto &x) { return x.command == command; }));
}

// A reading of the recorded car went through: everything the session reads is there.
void readsTheCar(const ElmSession &s, const ScriptedAdapter &)
{
    const auto &r = s.readings();
    ASSERT_TRUE(r.engineSpeed);
    EXPECT_EQ(r.engineSpeed->value, 4208.5);
    ASSERT_TRUE(r.coolant);
    EXPECT_EQ(r.coolant->value, 28);
    ASSERT_TRUE(r.vin);
    EXPECT_EQ(r.vin->value.text, QStringLiteral("MAT403096BNL00000"));
    EXPECT_TRUE(r.vin->value.trusted);
    ASSERT_TRUE(r.status);
    EXPECT_FALSE(r.status->value.lampOn);
    EXPECT_EQ(r.status->value.incomplete(), 0);
    ASSERT_TRUE(r.storedCodes);
    EXPECT_TRUE(r.storedCodes->value.empty());
}

class Session : public ::testing::TestWithParam<SessionRow> {};

TEST_P(Session, AgainstScriptedAdapter)
{
    const auto &row = GetParam();
    link::VirtualPause clock;
    auto owned = std::make_unique<test::FakeDevice>(clock);
    test::FakeDevice &device = *owned;
    ScriptedAdapter adapter(device, clock);
    adapter.attach();
    if (row.arrange)
        row.arrange(adapter, device);
    ElmSession session(std::move(owned), clock);
    session.start();
    for (int t = 0; t < row.runMs; t += 10) {
        session.tick();
        clock.sleepMs(10);
    }
    session.tick();
    EXPECT_EQ(StateName(session.state()), StateName(row.state));
    if (*row.problem)
        EXPECT_TRUE(session.problem().contains(QString::fromLatin1(row.problem))) << session.problem().toStdString();
    else
        EXPECT_TRUE(session.problem().isEmpty()) << session.problem().toStdString();
    // Strictly one command per prompt, whatever the adapter did.
    EXPECT_EQ(adapter.interruptions, 0);
    if (row.check)
        row.check(session, adapter);
}

INSTANTIATE_TEST_SUITE_P(
    Elm, Session,
    ::testing::Values(
        SessionRow{"recorded_car", nullptr, 12000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       readsTheCar(s, a);
                       ASSERT_GE(s.sent().size(), 6u);
                       const std::vector<std::string> setup{"ATZ", "ATE0", "ATL0", "ATH1", "ATSP0", "0100"};
                       for (std::size_t i = 0; i < setup.size(); ++i)
                           EXPECT_EQ(s.sent()[i].command, setup[i]);
                       EXPECT_EQ(s.baudRate(), 38400);
                       EXPECT_EQ(s.adapter(), QStringLiteral("ELM327 v1.5"));
                       // Oil is not in the car's bitmap: never asked, and unknown.
                       EXPECT_EQ(sentCount(s, "015C"), 0);
                       EXPECT_FALSE(s.readings().oil);
                       // About two engine speeds a second once reading (from about 2.1 s).
                       EXPECT_GE(sentCount(s, "010C"), 17);
                       EXPECT_LE(sentCount(s, "010C"), 21);
                   }},
        SessionRow{"oil_when_supported",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.car["0100"] = "7E8 06 41 00 BE 3F A8 13 "; // 0x20: 0120 follows
                       a.car["0120"] = "7E8 06 41 20 00 00 00 01 "; // 0x40: 0140 follows
                       a.car["0140"] = "7E8 06 41 40 00 00 00 10 "; // 0x5C
                       a.car["015C"] = "7E8 03 41 5C 7A ";
                   },
                   8000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       ASSERT_TRUE(s.readings().oil);
                       EXPECT_EQ(s.readings().oil->value, 82);
                   }},
        SessionRow{"silent_until_9600", [](ScriptedAdapter &a, test::FakeDevice &) { a.answersAtBaud = 9600; }, 12000,
                   ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(s.baudRate(), 9600);
                       readsTheCar(s, a);
                   }},
        SessionRow{"only_at_115200", [](ScriptedAdapter &a, test::FakeDevice &) { a.answersAtBaud = 115200; }, 15000,
                   ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &) { EXPECT_EQ(s.baudRate(), 115200); }},
        SessionRow{"silent_at_every_baud", [](ScriptedAdapter &a, test::FakeDevice &) { a.answersAtBaud = 0; }, 9500,
                   ElmSession::State::Closed, "does not answer at 38400, 9600, 115200 baud",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       EXPECT_EQ(sentCount(s, "ATZ"), 3);
                       EXPECT_FALSE(s.readings().engineSpeed);
                   }},
        SessionRow{"ignition_off", [](ScriptedAdapter &a, test::FakeDevice &) { a.ignitionOff = true; }, 20000,
                   ElmSession::State::NoCar, "BUS INIT:ERROR",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       EXPECT_GE(sentCount(s, "0100"), 2); // asked again, in case the ignition comes on
                       EXPECT_EQ(sentCount(s, "010C"), 0);
                       EXPECT_FALSE(s.readings().status);
                       EXPECT_FALSE(s.readings().engineSpeed);
                   }},
        SessionRow{"ignition_off_first_answer", [](ScriptedAdapter &a, test::FakeDevice &) { a.ignitionOff = true; },
                   7000, ElmSession::State::NoCar, "UNABLE TO CONNECT", nullptr},
        SessionRow{"echo_left_on", [](ScriptedAdapter &a, test::FakeDevice &) { a.ignoresEchoOff = true; }, 12000,
                   ElmSession::State::Reading, "", readsTheCar},
        SessionRow{"clone_banner_after_nul_bytes",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.beforeBanner = "\0\0\0\0"s;
                       a.banner = "ELM327 v2.1";
                   },
                   12000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(s.adapter(), QStringLiteral("ELM327 v2.1"));
                       readsTheCar(s, a);
                   }},
        SessionRow{"line_feeds_left_on", [](ScriptedAdapter &a, test::FakeDevice &) { a.ignoresLineFeedsOff = true; },
                   12000, ElmSession::State::Reading, "", readsTheCar},
        SessionRow{"several_ecus_lamp_on_in_second",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.car["0101"] = "7E8 06 41 01 00 07 A1 00 \r7E9 06 41 01 82 07 00 00 ";
                       a.car["03"] = "7E8 02 43 00 \r7E9 06 43 02 07 00 07 31 ";
                   },
                   12000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       ASSERT_TRUE(s.readings().status);
                       EXPECT_TRUE(s.readings().status->value.lampOn);
                       ASSERT_TRUE(s.readings().storedCodes);
                       EXPECT_EQ(s.readings().storedCodes->value, (std::vector<QString>{"P0700", "P0731"}));
                   }},
        SessionRow{"banner_mid_session_sets_up_again",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [&a](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n != 5)
                               return std::nullopt;
                           a.echo = true; // a fresh start: echo on, headers off
                           a.searched = false;
                           return std::pair{"\r\rELM327 v1.5\r\r>"s, 600};
                       };
                   },
                   15000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(sentCount(s, "ATE0"), 2);
                       EXPECT_EQ(sentCount(s, "ATH1"), 2);
                       EXPECT_EQ(sentCount(s, "ATZ"), 1);
                       readsTheCar(s, a);
                   }},
        SessionRow{"low_voltage_reset_sets_up_again",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [&a](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "0105" || n != 1)
                               return std::nullopt;
                           a.echo = true;
                           a.searched = false;
                           return std::pair{"\r\rLV RESET\r\r>"s, 900};
                       };
                   },
                   8000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       EXPECT_EQ(sentCount(s, "ATE0"), 2);
                       EXPECT_EQ(s.adapter(), QStringLiteral("ELM327 v1.5"));
                   }},
        SessionRow{"late_prompt_after_time_out",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n != 3)
                               return std::nullopt;
                           return std::pair{"7E8 04 41 0C 00 00 \r\r>"s, 6500};
                       };
                   },
                   12000, ElmSession::State::Reading, "0C did not come in time",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       // The late answer is not taken; the adapter went on without a reset.
                       ASSERT_TRUE(s.readings().engineSpeed);
                       EXPECT_EQ(s.readings().engineSpeed->value, 4208.5);
                       EXPECT_EQ(sentCount(s, "ATZ"), 1);
                   }},
        SessionRow{"no_prompt_at_all_resets",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n != 3)
                               return std::nullopt;
                           return std::pair{"7E8 04 41"s, 10};
                       };
                   },
                   20000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(sentCount(s, "ATZ"), 2);
                       readsTheCar(s, a);
                   }},
        SessionRow{"stopped_is_unknown_then_asked_again",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n < 2)
                               return std::nullopt;
                           return std::pair{"STOPPED\r\r>"s, 5};
                       };
                   },
                   8000, ElmSession::State::Reading, "STOPPED",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       EXPECT_FALSE(s.readings().engineSpeed);
                       EXPECT_TRUE(s.readings().coolant);
                   }},
        SessionRow{
            "buffer_full_vin_unknown",
            [](ScriptedAdapter &a, test::FakeDevice &) { a.car["0902"] = "7E8 10 14 49 02 01 4D 41 54 \rBUFFER FULL"; },
            8000, ElmSession::State::Reading, "BUFFER FULL",
            [](const ElmSession &s, const ScriptedAdapter &) { EXPECT_FALSE(s.readings().vin); }},
        SessionRow{"garbage_flood_without_prompt",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n != 2)
                               return std::nullopt;
                           return std::pair{std::string(20000, 'U'), 5};
                       };
                   },
                   20000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(sentCount(s, "ATZ"), 2);
                       readsTheCar(s, a);
                   }},
        SessionRow{"garbage_between_prompts_is_unreadable",
                   [](ScriptedAdapter &a, test::FakeDevice &) {
                       a.misbehave = [](const std::string &cmd, int) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "0105")
                               return std::nullopt;
                           return std::pair{"\x13\x88Z\x7f\xfe#\r\r>"s, 20};
                       };
                   },
                   8000, ElmSession::State::Reading, "0105 could not be used",
                   [](const ElmSession &s, const ScriptedAdapter &) {
                       EXPECT_FALSE(s.readings().coolant);
                       EXPECT_TRUE(s.readings().engineSpeed);
                   }},
        SessionRow{"unplugged_then_back",
                   [](ScriptedAdapter &a, test::FakeDevice &d) {
                       a.misbehave = [&d](const std::string &cmd, int n) -> std::optional<std::pair<std::string, int>> {
                           if (cmd != "010C" || n != 4)
                               return std::nullopt;
                           d.close();
                           return std::pair{""s, 0};
                       };
                   },
                   16000, ElmSession::State::Reading, "",
                   [](const ElmSession &s, const ScriptedAdapter &a) {
                       EXPECT_EQ(sentCount(s, "ATZ"), 2);
                       readsTheCar(s, a);
                   }}),
    [](const auto &info) { return std::string(info.param.name); });

// While the adapter is gone the readings are unknown, never the last ones seen.
TEST(Session, UnpluggedForgetsTheReadings)
{
    link::VirtualPause clock;
    auto owned = std::make_unique<test::FakeDevice>(clock);
    test::FakeDevice &device = *owned;
    ScriptedAdapter adapter(device, clock);
    adapter.attach();
    device.failOpen = false;
    ElmSession session(std::move(owned), clock);
    session.start();
    for (int t = 0; t < 5000; t += 10) {
        session.tick();
        clock.sleepMs(10);
    }
    ASSERT_TRUE(session.readings().engineSpeed);
    device.close();
    device.failOpen = true;
    session.tick();
    EXPECT_TRUE(session.problem().contains(QStringLiteral("/dev/fake0 went away"))) << session.problem().toStdString();
    EXPECT_FALSE(session.readings().engineSpeed);
    for (int t = 0; t < 8000; t += 10) {
        session.tick();
        clock.sleepMs(10);
    }
    EXPECT_EQ(session.state(), ElmSession::State::Closed);
    EXPECT_FALSE(session.readings().engineSpeed);
    EXPECT_FALSE(session.readings().vin);
    EXPECT_TRUE(session.problem().contains(QStringLiteral("could not be opened"))) << session.problem().toStdString();
}

} // namespace
} // namespace qova::obd
