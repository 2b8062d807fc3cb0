// A check run with the car's OBD adapter beside the analyser, in virtual time: a scripted
// adapter for the engine speed and the adapter's loss, the simulated cars' ELM327 for the
// verdict the diagnostics leave.
#include "check/checkrun.h"
#include "check/checkscreen.h"
#include "link/pause.h"
#include "sim/demoanalyser.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"
#include "tests/check/checkdrive.h"
#include "tests/support/okresult.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace qova;
using check::CheckRun;
using check::SpeedSource;
using check::Verdict;
using test::Exhaust;

namespace {

const QDateTime kStart{QDate(2026, 3, 2), QTime(9, 30)};
// The adapter's clock runs from another origin than the run's: ages, not times, carry over.
constexpr std::int64_t kSessionOffsetMs = 7000;

// One natural idle stage, 450 to 1500 rpm, CO 0.30 %, HC 200 ppm, with the OBD rule given.
check::LimitSet IdleSet(std::optional<check::ObdRule> rule)
{
    check::LimitSet s;
    s.id = QStringLiteral("obd-test");
    s.name = QStringLiteral("OBD test");
    s.stages.push_back({check::StageKind::NaturalIdle, 450, 1500, {30, 200, {}, {}}, {}});
    s.obd = rule;
    return s;
}

// Clean air until the analyser has taken it, then the engine's exhaust.
link::LiveReading FrameFor(const CheckRun &run, int rpm, int co = 20)
{
    const auto phase = run.check()->state().phase;
    const bool air = phase == check::CheckPhase::WaitingForAnalyser || phase == check::CheckPhase::WaitingForCleanAir;
    return air ? test::CleanAir(4, 800, rpm) : Exhaust(rpm, co, 40, 1000, 800);
}

// An expected note: empty for none, else its start.
bool NoteIs(const QString &note, const char *start)
{
    return *start == 0 ? note.isEmpty() : note.startsWith(QString::fromLatin1(start));
}

obd::MonitorStatus Ready()
{
    return {false, 0, false, {{obd::Monitor::Misfire, obd::Readiness::Complete}}};
}

class ObdRun {
public:
    explicit ObdRun(std::optional<check::ObdRule> rule = check::ObdRule{true, 1, true})
        : run(check::LimitLibrary{{IdleSet(rule)}, {}}, check::CheckSettings{},
              {[this] { return kStart.addMSecs(clock.nowMs()); }, nullptr, {}})
    {
        check::VehicleTyped v;
        v.registration = QStringLiteral("AB12CDE");
        v.firstUsed = QStringLiteral("2010-06-01");
        EXPECT_TRUE(run.takeVehicle(v).vehicle);
        EXPECT_TRUE(test::Ok(run.start(run.pick(0, {}), {})));
    }
    // The adapter as it stands now, reading the car, with a speed read `ageMs` ago.
    check::ObdSnapshot reading(std::optional<double> rpm, std::int64_t ageMs = 0) const
    {
        check::ObdSnapshot s;
        s.state = obd::ElmSession::State::Reading;
        s.adapter = QStringLiteral("ELM327 v1.5");
        s.nowMs = clock.nowMs() + kSessionOffsetMs;
        if (rpm)
            s.readings.engineSpeed = obd::Timed<double>{*rpm, s.nowMs - ageMs};
        return s;
    }
    // An idling engine's good exhaust after clean air, a frame a second, until the stages
    // are done or `untilMs`.
    void idle(std::int64_t untilMs, int analyserRpm = 820)
    {
        while (clock.nowMs() <= untilMs) {
            run.take(FrameFor(run, analyserRpm));
            if (run.check()->finished())
                return;
            clock.sleepMs(1000);
        }
    }

    link::VirtualPause clock;
    CheckRun run;
};

} // namespace

// Which engine speed a frame is judged by.
struct SpeedCase {
    const char *name;
    int analyserRpm;
    std::optional<double> carRpm;
    std::int64_t carAgeMs;
    int judgedRpm;
    SpeedSource source;
};

