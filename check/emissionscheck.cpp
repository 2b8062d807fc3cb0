#include "check/emissionscheck.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace qova::check {

EmissionsCheck::EmissionsCheck(LimitSet limits, Fuel fuel, CheckSettings settings)
    : limits_(std::move(limits)), fuel_(fuel), settings_(settings)
{
    if (limits_.stages.empty())
        state_.phase = CheckPhase::Finished;
}

int EmissionsCheck::LambdaThousandths(const link::LiveReading &r)
{
    if (!(r.ModeFlags & link::AfrMode))
        return r.Efficiency;
    // The analyser made its AFR from lambda with the ratio of the fuel it is set to, so
    // that ratio, not the vehicle's, turns it back.
    const int ratio = StoichiometricAfrTenths(FuelFromCode(r.FuelCode));
    const int scaled = r.Efficiency * 100;
    return (scaled + (scaled >= 0 ? ratio / 2 : -ratio / 2)) / ratio;
}

bool EmissionsCheck::AnalyserReady(const link::LiveReading &r)
{
    return r.StatusA == 0 && (r.StatusB & link::PumpOn) && !(r.StatusB & link::Zeroing);
}

EmissionsCheck::Progress EmissionsCheck::progress(std::int64_t nowMs) const
{
    Progress p;
    if (state_.phase == CheckPhase::Settling)
        p.settledMs = std::clamp<std::int64_t>(nowMs - phaseSinceMs_, 0, settings_.settleMs);
    if (state_.phase == CheckPhase::Measuring) {
        p.settledMs = settings_.settleMs;
        p.measuredMs =
            std::min<std::int64_t>(measuredMs_ + std::max<std::int64_t>(0, nowMs - phaseSinceMs_), settings_.measureMs);
        if (!run_.empty())
            p.goodRunMs = run_.back().atMs - run_.front().atMs;
    }
    return p;
}

void EmissionsCheck::confirmEngineWarm()
{
    warmConfirmed_ = true;
    if (state_.phase == CheckPhase::WaitingForWarmConfirmation) {
        state_.warmConfirmedByOperator = true;
        state_.warmSource = WarmSource::Operator;
        enterStage(0);
    }
}

EmissionsCheck::Sample EmissionsCheck::sampleOf(std::int64_t nowMs, const link::LiveReading &r) const
{
    return {nowMs, r.Co, std::max(0, r.Hc - state_.residualHc.value_or(0)), LambdaThousandths(r), r.Rpm};
}

EmissionsCheck::GasesGood EmissionsCheck::JudgeGases(const GasLimits &l, Fuel fuel, int co, int hc, int lambda)
{
    GasesGood g;
    g.co = !l.coMax || co <= *l.coMax;
    g.hc = !HcLimitApplies(fuel) || !l.hcMax || hc <= *l.hcMax;
    g.lambda = (!l.lambdaMin || lambda >= *l.lambdaMin) && (!l.lambdaMax || lambda <= *l.lambdaMax);
    return g;
}

EmissionsCheck::GasesGood EmissionsCheck::judge(const Sample &s) const
{
    if (!limits_.metered)
        return {};
    return JudgeGases(stage().limits, fuel_, s.co, s.hc, s.lambda);
}

void EmissionsCheck::enterStage(int index)
{
    state_.stage = index;
    state_.phase = CheckPhase::WaitingForSpeed;
    state_.recheckingHc = false;
    active_ = limits_.stages[static_cast<std::size_t>(index)];
    stepSinceMs_.reset();
    beforeRecheck_.clear();
    measuredMs_ = 0;
    run_.clear();
    measured_.clear();
    out_.clear();
}

