// The simulated cars' OBD side, read by the program's own OBD session in virtual time.
#include "obd/elmsession.h"
#include "obd/obddecode.h"
#include "sim/demoanalyser.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"

#include <gtest/gtest.h>

namespace qova::sim {
namespace {

struct CarRow {
    ObdCar car;
    obd::ElmSession::State state;
    bool lamp;
    int incomplete;
    std::vector<QString> codes;
    const char *vin;
};

class ObdCarSession : public ::testing::TestWithParam<CarRow> {};

TEST_P(ObdCarSession, ReadByTheSession)
{
    const auto &row = GetParam();
    link::VirtualPause clock;
    auto analyser = std::make_shared<DemoAnalyser>();
    analyser->powerOn(0);
    obd::ElmSession::Options options;
    options.baudRates.clear(); // the demo has no line speed of its own
    obd::ElmSession session(std::make_unique<SimDevice>(clock, MakeObdCar(analyser, row.car)), clock, options);
    session.start();
    for (int t = 0; t < 15000; t += 20) {
        session.tick();
        clock.sleepMs(20);
    }
    ASSERT_EQ(obd::StateName(session.state()).toStdString(), obd::StateName(row.state).toStdString())
        << session.problem().toStdString();
    const auto &r = session.readings();
    if (row.state != obd::ElmSession::State::Reading) {
        EXPECT_TRUE(session.problem().contains(QStringLiteral("UNABLE TO CONNECT")) ||
                    session.problem().contains(QStringLiteral("BUS INIT")))
            << session.problem().toStdString();
        EXPECT_FALSE(r.engineSpeed);
        EXPECT_FALSE(r.status);
        return;
    }
    EXPECT_TRUE(session.problem().isEmpty()) << session.problem().toStdString();
    ASSERT_TRUE(r.status);
    EXPECT_EQ(r.status->value.lampOn, row.lamp);
    EXPECT_EQ(r.status->value.incomplete(), row.incomplete);
    EXPECT_EQ(r.status->value.storedCodes, static_cast<int>(row.codes.size()));
    ASSERT_TRUE(r.storedCodes);
    EXPECT_EQ(r.storedCodes->value, row.codes);
    ASSERT_TRUE(r.vin);
    EXPECT_EQ(r.vin->value.text, QString::fromLatin1(row.vin));
    EXPECT_TRUE(r.vin->value.trusted);
    ASSERT_TRUE(r.engineSpeed);
    EXPECT_NEAR(r.engineSpeed->value, 820, 1);
    ASSERT_TRUE(r.coolant);
    ASSERT_TRUE(r.oil);
    EXPECT_GT(r.coolant->value, r.oil->value); // the coolant warms first
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ObdCarSession,
    ::testing::Values(
        CarRow{ObdCar::Healthy, obd::ElmSession::State::Reading, false, 0, {}, "VF1DEMCAR00000001"},
        CarRow{ObdCar::LampOn, obd::ElmSession::State::Reading, true, 0, {"P0133", "P0420"}, "VF1DEMCAR00000002"},
        CarRow{ObdCar::NotReady, obd::ElmSession::State::Reading, false, 3, {}, "VF1DEMCAR00000003"},
        CarRow{ObdCar::IgnitionOff, obd::ElmSession::State::NoCar, false, 0, {}, ""}),
    [](const auto &info) {
        std::string name(ObdCarName(info.param.car));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// The car's engine speed and temperatures are the analyser's engine, as it idles and runs
// at 2750 rpm in turn and its oil warms.
TEST(ObdCarSession, FollowsTheAnalysersEngine)
{
    link::VirtualPause clock;
    auto analyser = std::make_shared<DemoAnalyser>();
    analyser->powerOn(0);
    obd::ElmSession::Options options;
    options.baudRates.clear();
    obd::ElmSession session(std::make_unique<SimDevice>(clock, MakeObdCar(analyser, ObdCar::Healthy)), clock, options);
    session.start();
    auto runTo = [&](std::int64_t ms) {
        while (clock.nowMs() < ms) {
            session.tick();
            clock.sleepMs(20);
        }
    };
    runTo(30000);
    ASSERT_TRUE(session.readings().engineSpeed);
    EXPECT_NEAR(session.readings().engineSpeed->value, 820, 1);
    const int coolantEarly = session.readings().coolant->value;
    runTo(55000);
    ASSERT_TRUE(session.readings().engineSpeed);
    EXPECT_NEAR(session.readings().engineSpeed->value, analyser->engineAt(clock.nowMs())->rpm, 60);
    EXPECT_GT(session.readings().engineSpeed->value, 2400);
    runTo(200000);
    EXPECT_GT(session.readings().coolant->value, coolantEarly);
}

// The adapter's forms without headers or spaces come apart into the same VIN.
struct FormRow {
    const char *name;
    const char *setup;
    bool headers;
};

class ObdCarForms : public ::testing::TestWithParam<FormRow> {};

TEST_P(ObdCarForms, VinInEveryForm)
{
    ElmCar car(ObdCar::Healthy, nullptr);
    std::int64_t now = 0;
    auto ask = [&](const std::string &command) {
        std::string got;
        for (char c : command + "\r")
            for (auto b : car.receive(static_cast<std::uint8_t>(c), now))
                got.push_back(static_cast<char>(b));
        now += 5000;
        for (auto b : car.unasked(now))
            got.push_back(static_cast<char>(b));
        EXPECT_EQ(got.back(), '>');
        return got.substr(0, got.size() - 1);
    };
    ask("ATZ");
    ask("ATE0");
    if (*GetParam().setup)
        ask(GetParam().setup);
    ask("0100");
    const auto reply = obd::ParseReply(ask("0902"), "0902");
    ASSERT_EQ(reply.failure, obd::ElmFailure::None);
    const auto framing = obd::FrameMessages(reply.lines, GetParam().headers);
    EXPECT_TRUE(framing.problem.isEmpty()) << framing.problem.toStdString();
    const auto vin = obd::DecodeVin(framing.messages);
    ASSERT_TRUE(vin.known()) << vin.problem.toStdString();
    EXPECT_EQ(vin.value->text, QString::fromStdString(car.vin()));
}

INSTANTIATE_TEST_SUITE_P(Sim, ObdCarForms,
                         ::testing::Values(FormRow{"no_headers_spaces", "", false},
                                           FormRow{"headers_spaces", "ATH1", true},
                                           FormRow{"no_headers_no_spaces", "ATS0", false}),
                         [](const auto &info) { return std::string(info.param.name); });

// While it answers, a byte sent to the adapter interrupts it.
TEST(ObdCarForms, ByteDuringAnswerStops)
{
    ElmCar car(ObdCar::Healthy, nullptr);
    for (char c : std::string("ATZ\r"))
        car.receive(static_cast<std::uint8_t>(c), 0);
    car.receive('A', 10);
    const auto out = car.unasked(10);
    EXPECT_EQ(std::string(out.begin(), out.end()), "STOPPED\r\r>");
}

} // namespace
} // namespace qova::sim
