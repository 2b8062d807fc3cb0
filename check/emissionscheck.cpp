#include "emissionscheck.h"

#include <algorithm>
#include <cstdlib>

namespace qova::check {

QString VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("fail");
    case Verdict::Recorded:
        return QStringLiteral("readings recorded");
    case Verdict::Pending:
        break;
    }
    return QStringLiteral("pending");
}

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
    // Natural gas is nearly all methane, which the analyser's HC bench barely sees.
    g.hc = fuel == Fuel::Cng || !l.hcMax || hc <= *l.hcMax;
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

void EmissionsCheck::feed(std::int64_t nowMs, const std::optional<link::LiveReading> &frame)
{
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
            state_.phase = CheckPhase::WaitingForAnalyser;
            return;
        }
        if (settings_.askCleanAir && !cleanAirConfirmed_) {
            state_.phase = CheckPhase::WaitingForCleanAir;
            return;
        }
        // The probe is in clean air: whatever HC it reads is left in the sample line.
        state_.residualHc = std::max<int>(0, frame->Hc);
        state_.phase = CheckPhase::WaitingForWarmEngine;
        [[fallthrough]];
    case CheckPhase::WaitingForWarmEngine:
    case CheckPhase::WaitingForWarmConfirmation:
        if (!usable)
            return;
        if (HasOilProbe(*frame)) {
            if (frame->OilTemp < settings_.oilWarmTenths) {
                state_.phase = CheckPhase::WaitingForWarmEngine;
                return;
            }
            state_.warmOilTenths = frame->OilTemp;
        } else if (!warmConfirmed_) {
            state_.phase = CheckPhase::WaitingForWarmConfirmation;
            return;
        } else {
            state_.warmConfirmedByOperator = true;
        }
        enterStage(0);
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