void EmissionsCheck::startRecheck(std::vector<Sample> idleWindow)
{
    const HcRecheck r = *active_.recheck;
    beforeRecheck_ = std::move(idleWindow);
    StageLimits recheck;
    recheck.kind = active_.kind;
    recheck.minRpm = r.minRpm;
    recheck.maxRpm = r.maxRpm;
    recheck.limits.hcMax = r.hcMax;
    active_ = recheck; // no re-check of the re-check
    state_.recheckingHc = true;
    state_.phase = CheckPhase::WaitingForSpeed;
    stepSinceMs_.reset();
    measuredMs_ = 0;
    run_.clear();
    measured_.clear();
    out_.clear();
}

WindowSummary EmissionsCheck::summarise(const std::vector<Sample> &window)
{
    WindowSummary w;
    if (window.empty())
        return w;
    w.fromMs = window.front().atMs;
    w.toMs = window.back().atMs;
    w.readings = static_cast<int>(window.size());
    auto fill = [&](GasSummary &g, auto value, auto worse) {
        double sum = 0;
        g.worst = value(window.front());
        for (const Sample &s : window) {
            sum += value(s);
            if (worse(value(s), g.worst))
                g.worst = value(s);
        }
        g.mean = sum / static_cast<double>(window.size());
    };
    auto higher = [](int a, int b) { return a > b; };
    fill(
        w.co, [](const Sample &s) { return s.co; }, higher);
    fill(
        w.hc, [](const Sample &s) { return s.hc; }, higher);
    fill(
        w.rpm, [](const Sample &s) { return s.rpm; }, higher);
    fill(
        w.lambda, [](const Sample &s) { return s.lambda; },
        [](int a, int b) { return std::abs(a - 1000) > std::abs(b - 1000); });
    return w;
}

void EmissionsCheck::finishStage(Verdict verdict, const std::vector<Sample> &window, QString reason)
{
    StageResult result;
    result.kind = limits_.stages[static_cast<std::size_t>(state_.stage)].kind;
    result.verdict = verdict;
    result.reason = std::move(reason);
    result.rechecked = state_.recheckingHc;
    if (state_.recheckingHc) {
        result.window = summarise(beforeRecheck_);
        if (!window.empty())
            result.recheckWindow = summarise(window);
        if (verdict == Verdict::Fail)
            result.gasesOut = QStringList{QStringLiteral("HC")};
    } else {
        result.window = summarise(window);
        if (verdict == Verdict::Fail)
            result.gasesOut = out_;
    }
    state_.stages.push_back(result);

    if (state_.stage + 1 < static_cast<int>(limits_.stages.size())) {
        enterStage(state_.stage + 1);
        return;
    }
    state_.phase = CheckPhase::Finished;
    state_.recheckingHc = false;
    const bool failed = std::any_of(state_.stages.begin(), state_.stages.end(),
                                    [](const StageResult &r) { return r.verdict == Verdict::Fail; });
    state_.overall = failed ? Verdict::Fail : limits_.metered ? Verdict::Pass : Verdict::Recorded;
}

void EmissionsCheck::measure(std::int64_t nowMs, const std::optional<Sample> &sample)
{
    if (sample) {
        measured_.push_back(*sample);
        const GasesGood g = judge(*sample);
        auto note = [this](bool good, const char *gas) {
            if (!good && !out_.contains(QLatin1String(gas)))
                out_ << QString::fromLatin1(gas);
        };
        note(g.co, "CO");
        note(g.hc, "HC");
        note(g.lambda, "lambda");
        if (g.all()) {
            run_.push_back(*sample);
            if (run_.back().atMs - run_.front().atMs >= settings_.passWindowMs) {
                const Verdict v = limits_.metered ? Verdict::Pass : Verdict::Recorded;
                const QString steady = limits_.metered ? QStringLiteral("every reading within its limits for %1 s")
                                                       : QStringLiteral("every reading valid and steady for %1 s");
                finishStage(v, run_, steady.arg(settings_.passWindowMs / 1000.0));
                return;
            }
        } else {
            breakRun();
        }
    } else {
        breakRun();
    }

    if (measuredMs_ + (nowMs - phaseSinceMs_) >= settings_.measureMs)
        expire(nowMs);
}

