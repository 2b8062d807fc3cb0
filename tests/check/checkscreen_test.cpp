#include "check/checkscreen.h"
#include "tests/check/checkdrive.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;
using check::EmissionsCheck;
using check::Fuel;
using checkui::GasMark;
using test::Exhaust;

namespace {
link::LiveReading withStatus(std::uint8_t a, std::uint8_t b, std::uint8_t timeToZero = 0)
{
    link::LiveReading r = Exhaust(820);
    r.StatusA = a;
    r.StatusB = b;
    r.TimeToZero = timeToZero;
    return r;
}

std::string marks(const checkui::CheckScreen &s)
{
    std::string out;
    for (const auto &g : s.gases)
        out += g.mark == GasMark::Within ? 'w' : g.mark == GasMark::Outside ? 'X' : '-';
    return out;
}
} // namespace

// A check fed frames every `stepMs` up to `untilMs` (none when untilMs < 0), the screen
// taken at `untilMs` with the last frame fed.
struct ScreenCase {
    const char *name;
    const char *set;
    Fuel fuel;
    test::FrameScript script;
    std::int64_t untilMs;
    int stepMs;
    const char *step, *instruction, *detail;
    int secondsLeft; // -1: none
    int steadyPercent;
    bool offerPump, askWarm, gauge;
    const char *marks; // CO HC lambda rpm oil: w within, X outside, - no limit
    const char *gas0;  // the CO value shown
};

class Screen : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(Screen, ShowsWhatThePhaseAsks)
{
    const auto &c = GetParam();
    EmissionsCheck check(check::ShippedLimitSet(QString::fromLatin1(c.set)).value(), c.fuel);
    std::optional<link::LiveReading> last;
    // From the 3 s of clean air before time 0 that the scripts begin with.
    for (std::int64_t t = -check::CleanAirRule::kSpanMs; t <= c.untilMs; t += c.stepMs) {
        const auto frame = c.script(t);
        if (frame)
            last = frame;
        check.feed(t, frame);
    }
    const checkui::CheckScreen s = checkui::ScreenOf(check, std::max<std::int64_t>(0, c.untilMs), last);
    EXPECT_EQ(s.step.toStdString(), c.step);
    EXPECT_EQ(s.instruction.toStdString(), c.instruction);
    EXPECT_EQ(s.detail.toStdString(), c.detail);
    EXPECT_EQ(s.secondsLeft.value_or(-1), c.secondsLeft);
    EXPECT_EQ(s.steadyPercent, c.steadyPercent);
    EXPECT_EQ(s.offerPump, c.offerPump);
    EXPECT_EQ(s.askWarmConfirmation, c.askWarm);
    EXPECT_EQ(s.showGauge, c.gauge);
    EXPECT_EQ(marks(s), c.marks);
    ASSERT_EQ(s.gases.size(), 5u);
    EXPECT_EQ(s.gases[0].value.toStdString(), c.gas0);
}