class EngineSpeedSource : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(EngineSpeedSource, TheAnalysersWhenItCountsElseAFreshCarReading)
{
    const auto &c = GetParam();
    ObdRun r;
    r.clock.sleepMs(3000);
    r.run.takeObd(r.reading(c.carRpm, c.carAgeMs));
    r.run.take(Exhaust(c.analyserRpm));
    ASSERT_TRUE(r.run.lastReading());
    EXPECT_EQ(r.run.lastReading()->Rpm, c.judgedRpm);
    EXPECT_EQ(r.run.speedSourceNow(), c.source);
    EXPECT_EQ(r.run.check()->state().trace.back().rpm, c.judgedRpm);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, EngineSpeedSource,
    ::testing::Values(SpeedCase{"AnalyserOnly", 2750, std::nullopt, 0, 2750, SpeedSource::Analyser},
                      SpeedCase{"CarOnly", 0, 2810.4, 500, 2810, SpeedSource::Obd},
                      SpeedCase{"BothTheAnalyserDecides", 2750, 2810, 0, 2750, SpeedSource::Analyser},
                      SpeedCase{"CarReadingJustFresh", 0, 830, 2000, 830, SpeedSource::Obd},
                      SpeedCase{"StaleCarReadingIsNone", 0, 830, 2001, 0, SpeedSource::None}),
    [](const auto &info) { return std::string(info.param.name); });

// The two counts apart by more than 10 % for 3 s on end.
struct DisagreementCase {
    const char *name;
    int analyserRpm;
    double carRpm;
    std::int64_t apartMs; // then they agree again, when `agreeAfter`
    bool agreeAfter;
    bool said;
};

class SpeedDisagreement : public ::testing::TestWithParam<DisagreementCase> {};

TEST_P(SpeedDisagreement, SaidOnlyAfterThreeSecondsApartUntilTheyAgree)
{
    const auto &c = GetParam();
    ObdRun r;
    const std::int64_t from = r.clock.nowMs();
    for (; r.clock.nowMs() <= from + c.apartMs; r.clock.sleepMs(100)) {
        r.run.takeObd(r.reading(c.carRpm));
        r.run.take(Exhaust(c.analyserRpm));
    }
    if (c.agreeAfter) {
        r.run.takeObd(r.reading(c.analyserRpm * 1.05));
        r.run.take(Exhaust(c.analyserRpm));
    }
    EXPECT_EQ(r.run.speedDisagreement().isEmpty(), !c.said) << r.run.speedDisagreement().toStdString();
    EXPECT_EQ(checkui::ScreenOf(r.run).speedDisagreement, r.run.speedDisagreement());
}