void EmissionsCheck::expire(std::int64_t nowMs)
{
    std::vector<Sample> last;
    for (const Sample &s : measured_)
        if (s.atMs >= nowMs - settings_.passWindowMs)
            last.push_back(s);
    const bool hcAlone = out_ == QStringList{QStringLiteral("HC")};
    if (hcAlone && stage().recheck) {
        // Unburnt fuel that collects at idle (a sooty plug, a rich moment) is cleared at a
        // higher speed, so an engine whose CO is right gets its HC judged there.
        startRecheck(std::move(last));
        return;
    }
    const double seconds = settings_.measureMs / 1000.0;
    if (!limits_.metered) {
        finishStage(Verdict::Recorded, last,
                    QStringLiteral("the readings did not stay steady for %1 s").arg(settings_.passWindowMs / 1000.0));
        return;
    }
    finishStage(Verdict::Fail, last,
                out_.isEmpty()
                    ? QStringLiteral("no %1 s of steady valid readings in %2 s of measuring")
                          .arg(settings_.passWindowMs / 1000.0)
                          .arg(seconds)
                    : QStringLiteral("%1 out of limits in %2 s of measuring").arg(out_.join(", ")).arg(seconds));
}

void EmissionsCheck::leaveWindow(std::int64_t nowMs)
{
    breakRun();
    switch (state_.phase) {
    case CheckPhase::Measuring:
        measuredMs_ += nowMs - phaseSinceMs_;
        state_.phase = CheckPhase::WaitingForSpeed;
        if (measuredMs_ >= settings_.measureMs)
            expire(nowMs);
        break;
    case CheckPhase::Settling:
        state_.phase = CheckPhase::WaitingForSpeed;
        break;
    default:
        break;
    }
}

void EmissionsCheck::endNotCompleted(QString reason)
{
    state_.phase = CheckPhase::Finished;
    state_.overall = Verdict::NotCompleted;
    state_.recheckingHc = false;
    state_.notCompletedReason = std::move(reason);
}

void EmissionsCheck::tick(std::int64_t nowMs)
{
    if (finished())
        return;
    if (!stepSinceMs_)
        stepSinceMs_ = nowMs;
    const std::int64_t waited = nowMs - *stepSinceMs_;
    auto minutes = [](int ms) { return QString::number(ms / 60000.0, 'g', 3); };
    switch (state_.phase) {
    case CheckPhase::WaitingForAnalyser:
    case CheckPhase::WaitingForCleanAir:
        if (waited >= settings_.readyTimeoutMs)
            endNotCompleted(
                QStringLiteral("the analyser was not ready with the probe in clean air within %1 min%2")
                    .arg(minutes(settings_.readyTimeoutMs), state_.cleanAirRefused.isEmpty()
                                                                ? QString()
                                                                : QStringLiteral(" (%1)").arg(state_.cleanAirRefused)));
        break;
    case CheckPhase::WaitingForWarmEngine:
    case CheckPhase::WaitingForWarmConfirmation:
        if (waited >= settings_.warmTimeoutMs)
            endNotCompleted(
                state_.phase == CheckPhase::WaitingForWarmConfirmation
                    ? QStringLiteral("the engine was not confirmed warm within %1 min")
                          .arg(minutes(settings_.warmTimeoutMs))
                : warmWaitedOn_ == WarmSource::ObdCoolant
                    ? QStringLiteral("the engine did not reach %1 °C coolant temperature (read from "
                                     "the car) within %2 min")
                          .arg(limits_.warmCoolantC)
                          .arg(minutes(settings_.warmTimeoutMs))
                    : QStringLiteral("the engine did not reach %1 °C oil temperature%2 within %3 min")
                          .arg(settings_.oilWarmTenths / 10.0)
                          .arg(warmWaitedOn_ == WarmSource::ObdOil ? QStringLiteral(" (read from the car)") : QString())
                          .arg(minutes(settings_.warmTimeoutMs)));
        break;
    case CheckPhase::WaitingForSpeed:
    case CheckPhase::Settling:
    case CheckPhase::Measuring:
        if (waited >= settings_.stageTimeoutMs) {
            const StageLimits &at = stage();
            endNotCompleted(QStringLiteral("%1%2: the engine was not held at %3 to %4 rpm long enough to measure "
                                           "within %5 min")
                                .arg(StageName(limits_.stages[static_cast<std::size_t>(state_.stage)].kind),
                                     state_.recheckingHc ? QStringLiteral(", HC re-check") : QString())
                                .arg(at.minRpm)
                                .arg(at.maxRpm)
                                .arg(minutes(settings_.stageTimeoutMs)));
        }
        break;
    case CheckPhase::Finished:
        break;
    }
}