namespace {
using Frame = std::optional<link::LiveReading>;
using test::CleanAirThen;
const test::FrameScript kFastIdle = CleanAirThen([](std::int64_t) { return Exhaust(2750, 5, 34); });
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Phases, Screen,
    ::testing::Values(
        ScreenCase{"NoFrameYet", "uk-1992-catalyst", Fuel::Petrol, [](std::int64_t) { return Frame(); }, -1, 1000,
                   "Analyser ready", "Probe in clean air", "Waiting for the analyser's first reading.", -1, 0, false,
                   false, false, "-----", "-"},
        ScreenCase{"PowerUpCountdown", "uk-1992-catalyst", Fuel::Petrol,
                   [](std::int64_t) { return Frame(withStatus(link::PowerUpCountdown, link::PumpOn, 12)); }, 0, 1000,
                   "Analyser ready", "Probe in clean air", "The analyser is warming up: 12 s to go.", 12, 0, false,
                   false, false, "-----", "0.20 %"},
        ScreenCase{"PromptPending", "uk-1992-catalyst", Fuel::Petrol,
                   [](std::int64_t) { return Frame(withStatus(link::ZeroReady, link::PumpOn)); }, 0, 1000,
                   "Analyser ready", "Probe in clean air", "The analyser is asking a question: answer it to go on.", -1,
                   0, false, false, false, "-----", "0.20 %"},
        ScreenCase{"Zeroing", "uk-1992-catalyst", Fuel::Petrol,
                   [](std::int64_t) { return Frame(withStatus(0, link::PumpOn | link::Zeroing)); }, 0, 1000,
                   "Analyser ready", "Probe in clean air", "The analyser is zeroing: keep the probe in clean air.", -1,
                   0, false, false, false, "-----", "0.20 %"},
        ScreenCase{"PumpOffOffersThePump", "uk-1992-catalyst", Fuel::Petrol,
                   [](std::int64_t) { return Frame(withStatus(0, 0)); }, 0, 1000, "Analyser ready",
                   "Probe in clean air", "The pump is off: press Pump to turn it on.", -1, 0, true, false, false,
                   "-----", "0.20 %"},
        // Oil 45 degC marked short of its 60; HC shown after the 4 ppm residual.
        ScreenCase{"ColdEngine", "uk-1992-catalyst", Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(820, 20, 54, 1000, 450); }), 2000, 1000,
                   "Engine warm", "Warm the engine: oil 45 °C, needs 60 °C",
                   "Put the probe in the tail pipe. Residual HC in clean air: 4 ppm, taken off every HC reading.", -1,
                   0, false, false, false, "----X", "0.20 %"},
        ScreenCase{"NoOilProbeAsksTheOperator", "uk-1992-catalyst", Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(820, 20, 54, 1000, 0); }), 2000, 1000, "Engine warm",
                   "Confirm the engine is at normal running temperature",
                   "Put the probe in the tail pipe. There is no oil probe: press Engine warm once it is.", -1, 0, false,
                   true, false, "-----", "0.20 %"},
        // At natural idle in the fast idle stage: every limit applies, rpm marked out.
        ScreenCase{"OutsideTheSpeedWindow", "uk-1992-catalyst", Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(820, 5, 34); }), 2000, 1000,
                   "Stage 1 of 2: fast idle", "Hold the engine at 2500 to 3000 rpm",
                   "Engine at 820 rpm: outside the window.", -1, 0, false, false, true, "wwwX-", "0.05 %"},
        ScreenCase{"SettlingCountsDown", "uk-1992-catalyst", Fuel::Petrol, kFastIdle, 3000, 1000,
                   "Stage 1 of 2: fast idle", "Hold the engine at 2500 to 3000 rpm", "Settling: 7 s to go.", 7, 0,
                   false, false, true, "wwww-", "0.05 %"},
        // Settled at 10 s; 2.5 s of good readings since.
        ScreenCase{"MeasuringShowsTheSteadyRun", "uk-1992-catalyst", Fuel::Petrol, kFastIdle, 12500, 500,
                   "Stage 1 of 2: fast idle", "Hold the engine at 2500 to 3000 rpm",
                   "Measuring: 2.5 of 5 s steady, 28 s left.", 28, 50, false, false, true, "wwww-", "0.05 %"},
        ScreenCase{"GasOutsideItsLimitIsMarked", "uk-1992-catalyst", Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(2750, 45, 34, 1060); }), 12500, 500,
                   "Stage 1 of 2: fast idle", "Hold the engine at 2500 to 3000 rpm",
                   "Measuring: 0.0 of 5 s steady, 28 s left.", 28, 0, false, false, true, "XwXw-", "0.45 %"},
        ScreenCase{"CngHasNoHcLimit", "uk-1992-catalyst", Fuel::Cng,
                   CleanAirThen([](std::int64_t) { return Exhaust(2750, 5, 900); }), 3000, 1000,
                   "Stage 1 of 2: fast idle", "Hold the engine at 2500 to 3000 rpm", "Settling: 7 s to go.", 7, 0,
                   false, false, true, "w-ww-", "0.05 %"},
        // HC 1500 at idle with CO right: after 10 s settling and 30 s measuring, HC again at 2000 rpm.
        ScreenCase{"HcRecheck", "uk-1986", Fuel::Petrol,
                   CleanAirThen([](std::int64_t) { return Exhaust(820, 100, 1504); }), 41000, 1000,
                   "Stage 1 of 1: natural idle, HC re-check", "HC re-check: hold the engine at 2000 rpm",
                   "Engine at 820 rpm: outside the window.", -1, 0, false, false, true, "-X-X-", "1.00 %"},
        ScreenCase{"FinishedShowsTheVerdict", "uk-1992-catalyst", Fuel::Petrol,
                   CleanAirThen([](std::int64_t t) { return Exhaust(t < 16000 ? 2750 : 820, 5, 34); }), 40000, 1000,
                   "Result", "PASS", "", -1, 0, false, false, false, "-----", "0.05 %"}),
    [](const auto &info) { return std::string(info.param.name); });

struct GaugeCase {
    const char *name;
    int width, minRpm, maxRpm, rpm;
    int scale, left, right, needle;
    std::size_t ticks;
};

class Gauge : public ::testing::TestWithParam<GaugeCase> {};