INSTANTIATE_TEST_SUITE_P(Spans, SpeedDisagreement,
                         ::testing::Values(DisagreementCase{"NinePercentNever", 2000, 2180, 10000, false, false},
                                           DisagreementCase{"ElevenPercentFor2900Ms", 2000, 2220, 2900, false, false},
                                           DisagreementCase{"ElevenPercentFor3000Ms", 2000, 2220, 3000, false, true},
                                           DisagreementCase{"CarBelowTheAnalyser", 2000, 1780, 3000, false, true},
                                           DisagreementCase{"AgreeingAgainClears", 2000, 2220, 5000, true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SpeedDisagreement, NamesBothCounts)
{
    ObdRun r;
    for (int i = 0; i <= 40; ++i, r.clock.sleepMs(100)) {
        r.run.takeObd(r.reading(2950));
        r.run.take(Exhaust(2480));
    }
    EXPECT_EQ(r.run.speedDisagreement(),
              QStringLiteral("The analyser counts 2480 rpm, the car 2950 rpm: check the engine-speed pick-up."));
}

// The adapter going during the check: the analyser alone from then on, and no pass on what
// the rule needed and did not get.
struct LostCase {
    const char *name;
    bool readoutFirst; // the status and the codes were read before the adapter went
    Verdict overall;
    const char *note; // the result's note, its start
};

class AdapterLost : public ::testing::TestWithParam<LostCase> {};

TEST_P(AdapterLost, TheCheckGoesOnWithTheAnalyserAlone)
{
    const auto &c = GetParam();
    ObdRun r;
    check::ObdSnapshot s = r.reading(820.0);
    if (c.readoutFirst) {
        s.readings.status = obd::Timed<obd::MonitorStatus>{Ready(), s.nowMs};
        s.readings.storedCodes = obd::Timed<std::vector<QString>>{{}, s.nowMs};
    }
    r.run.takeObd(s);
    r.clock.sleepMs(500);
    check::ObdSnapshot gone = r.reading(820.0);
    gone.state = obd::ElmSession::State::Closed;
    gone.problem = QStringLiteral("The OBD adapter /dev/ttyUSB1 is gone (unplugged?).");
    r.run.takeObd(gone);
    ASSERT_FALSE(r.run.ended());
    // Its last engine speed was fresh, but a lost adapter counts nothing.
    r.run.take(test::CleanAir(4, 800, 0));
    EXPECT_EQ(r.run.speedSourceNow(), SpeedSource::None);
    const checkui::CheckScreen screen = checkui::ScreenOf(r.run);
    ASSERT_TRUE(screen.obd);
    EXPECT_TRUE(screen.obd->lost);
    EXPECT_TRUE(screen.obd->adapter.contains(QStringLiteral("goes on with the analyser alone")));
    r.idle(60000);
    EXPECT_TRUE(r.run.ended()) << "a lost adapter is not waited for";
    EXPECT_LT(r.clock.nowMs(), 25000);
    const check::CheckRecord &rec = *r.run.record();
    ASSERT_TRUE(rec.obd);
    EXPECT_EQ(rec.obd->lost, gone.problem);
    EXPECT_EQ(rec.state.overall, c.overall);
    EXPECT_TRUE(NoteIs(r.run.result().note, c.note)) << r.run.result().note.toStdString();
    EXPECT_EQ(rec.speedSource, SpeedSource::Analyser);
}

INSTANTIATE_TEST_SUITE_P(
    When, AdapterLost,
    ::testing::Values(LostCase{"BeforeTheReadout", false, Verdict::NotCompleted,
                               "The car's diagnostics could not be read: monitor status not read: The OBD adapter "
                               "/dev/ttyUSB1 is gone"},
                      LostCase{"AfterTheReadout", true, Verdict::Pass, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// Stages done before the car's status was read: the run waits for it, for a bounded time.
struct ReadoutWaitCase {
    const char *name;
    std::optional<std::int64_t> readAfterMs; // after the stages; none: never
    Verdict overall;
    std::int64_t endedAfterMs;
};

class ReadoutWait : public ::testing::TestWithParam<ReadoutWaitCase> {};

TEST_P(ReadoutWait, TheRunWaitsForTheCarThenJudges)
{
    const auto &c = GetParam();
    ObdRun r;
    r.run.takeObd(r.reading(820.0));
    r.idle(60000);
    ASSERT_TRUE(r.run.check()->finished());
    ASSERT_TRUE(r.run.readingCar());
    EXPECT_EQ(checkui::ScreenOf(r.run).instruction, QStringLiteral("Reading the car's diagnostics"));
    const std::int64_t stagesEnded = r.clock.nowMs();
    while (!r.run.ended() && r.clock.nowMs() < stagesEnded + 120000) {
        r.clock.sleepMs(500);
        if (c.readAfterMs && r.clock.nowMs() >= stagesEnded + *c.readAfterMs) {
            check::ObdSnapshot s = r.reading(820.0);
            s.readings.status = obd::Timed<obd::MonitorStatus>{Ready(), s.nowMs};
            s.readings.storedCodes = obd::Timed<std::vector<QString>>{{}, s.nowMs};
            r.run.takeObd(s);
        }
        r.run.tick();
    }
    ASSERT_TRUE(r.run.ended());
    EXPECT_EQ(r.clock.nowMs() - stagesEnded, c.endedAfterMs);
    EXPECT_EQ(r.run.record()->state.overall, c.overall) << r.run.record()->state.notCompletedReason.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Waits, ReadoutWait,
                         ::testing::Values(ReadoutWaitCase{"ReadInTime", 12000, Verdict::Pass, 12000},
                                           ReadoutWaitCase{"NeverRead", std::nullopt, Verdict::NotCompleted, 30000}),
                         [](const auto &info) { return std::string(info.param.name); });

// A status read before the check started is another moment's car: it does not count.
TEST(ReadoutWait, AStatusFromBeforeTheCheckIsNotTheReadout)
{
    ObdRun r;
    check::ObdSnapshot s = r.reading(820.0);
    s.readings.status = obd::Timed<obd::MonitorStatus>{Ready(), s.nowMs - 1};
    s.readings.storedCodes = obd::Timed<std::vector<QString>>{{}, s.nowMs - 1};
    r.run.takeObd(s);
    r.idle(60000);
    EXPECT_TRUE(r.run.readingCar());
}

// Whole checks against the simulated cars' adapters: the gases pass, the diagnostics decide.
struct SimCarCase {
    const char *name;
    sim::ObdCar car;
    std::optional<check::ObdRule> rule;
    int co; // 0.01 %; over 30 fails the gases
    Verdict overall;
    const char *note;
};

class SimulatedCar : public ::testing::TestWithParam<SimCarCase> {};

namespace {
// The run beside a simulated car's adapter, the session ticked as the program's timer does,
// the analyser's frame once a second at `analyserRpm`, until the run ends; `onFrame` after each.
void RunWithCar(ObdRun &r, sim::ObdCar car, int analyserRpm, int co, const std::function<void()> &onFrame = {})
{
    auto analyser = std::make_shared<sim::DemoAnalyser>();
    analyser->powerOn(0);
    obd::ElmSession::Options options;
    options.baudRates.clear();
    obd::ElmSession session(std::make_unique<sim::SimDevice>(r.clock, sim::MakeObdCar(analyser, car)), r.clock,
                            options);
    session.onChange = [&] { r.run.takeObd(check::SnapshotOf(session)); };
    session.start();
    for (std::int64_t nextFrame = 0; !r.run.ended() && r.clock.nowMs() < 120000; r.clock.sleepMs(20)) {
        session.tick();
        if (r.clock.nowMs() >= nextFrame) {
            r.run.take(FrameFor(r.run, analyserRpm, co));
            nextFrame += 1000;
            if (onFrame)
                onFrame();
        }
        r.run.tick();
    }
}
} // namespace

TEST_P(SimulatedCar, TheVerdictWithTheCarsDiagnostics)
{
    const auto &c = GetParam();
    ObdRun r(c.rule);
    RunWithCar(r, c.car, 820, c.co);
    ASSERT_TRUE(r.run.ended());
    const check::CheckRecord &rec = *r.run.record();
    EXPECT_EQ(rec.state.overall, c.overall) << rec.state.notCompletedReason.toStdString();
    EXPECT_TRUE(NoteIs(r.run.result().note, c.note)) << r.run.result().note.toStdString();
    ASSERT_TRUE(rec.obd);
    EXPECT_TRUE(rec.obd->lost.isEmpty()) << rec.obd->lost.toStdString();
    if (c.car != sim::ObdCar::IgnitionOff) {
        EXPECT_TRUE(rec.obd->adapter.startsWith(QStringLiteral("ELM327"))) << rec.obd->adapter.toStdString();
        ASSERT_TRUE(rec.obd->vin.known());
        EXPECT_TRUE(rec.obd->vin.value->trusted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cars, SimulatedCar,
    ::testing::Values(
        SimCarCase{"HealthyPasses", sim::ObdCar::Healthy, check::ObdRule{true, 1, true}, 20, Verdict::Pass, ""},
        SimCarCase{"LampOnFails", sim::ObdCar::LampOn, check::ObdRule{true, {}, false}, 20, Verdict::Fail,
                   "The car's diagnostics failed it: warning lamp commanded on"},
        SimCarCase{"StoredCodesFail", sim::ObdCar::LampOn, check::ObdRule{false, {}, true}, 20, Verdict::Fail,
                   "The car's diagnostics failed it: stored codes: P0133, P0420"},
        SimCarCase{"NotReadyIsNotCompleted", sim::ObdCar::NotReady, check::ObdRule{false, 1, false}, 20,
                   Verdict::NotCompleted, "Not ready for test: 3 monitors incomplete"},
        SimCarCase{"IgnitionOffIsNeverAPass", sim::ObdCar::IgnitionOff, check::ObdRule{true, {}, false}, 20,
                   Verdict::NotCompleted, "The car's diagnostics could not be read: monitor status"},
        SimCarCase{"LampOnOnlyRecorded", sim::ObdCar::LampOn, std::nullopt, 20, Verdict::Pass, ""},
        SimCarCase{"GasesFailHealthyCar", sim::ObdCar::Healthy, check::ObdRule{true, 1, true}, 90, Verdict::Fail, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// Without an engine-speed pick-up the stages are run on the car's count, and the record says so.
TEST(SimulatedCar, NoPickUpTheCarsCountDecides)
{
    ObdRun r;
    QString caption;
    RunWithCar(r, sim::ObdCar::Healthy, 0, 20, [&] {
        if (const checkui::CheckScreen screen = checkui::ScreenOf(r.run); screen.showGauge)
            caption = screen.speedSource;
    });
    ASSERT_TRUE(r.run.ended());
    EXPECT_EQ(r.run.record()->state.overall, Verdict::Pass);
    EXPECT_EQ(r.run.record()->speedSource, SpeedSource::Obd);
    EXPECT_EQ(caption, QStringLiteral("engine speed from the car (OBD)"));
    EXPECT_NEAR(r.run.record()->state.stages.front().window.rpm.mean, 820, 2);
}

// The operator's word on the dashboard's warning lamp: asked once, with an adapter, under a
// set that does not fail the car's lamp; kept beside the car's, never deciding the verdict.
struct DashboardRunCase {
    const char *name;
    std::optional<check::ObdRule> rule;
    bool adapter;
    bool carLampOn;
    bool asked;
    std::optional<bool> answer; // what the operator presses; none: nothing
    std::optional<bool> kept;   // in the record
    Verdict overall;
    const char *finding; // the result's, empty for none
};

class DashboardLampRun : public ::testing::TestWithParam<DashboardRunCase> {};

TEST_P(DashboardLampRun, AskedOnlyWhereTheSetLooksAtTheDashboard)
{
    const auto &c = GetParam();
    ObdRun r(c.rule);
    auto readout = [&] {
        check::ObdSnapshot s = r.reading(820.0);
        s.readings.status = obd::Timed<obd::MonitorStatus>{
            {c.carLampOn, 0, false, {{obd::Monitor::Misfire, obd::Readiness::Complete}}}, s.nowMs};
        s.readings.storedCodes = obd::Timed<std::vector<QString>>{{}, s.nowMs};
        return s;
    };
    if (c.adapter)
        r.run.takeObd(readout());
    r.idle(4000);
    ASSERT_TRUE(r.run.running());
    EXPECT_EQ(r.run.asksDashboardLamp(), c.asked);
    const checkui::CheckScreen before = checkui::ScreenOf(r.run);
    EXPECT_EQ(before.obd && before.obd->askDashboardLamp, c.asked);
    if (c.answer)
        r.run.confirmDashboardLamp(*c.answer);
    // Asked once: a second press changes nothing.
    if (c.answer)
        r.run.confirmDashboardLamp(!*c.answer);
    EXPECT_EQ(r.run.asksDashboardLamp(), c.asked && !c.answer);
    if (c.kept) {
        EXPECT_EQ(checkui::ScreenOf(r.run).obd->dashboardLamp, *c.kept ? QStringLiteral("on") : QStringLiteral("off"));
    }
    if (c.adapter)
        r.run.takeObd(readout());
    r.idle(60000);
    ASSERT_TRUE(r.run.ended());
    const check::CheckRecord &rec = *r.run.record();
    EXPECT_EQ(rec.obd.has_value(), c.adapter);
    if (rec.obd) {
        EXPECT_EQ(rec.obd->dashboardLamp, c.kept);
    }
    EXPECT_EQ(rec.state.overall, c.overall) << rec.state.notCompletedReason.toStdString();
    const check::CheckResult result = r.run.result();
    EXPECT_EQ(result.obd ? result.obd->lampFinding : QString(), QString::fromLatin1(c.finding));
}

namespace {
const check::ObdRule kLampFails{true, 1, true};
constexpr const char *kOnButOff = "the car commands the warning lamp on but the dashboard shows it off: check the lamp";
} // namespace

INSTANTIATE_TEST_SUITE_P(Sets, DashboardLampRun,
                         ::testing::Values(DashboardRunCase{"UkSetWithAdapterAgrees", std::nullopt, true, false, true,
                                                            false, false, Verdict::Pass, ""},
                                           DashboardRunCase{"UkSetLampOnDashboardOffStillPasses", std::nullopt, true,
                                                            true, true, false, false, Verdict::Pass, kOnButOff},
                                           DashboardRunCase{"UkSetNotAnswered", std::nullopt, true, true, true,
                                                            std::nullopt, std::nullopt, Verdict::Pass, ""},
                                           DashboardRunCase{"UkSetWithoutAdapter", std::nullopt, false, false, false,
                                                            true, std::nullopt, Verdict::Pass, ""},
                                           DashboardRunCase{"EuSetFailsTheCarsLampAndAsksNothing", kLampFails, true,
                                                            true, false, false, std::nullopt, Verdict::Fail, ""}),
                         [](const auto &info) { return std::string(info.param.name); });