bool EmissionsCheck::engineWarm(const link::LiveReading &frame)
{
    // The probe in the oil is the analyser's own measurement and outranks the car's
    // sensors; the car's oil reads the same thing as the probe, its coolant runs ahead of
    // the oil and so has a minimum of its own.
    struct Source {
        WarmSource source;
        std::optional<int> tenths;
        int minimumTenths;
    };
    const Source sources[] = {
        {WarmSource::OilProbe, HasOilProbe(frame) ? std::optional<int>(frame.OilTemp) : std::nullopt,
         settings_.oilWarmTenths},
        {WarmSource::ObdOil, car_.oilTenths, settings_.oilWarmTenths},
        {WarmSource::ObdCoolant, car_.coolantTenths, limits_.warmCoolantC * 10},
    };
    for (const Source &s : sources) {
        if (!s.tenths)
            continue;
        warmWaitedOn_ = s.source;
        if (*s.tenths < s.minimumTenths) {
            state_.phase = CheckPhase::WaitingForWarmEngine;
            return false;
        }
        if (s.source == WarmSource::OilProbe)
            state_.warmOilTenths = s.tenths;
        state_.warmSource = s.source;
        state_.warmTenths = s.tenths;
        return true;
    }
    if (!warmConfirmed_) {
        state_.phase = CheckPhase::WaitingForWarmConfirmation;
        return false;
    }
    state_.warmConfirmedByOperator = true;
    state_.warmSource = WarmSource::Operator;
    return true;
}

bool EmissionsCheck::takeCleanAir(std::int64_t nowMs)
{
    if (!readySinceMs_ || nowMs - *readySinceMs_ < CleanAirRule::kSpanMs || air_.empty())
        return false; // not yet 3 s of readings to go on
    int co2 = 0, hc = 0, o2 = std::numeric_limits<int>::max(), lowestHc = std::numeric_limits<int>::max();
    for (const AirReading &a : air_) {
        co2 = std::max(co2, a.co2);
        o2 = std::min(o2, a.o2);
        hc = std::max(hc, a.hc);
        lowestHc = std::min(lowestHc, a.hc);
    }
    QStringList exhaust;
    if (co2 > CleanAirRule::kCo2MaxTenths)
        exhaust << QStringLiteral("CO2 %1 % (clean air at most %2 %)")
                       .arg(co2 / 10.0, 0, 'f', 1)
                       .arg(CleanAirRule::kCo2MaxTenths / 10.0, 0, 'f', 1);
    if (o2 < CleanAirRule::kO2MinHundredths)
        exhaust << QStringLiteral("O2 %1 % (clean air at least %2 %)")
                       .arg(o2 / 100.0, 0, 'f', 1)
                       .arg(CleanAirRule::kO2MinHundredths / 100.0, 0, 'f', 1);
    if (hc > CleanAirRule::kHcMaxPpm)
        exhaust << QStringLiteral("HC %1 ppm (clean air at most %2 ppm)").arg(hc).arg(CleanAirRule::kHcMaxPpm);
    if (!exhaust.isEmpty()) {
        state_.cleanAirRefused = exhaust.join(QStringLiteral(", "));
        return false;
    }
    state_.cleanAirRefused.clear();
    // The lowest, so the residual never takes off more than the sample line showed.
    state_.residualHc = std::max(0, lowestHc);
    return true;
}

