#include "check/checkscreen.h"

#include "check/checkresult.h"
#include "display/texts.h"

#include <algorithm>
#include <cmath>

namespace qova::checkui {

namespace {

using check::CheckPhase;

using check::LambdaText;
using check::PercentText;
using check::PpmText;

QString celsius(int tenths)
{
    return check::CelsiusText(tenths, 0);
}

int secondsUp(std::int64_t ms)
{
    return static_cast<int>((std::max<std::int64_t>(0, ms) + 999) / 1000);
}

bool inStage(CheckPhase phase)
{
    return phase == CheckPhase::WaitingForSpeed || phase == CheckPhase::Settling || phase == CheckPhase::Measuring;
}

GasMark markOf(bool limited, bool within)
{
    if (!limited)
        return GasMark::NoLimit;
    return within ? GasMark::Within : GasMark::Outside;
}

using display::Quantity;
using display::SpokenValue;
using display::SpokenWithout;

struct MarkWords {
    QString outside, within;
};
const MarkWords kLimitWords{QStringLiteral("FAIL"), QStringLiteral("OK")};

// The mark in words as well as colour, for an operator who cannot tell the colours apart,
// and the same said aloud after the value.
GasShown shown(const QString &name, const QString &value, const QString &spoken, GasMark mark = GasMark::NoLimit,
               const MarkWords &words = kLimitWords)
{
    const QString word = mark == GasMark::Outside ? words.outside : mark == GasMark::Within ? words.within : QString();
    return {name, value, mark, word, word.isEmpty() ? spoken : spoken + QStringLiteral(", ") + word};
}

std::vector<GasShown> gasesOf(const check::EmissionsCheck &check, const std::optional<link::LiveReading> &last)
{
    if (!last) {
        const QString none = QStringLiteral("no reading");
        return {shown(QStringLiteral("CO"), QStringLiteral("-"), SpokenWithout(Quantity::Co, none)),
                shown(QStringLiteral("HC"), QStringLiteral("-"), SpokenWithout(Quantity::Hc, none)),
                shown(QStringLiteral("Lambda"), QStringLiteral("-"), SpokenWithout(Quantity::Lambda, none)),
                shown(QStringLiteral("RPM"), QStringLiteral("-"), SpokenWithout(Quantity::EngineSpeed, none)),
                shown(QStringLiteral("Oil"), QStringLiteral("-"), SpokenWithout(Quantity::OilCelsius, none))};
    }
    const check::CheckState &s = check.state();
    const int co = last->Co;
    const int hc = std::max(0, last->Hc - s.residualHc.value_or(0));
    const int lam = check::EmissionsCheck::LambdaThousandths(*last);
    const bool judged = check.limits().metered && inStage(s.phase);
    const check::GasLimits &l = check.activeStage().limits;
    const check::EmissionsCheck::GasesGood good = check::EmissionsCheck::JudgeGases(l, check.fuel(), co, hc, lam);
    const bool hcLimited = l.hcMax.has_value() && check::HcLimitApplies(check.fuel());
    const bool rpmLimited = inStage(s.phase);
    const check::StageLimits &stage = check.activeStage();
    const bool rpmWithin = last->Rpm >= stage.minRpm && last->Rpm <= stage.maxRpm;
    const bool oilLimited = s.phase == CheckPhase::WaitingForWarmEngine;
    const bool oilProbe = check::EmissionsCheck::HasOilProbe(*last);
    return {
        shown(QStringLiteral("CO"), PercentText(co), SpokenValue(Quantity::Co, co / 100.0),
              markOf(judged && l.coMax, good.co)),
        shown(QStringLiteral("HC"), PpmText(hc), SpokenValue(Quantity::Hc, hc), markOf(judged && hcLimited, good.hc)),
        shown(QStringLiteral("Lambda"), LambdaText(lam), SpokenValue(Quantity::Lambda, lam / 1000.0),
              markOf(judged && (l.lambdaMin || l.lambdaMax), good.lambda)),
        shown(QStringLiteral("RPM"), QString::number(last->Rpm), SpokenValue(Quantity::EngineSpeed, last->Rpm),
              markOf(rpmLimited, rpmWithin), {QStringLiteral("OUT OF WINDOW"), QStringLiteral("IN WINDOW")}),
        shown(QStringLiteral("Oil"), oilProbe ? celsius(last->OilTemp) : QStringLiteral("no probe"),
              oilProbe ? SpokenValue(Quantity::OilCelsius, last->OilTemp / 10.0, 0)
                       : SpokenWithout(Quantity::OilCelsius, QStringLiteral("no probe")),
              markOf(oilLimited, last->OilTemp >= check.settings().oilWarmTenths),
              {QStringLiteral("COLD"), QStringLiteral("WARM")}),
    };
}

// Why the analyser cannot start the check yet, in the order the operator can act on it.
void notReady(CheckScreen &screen, const std::optional<link::LiveReading> &last)
{
    screen.instruction = QStringLiteral("Probe in clean air");
    if (!last) {
        screen.detail = QStringLiteral("Waiting for the analyser's first reading.");
        return;
    }
    if (last->StatusA & link::PowerUpCountdown) {
        screen.secondsLeft = last->TimeToZero;
        screen.detail = QStringLiteral("The analyser is warming up: %1 s to go.").arg(last->TimeToZero);
    } else if (last->StatusA != 0) {
        screen.detail = QStringLiteral("The analyser is asking a question: answer it to go on.");
    } else if (last->StatusB & link::Zeroing) {
        screen.detail = QStringLiteral("The analyser is zeroing: keep the probe in clean air.");
    } else if (!(last->StatusB & link::PumpOn)) {
        screen.detail = QStringLiteral("The pump is off: press Pump to turn it on.");
        screen.offerPump = true;
    } else {
        screen.detail = QStringLiteral("The HC read now is kept as the residual of the sample line.");
    }
}

// The last stage run, when it failed: said until the check ends, so the operator knows
// before the next stage why the car will not pass.
QString lastFailure(const check::EmissionsCheck &check)
{
    const check::CheckState &s = check.state();
    if (s.stages.empty())
        return {};
    return check::StageOutcomeOf(check.limits(), check.fuel(), check.settings(), s, s.stages.size() - 1, false).failure;
}

QString stepOf(const check::EmissionsCheck &check)
{
    const check::CheckState &s = check.state();
    switch (s.phase) {
    case CheckPhase::WaitingForAnalyser:
    case CheckPhase::WaitingForCleanAir:
        return QStringLiteral("Analyser ready");
    case CheckPhase::WaitingForWarmEngine:
    case CheckPhase::WaitingForWarmConfirmation:
        return QStringLiteral("Engine warm");
    case CheckPhase::Finished:
        return QStringLiteral("Result");
    default:
        break;
    }
    const auto count = check.limits().stages.size();
    QString step = QStringLiteral("Stage %1 of %2: %3")
                       .arg(s.stage + 1)
                       .arg(count)
                       .arg(check::StageName(check.limits().stages[static_cast<std::size_t>(s.stage)].kind));
    if (s.recheckingHc)
        step += QStringLiteral(", HC re-check");
    return step;
}

} // namespace

QString SpeedInstruction(const check::StageLimits &stage)
{
    return QStringLiteral("Hold the engine at %1 to %2 rpm").arg(stage.minRpm).arg(stage.maxRpm);
}

CheckScreen ScreenOf(const check::EmissionsCheck &check, std::int64_t nowMs,
                     const std::optional<link::LiveReading> &last)
{
    CheckScreen screen;
    const check::CheckState &s = check.state();
    const check::CheckSettings &settings = check.settings();
    screen.step = stepOf(check);
    screen.gases = gasesOf(check, last);
    screen.stageFailed = lastFailure(check);
    screen.pumpEnabled = s.phase == CheckPhase::WaitingForAnalyser || s.phase == CheckPhase::WaitingForCleanAir;
    const QString residual = s.residualHc ? QStringLiteral("Residual HC in clean air: %1 ppm, taken off every HC "
                                                           "reading.")
                                                .arg(*s.residualHc)
                                          : QString();
    switch (s.phase) {
    case CheckPhase::WaitingForAnalyser:
        notReady(screen, last);
        return screen;
    case CheckPhase::WaitingForCleanAir:
        screen.instruction = QStringLiteral("Probe in clean air");
        if (!s.cleanAirRefused.isEmpty()) {
            screen.detail = QStringLiteral("Not clean air: %1. Take the probe out of the exhaust, wait until the "
                                           "readings fall and press Clean air HC again.")
                                .arg(s.cleanAirRefused);
        } else {
            screen.detail = QStringLiteral("Hold the probe in clean air, away from the exhaust, and press Clean air "
                                           "HC: the HC it reads is kept as the residual.");
        }
        screen.askCleanAir = true;
        return screen;
    case CheckPhase::WaitingForWarmEngine:
        screen.instruction = QStringLiteral("Warm the engine: oil %1, needs %2")
                                 .arg(celsius(last ? last->OilTemp : 0), celsius(settings.oilWarmTenths));
        screen.detail = QStringLiteral("Put the probe in the tail pipe. ") + residual;
        return screen;
    case CheckPhase::WaitingForWarmConfirmation:
        screen.instruction = QStringLiteral("Confirm the engine is at normal running temperature");
        screen.detail =
            QStringLiteral("Put the probe in the tail pipe. There is no oil probe: press Engine warm once it is.");
        screen.askWarmConfirmation = true;
        return screen;
    case CheckPhase::Finished:
        screen.instruction = check::OverallWord(s.overall, false);
        screen.detail = s.notCompletedReason;
        return screen;
    default:
        break;
    }

    const check::StageLimits &stage = check.activeStage();
    screen.instruction =
        s.recheckingHc ? QStringLiteral("HC re-check: hold the engine at %1 rpm").arg((stage.minRpm + stage.maxRpm) / 2)
                       : SpeedInstruction(stage);
    screen.showGauge = true;
    screen.rpm = last ? last->Rpm : 0;
    screen.windowMinRpm = stage.minRpm;
    screen.windowMaxRpm = stage.maxRpm;
    // The needle's colour tells inside from outside; said aloud, in words.
    screen.spokenGauge =
        (last ? SpokenValue(Quantity::EngineSpeed, screen.rpm)
              : SpokenWithout(Quantity::EngineSpeed, QStringLiteral("no reading"))) +
        QStringLiteral(", %1 the window of %2 to %3 rpm")
            .arg(last && screen.rpm >= stage.minRpm && screen.rpm <= stage.maxRpm ? QStringLiteral("inside")
                                                                                  : QStringLiteral("outside"))
            .arg(stage.minRpm)
            .arg(stage.maxRpm);
    const check::EmissionsCheck::Progress p = check.progress(nowMs);
    if (s.phase == CheckPhase::WaitingForSpeed) {
        screen.detail = QStringLiteral("Engine at %1 rpm: outside the window.").arg(screen.rpm);
    } else if (s.phase == CheckPhase::Settling) {
        screen.secondsLeft = secondsUp(settings.settleMs - p.settledMs);
        screen.detail = QStringLiteral("Settling: %1 s to go.").arg(*screen.secondsLeft);
    } else {
        screen.steadyPercent = static_cast<int>(std::min<std::int64_t>(100, p.goodRunMs * 100 / settings.passWindowMs));
        screen.secondsLeft = secondsUp(settings.measureMs - p.measuredMs);
        screen.detail = QStringLiteral("Measuring: %1 of %2 s steady, %3 s left.")
                            .arg(p.goodRunMs / 1000.0, 0, 'f', 1)
                            .arg(settings.passWindowMs / 1000)
                            .arg(*screen.secondsLeft);
    }
    return screen;
}

CheckPageFonts CheckPageFontsFor(int height)
{
    // A sans serif capital stands about 0.73 of the font's pixel size; 0.70 leaves margin.
    auto forCapitals = [height](double share) { return static_cast<int>(std::ceil(height * share / 0.70)); };
    return {std::max(24, forCapitals(0.06)), std::max(18, forCapitals(0.04)), std::max(16, height / 40)};
}

namespace {

QString speedSourceCaption(check::SpeedSource source)
{
    switch (source) {
    case check::SpeedSource::Analyser:
        return QStringLiteral("engine speed from the analyser");
    case check::SpeedSource::Obd:
        return QStringLiteral("engine speed from the car (OBD)");
    case check::SpeedSource::None:
        break;
    }
    return QStringLiteral("no engine speed from the analyser or the car");
}

ObdPanel panelOf(const check::CheckRun &run, const check::ObdPart &part)
{
    ObdPanel panel;
    const QString adapter = part.adapter.isEmpty() ? QStringLiteral("OBD adapter") : part.adapter;
    const QString notYet = QStringLiteral("not read yet");
    if (!part.lost.isEmpty()) {
        panel.lost = true;
        panel.adapter =
            QStringLiteral("OBD adapter lost: %1 The check goes on with the analyser alone.").arg(part.lost);
    } else if (run.obdState()) {
        panel.adapter = QStringLiteral("%1: %2").arg(adapter, obd::StateName(*run.obdState()));
        if (*run.obdState() != obd::ElmSession::State::Reading && !run.obdProblem().isEmpty())
            panel.adapter += QStringLiteral(". ") + run.obdProblem();
    }
    const auto &status = part.readout.status;
    panel.lamp = !status.known() ? notYet : status.value->lampOn ? QStringLiteral("ON") : QStringLiteral("off");
    const auto &codes = part.readout.codes;
    if (codes.known()) {
        panel.codes = codes.value->empty()
                          ? QStringLiteral("none")
                          : QStringLiteral("%1 stored: %2")
                                .arg(codes.value->size())
                                .arg(QStringList(codes.value->begin(), codes.value->end()).join(QStringLiteral(", ")));
    } else if (status.known() && status.value->storedCodes > 0) {
        panel.codes = QStringLiteral("%1 stored, the codes not read yet").arg(status.value->storedCodes);
    } else {
        panel.codes = notYet;
    }
    if (status.known())
        for (const obd::MonitorReadiness &m : status.value->monitors)
            panel.monitors.emplace_back(obd::MonitorName(m.monitor), obd::ReadinessName(m.readiness));
    panel.askDashboardLamp = run.asksDashboardLamp();
    if (part.dashboardLamp)
        panel.dashboardLamp = *part.dashboardLamp ? QStringLiteral("on") : QStringLiteral("off");
    return panel;
}

} // namespace

CheckScreen ScreenOf(const check::CheckRun &run)
{
    if (!run.check())
        return {};
    const check::EmissionsCheck &check = *run.check();
    CheckScreen screen = ScreenOf(check, run.nowMs(), run.lastReading());
    if (!run.record() || !run.record()->obd)
        return screen;
    const check::ObdPart &part = *run.record()->obd;
    screen.obd = panelOf(run, part);
    if (screen.showGauge) {
        screen.speedSource = speedSourceCaption(run.speedSourceNow());
        screen.spokenGauge += QStringLiteral(", ") + screen.speedSource;
    }
    screen.speedDisagreement = run.speedDisagreement();
    const check::WarmSource warming = check.warmingBy();
    const check::EmissionsCheck::CarTemperatures &car = check.carTemperatures();
    if (check.state().phase == CheckPhase::WaitingForWarmEngine && warming == check::WarmSource::ObdOil &&
        car.oilTenths) {
        screen.instruction = QStringLiteral("Warm the engine: oil %1 (from the car), needs %2")
                                 .arg(celsius(*car.oilTenths), celsius(check.settings().oilWarmTenths));
    } else if (check.state().phase == CheckPhase::WaitingForWarmEngine && warming == check::WarmSource::ObdCoolant &&
               car.coolantTenths) {
        screen.instruction = QStringLiteral("Warm the engine: coolant %1 (from the car), needs %2")
                                 .arg(celsius(*car.coolantTenths), celsius(check.limits().warmCoolantC * 10));
    }
    if (run.readingCar()) {
        screen.step = QStringLiteral("Reading the car's diagnostics");
        screen.instruction = QStringLiteral("Reading the car's diagnostics");
        screen.detail = QStringLiteral("The stages are done. Waiting up to %1 s more for the warning lamp, the "
                                       "readiness monitors and the stored codes.")
                            .arg(secondsUp(run.obdWaitLeftMs()));
        screen.showGauge = false;
    }
    return screen;
}

GaugeGeometry GaugeLayout(int width, int windowMinRpm, int windowMaxRpm, int rpm)
{
    GaugeGeometry g;
    // A quarter beyond the window's top, in whole thousands, so the window never sits at the edge.
    const int wanted = windowMaxRpm + windowMaxRpm / 4;
    g.scaleMaxRpm = std::max(4000, (wanted + 999) / 1000 * 1000);
    const int span = std::max(1, width - 1);
    auto x = [&](int value) {
        const auto clamped = static_cast<std::int64_t>(std::clamp(value, 0, g.scaleMaxRpm));
        return static_cast<int>(clamped * span / g.scaleMaxRpm);
    };
    g.windowLeft = x(windowMinRpm);
    g.windowRight = x(windowMaxRpm);
    g.needle = x(rpm);
    for (int r = 0; r <= g.scaleMaxRpm; r += 1000)
        g.ticks.push_back(x(r));
    return g;
}

} // namespace qova::checkui