TEST_P(Gauge, PlacesTheWindowAndNeedle)
{
    const auto &c = GetParam();
    const checkui::GaugeGeometry g = checkui::GaugeLayout(c.width, c.minRpm, c.maxRpm, c.rpm);
    EXPECT_EQ(g.scaleMaxRpm, c.scale);
    EXPECT_EQ(g.windowLeft, c.left);
    EXPECT_EQ(g.windowRight, c.right);
    EXPECT_EQ(g.needle, c.needle);
    ASSERT_EQ(g.ticks.size(), c.ticks);
    EXPECT_EQ(g.ticks.front(), 0);
    EXPECT_EQ(g.ticks.back(), c.width > 1 ? c.width - 1 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, Gauge,
    ::testing::Values(GaugeCase{"UkFastIdle", 401, 2500, 3000, 2750, 4000, 250, 300, 275, 5},
                      GaugeCase{"NaturalIdle", 401, 450, 1500, 820, 4000, 45, 150, 82, 5},
                      GaugeCase{"AboveTheScaleStopsAtTheEnd", 401, 2000, 3000, 5200, 4000, 200, 300, 400, 5},
                      GaugeCase{"NegativeAtTheStart", 401, 2000, 3000, -50, 4000, 200, 300, 0, 5},
                      // 6000 and a quarter is 7500: the scale goes on to 8000.
                      GaugeCase{"WideWindowWidensTheScale", 801, 2000, 6000, 3000, 8000, 200, 600, 300, 9},
                      GaugeCase{"NoWidthStillDraws", 0, 2500, 3000, 2750, 4000, 0, 0, 0, 5}),
    [](const auto &info) { return std::string(info.param.name); });

// Where the operator's word on clean air is asked for, the residual waits for it: the
// readings before it (here exhaust, 54 ppm) are never taken as clean air.
TEST(CleanAir, TheResidualWaitsForTheOperatorsWord)
{
    check::CheckSettings settings;
    settings.askCleanAir = true;
    EmissionsCheck check(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value(), Fuel::Petrol, settings);
    check.feed(0, Exhaust(820, 20, 54));
    check.feed(1000, Exhaust(820, 20, 54));
    checkui::CheckScreen s = checkui::ScreenOf(check, 1000, Exhaust(820, 20, 54));
    EXPECT_EQ(s.step.toStdString(), "Analyser ready");
    EXPECT_EQ(s.instruction.toStdString(), "Probe in clean air");
    EXPECT_TRUE(s.askCleanAir);
    EXPECT_FALSE(check.state().residualHc.has_value());
    // A prompt in between goes back to waiting for the analyser, and the word still stands.
    check.confirmCleanAir();
    link::LiveReading prompt = withStatus(link::ZeroReady, link::PumpOn);
    check.feed(2000, prompt);
    EXPECT_EQ(check.state().phase, check::CheckPhase::WaitingForAnalyser);
    EXPECT_FALSE(check.state().residualHc.has_value());
    // Clean air is taken after 3 s of it once the analyser is ready again.
    const link::LiveReading air = test::CleanAir(6, 800, 820);
    for (std::int64_t t = 3000; t < 6000; t += 1000)
        check.feed(t, air);
    EXPECT_FALSE(check.state().residualHc.has_value());
    check.feed(6000, air);
    EXPECT_EQ(check.state().residualHc, 6);
    s = checkui::ScreenOf(check, 6000, air);
    EXPECT_FALSE(s.askCleanAir);
}

// A failed stage is said before the next one is run, and a value outside its limit says
// FAIL in words as well as in colour.
TEST(StageFailed, IsSaidBeforeTheNextStage)
{
    EmissionsCheck check(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value(), Fuel::Petrol);
    const test::FrameScript script =
        CleanAirThen([](std::int64_t t) { return t < 41000 ? Exhaust(2750, 5, 34, 1060) : Exhaust(820, 5, 34, 1000); });
    std::optional<link::LiveReading> last;
    std::int64_t t = -check::CleanAirRule::kSpanMs;
    for (; t <= 12000; t += 1000)
        check.feed(t, last = script(t));
    checkui::CheckScreen s = checkui::ScreenOf(check, t, last);
    EXPECT_EQ(s.stageFailed, QString());
    EXPECT_EQ(s.gases[2].word, QStringLiteral("FAIL"));
    EXPECT_EQ(s.gases[0].word, QStringLiteral("OK"));
    for (; t <= 43000; t += 1000)
        check.feed(t, last = script(t));
    s = checkui::ScreenOf(check, t, last);
    EXPECT_EQ(s.step, QStringLiteral("Stage 2 of 2: natural idle"));
    EXPECT_EQ(s.stageFailed, QStringLiteral("Fast idle failed: lambda 1.060 above 1.030"));
    EXPECT_EQ(s.gases[2].word, QString());
}