void EmissionsCheck::feed(std::int64_t nowMs, const std::optional<link::LiveReading> &frame)
{
    if (finished())
        return;
    tick(nowMs);
    if (finished())
        return;
    take(nowMs, frame);
    TracePoint p;
    p.atMs = nowMs;
    p.valid = frame.has_value();
    if (frame) {
        const Sample s = sampleOf(nowMs, *frame);
        p.co = s.co;
        p.hc = s.hc;
        p.lambda = s.lambda;
        p.rpm = s.rpm;
    }
    p.phase = state_.phase;
    p.stage = state_.stage;
    p.recheckingHc = state_.recheckingHc;
    state_.trace.push_back(p);
}

void EmissionsCheck::take(std::int64_t nowMs, const std::optional<link::LiveReading> &frame)
{
    const bool usable = frame && AnalyserReady(*frame);
    switch (state_.phase) {
    case CheckPhase::Finished:
        return;
    case CheckPhase::WaitingForAnalyser:
    case CheckPhase::WaitingForCleanAir:
        if (!usable) {
            if (frame) {
                // A prompt, a zero or the pump off: what is in the bench now is no clean air.
                air_.clear();
                readySinceMs_.reset();
            }
            state_.phase = CheckPhase::WaitingForAnalyser;
            return;
        }
        if (!readySinceMs_)
            readySinceMs_ = nowMs;
        air_.push_back({nowMs, frame->Co2, frame->O2, frame->Hc});
        std::erase_if(air_, [&](const AirReading &a) { return a.atMs < nowMs - CleanAirRule::kSpanMs; });
        if (settings_.askCleanAir && !cleanAirConfirmed_) {
            state_.phase = CheckPhase::WaitingForCleanAir;
            return;
        }
        if (!takeCleanAir(nowMs)) {
            // Asked for again once the gases say exhaust; without asking, it waits for clean air.
            if (!state_.cleanAirRefused.isEmpty())
                cleanAirConfirmed_ = false;
            state_.phase = CheckPhase::WaitingForCleanAir;
            return;
        }
        state_.phase = CheckPhase::WaitingForWarmEngine;
        stepSinceMs_ = nowMs;
        [[fallthrough]];
    case CheckPhase::WaitingForWarmEngine:
    case CheckPhase::WaitingForWarmConfirmation:
        if (!usable || !engineWarm(*frame))
            return;
        enterStage(0);
        stepSinceMs_ = nowMs;
        break;
    default:
        break;
    }

    if (frame && !usable) {
        // A prompt, a zero or a stopped pump changes what is in the bench, so the gas has
        // to settle again as after a change of speed.
        leaveWindow(nowMs);
        return;
    }
    if (!frame) {
        if (state_.phase == CheckPhase::Measuring)
            measure(nowMs, std::nullopt);
        return;
    }
    const Sample sample = sampleOf(nowMs, *frame);

    const bool inWindow = sample.rpm >= stage().minRpm && sample.rpm <= stage().maxRpm;
    if (!inWindow) {
        leaveWindow(nowMs);
        return;
    }
    if (state_.phase == CheckPhase::WaitingForSpeed) {
        state_.phase = CheckPhase::Settling;
        phaseSinceMs_ = nowMs;
    }
    if (state_.phase == CheckPhase::Settling) {
        if (nowMs - phaseSinceMs_ < settings_.settleMs)
            return;
        state_.phase = CheckPhase::Measuring;
        phaseSinceMs_ += settings_.settleMs;
    }
    measure(nowMs, sample);
}

} // namespace qova::check
