#include "check/checkresult.h"

#include <algorithm>
#include <cmath>

namespace qova::check {

namespace {

const QString kDash = QStringLiteral("—");

struct VerdictWords {
    Verdict verdict;
    const char *stored, *stage, *overall;
};
// A verdict in every place it is written.
constexpr VerdictWords kVerdictWords[] = {
    {Verdict::Pass, "pass", "PASS", "PASS"},
    {Verdict::Fail, "fail", "FAIL", "FAIL"},
    {Verdict::Recorded, "readings recorded", "RECORDED", "READINGS RECORDED"},
    {Verdict::NotCompleted, "not completed", "NOT RUN", "NOT COMPLETED"},
    {Verdict::Pending, "pending", "NOT RUN", "NOT FINISHED"},
};

const VerdictWords &wordsOf(Verdict verdict)
{
    for (const VerdictWords &w : kVerdictWords)
        if (w.verdict == verdict)
            return w;
    return kVerdictWords[std::size(kVerdictWords) - 1];
}

Tone toneOf(Verdict v)
{
    return v == Verdict::Pass ? Tone::Pass : v == Verdict::Fail ? Tone::Fail : Tone::Neutral;
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString seconds(std::int64_t ms)
{
    return QString::number(ms / 1000.0, 'f', 1);
}

QString speedWindow(int minRpm, int maxRpm)
{
    return QStringLiteral("%1 to %2 rpm").arg(minRpm).arg(maxRpm);
}

struct GasVerdictWord {
    GasVerdict verdict;
    const char *word; // none: a dash, nothing was decided
    Tone tone;
};
constexpr GasVerdictWord kGasVerdictWords[] = {
    {GasVerdict::Pass, "PASS", Tone::Pass},
    {GasVerdict::Fail, "FAIL", Tone::Fail},
    {GasVerdict::FailRechecked, "FAIL, re-checked", Tone::Fail},
    {GasVerdict::NotSteady, "not steady for %1 s", Tone::Neutral},
    {GasVerdict::Recorded, "recorded", Tone::Neutral},
    {GasVerdict::NoLimit, nullptr, Tone::Neutral},
    {GasVerdict::NotApplied, nullptr, Tone::Neutral},
    {GasVerdict::NoReadings, nullptr, Tone::Neutral},
    {GasVerdict::InWindow, "in window", Tone::Neutral},
    {GasVerdict::NotRun, "not run", Tone::Neutral},
    {GasVerdict::Stopped, "stopped", Tone::Neutral},
};

const GasVerdictWord *gasWordsOf(GasVerdict verdict)
{
    for (const GasVerdictWord &w : kGasVerdictWords)
        if (w.verdict == verdict)
            return &w;
    return nullptr;
}

QString gasWord(GasVerdict verdict, int passWindowMs)
{
    const GasVerdictWord *w = gasWordsOf(verdict);
    if (!w || !w->word)
        return kDash;
    const QString word = QString::fromLatin1(w->word);
    return verdict == GasVerdict::NotSteady ? word.arg(passWindowMs / 1000.0) : word;
}

QString lambdaLimit(const GasLimits &g)
{
    if (g.lambdaMin && g.lambdaMax)
        return LambdaText(*g.lambdaMin) + QStringLiteral(" to ") + LambdaText(*g.lambdaMax);
    if (g.lambdaMin)
        return QStringLiteral("at least ") + LambdaText(*g.lambdaMin);
    return QStringLiteral("at most ") + LambdaText(*g.lambdaMax);
}

// "lambda 1.060 above 1.030" when the deciding window's worst lies beyond the limit.
QString beyond(const QString &gas, int worst, std::optional<int> min, std::optional<int> max, QString (*format)(double))
{
    if (max && worst > *max)
        return QStringLiteral("%1 %2 above %3").arg(gas, format(worst), format(*max));
    if (min && worst < *min)
        return QStringLiteral("%1 %2 below %3").arg(gas, format(worst), format(*min));
    return {};
}

// A text the car or the adapter sent, as one line of bounded length: the result's texts
// become lines of the certificate the history keeps, where a line break would start a new
// line of the page.
QString oneLine(const QString &text)
{
    constexpr qsizetype kMost = 120;
    QString out;
    out.reserve(std::min(text.size(), kMost + 1));
    for (const QChar c : text) {
        if (out.size() >= kMost) {
            out += QChar(0x2026);
            break;
        }
        out += c.isPrint() ? c : QChar(QChar::ReplacementCharacter);
    }
    return out;
}

// "unknown: why" the first time a reason is given, "unknown" after: with the car silent every
// reading fails for the one reason, which the page then says once.
QString unknown(const QString &why, QStringList &said)
{
    const QString line = oneLine(why);
    if (line.isEmpty() || said.contains(line))
        return QStringLiteral("unknown");
    said << line;
    return QStringLiteral("unknown: ") + line;
}

ObdOutcome obdOutcomeOf(const ObdPart &part)
{
    ObdOutcome out;
    out.verdict = ObdVerdictWord(part.judgement.verdict).toUpper();
    out.tone = part.judgement.verdict == ObdVerdict::Pass   ? Tone::Pass
               : part.judgement.verdict == ObdVerdict::Fail ? Tone::Fail
                                                            : Tone::Neutral;
    out.adapter = part.adapter.isEmpty() ? QStringLiteral("not named") : oneLine(part.adapter);
    QStringList said;
    const auto &status = part.readout.status;
    // The lamp first: it is what a rule most often judges.
    if (status.known())
        out.lamp = status.value->lampOn ? QStringLiteral("ON") : QStringLiteral("off");
    else
        out.lamp = unknown(status.problem, said);
    if (part.dashboardLampAsked)
        out.dashboardLamp = !part.dashboardLamp   ? QStringLiteral("not confirmed")
                            : *part.dashboardLamp ? QStringLiteral("on (the operator's word)")
                                                  : QStringLiteral("off (the operator's word)");
    out.lampFinding =
        DashboardLampFinding(status.known() ? std::optional(status.value->lampOn) : std::nullopt, part.dashboardLamp);
    if (!part.vin.known())
        out.vin = unknown(part.vin.problem, said);
    else if (part.vin.value->trusted)
        out.vin = oneLine(part.vin.value->text);
    else
        out.vin =
            QStringLiteral("%1 (not trusted: %2)").arg(oneLine(part.vin.value->text), oneLine(part.vin.value->doubt));
    if (status.known())
        for (const obd::MonitorReadiness &m : status.value->monitors)
            out.monitors.emplace_back(obd::MonitorName(m.monitor), obd::ReadinessName(m.readiness));
    else
        out.monitors.emplace_back(QStringLiteral("All monitors"), unknown(status.problem, said));
    const auto &codes = part.readout.codes;
    if (!codes.known()) {
        out.codes = unknown(codes.problem, said);
    } else if (codes.value->empty()) {
        out.codes = QStringLiteral("none");
    } else {
        QStringList list;
        for (const QString &code : *codes.value)
            list << oneLine(code);
        out.codes = list.join(QStringLiteral(", "));
    }
    for (const QString &reason : part.judgement.reasons)
        out.reasons << oneLine(reason);
    out.lost = oneLine(part.lost);
    return out;
}

// How the engine was found warm: as the check says, or, for a check that did not say, from
// the oil probe's reading or the operator's word.
WarmSource warmSourceOf(const CheckState &state, std::optional<int> &tenths)
{
    if (state.warmSource != WarmSource::None) {
        tenths = state.warmTenths;
        return state.warmSource;
    }
    if (state.warmOilTenths) {
        tenths = state.warmOilTenths;
        return WarmSource::OilProbe;
    }
    return state.warmConfirmedByOperator ? WarmSource::Operator : WarmSource::None;
}

} // namespace

QString ReadinessText(const ObdOutcome &obd)
{
    QStringList parts;
    for (const auto &[monitor, readiness] : obd.monitors)
        parts << monitor + QStringLiteral(": ") + readiness;
    return parts.join(QStringLiteral("; "));
}

QString SourcesLine(const CheckResult &result)
{
    QString warm = result.warmSource;
    if (result.warmTenths)
        warm += u' ' + CelsiusText(*result.warmTenths, 0);
    return QStringLiteral("Engine speed: %1. Engine warm: %2.").arg(result.speedSource, warm);
}

QString PercentText(double hundredths)
{
    return QString::number(hundredths / 100.0, 'f', 2) + QStringLiteral(" %");
}
QString PpmText(double ppm)
{
    return QString::number(std::lround(ppm)) + QStringLiteral(" ppm");
}
QString LambdaText(double thousandths)
{
    return QString::number(thousandths / 1000.0, 'f', 3);
}
QString RpmText(double rpm)
{
    return QString::number(std::lround(rpm)) + QStringLiteral(" rpm");
}
QString CelsiusText(double tenths, int decimals)
{
    return QString::number(tenths / 10.0, 'f', decimals) + QStringLiteral(" °C");
}

QString VerdictName(Verdict verdict)
{
    return QString::fromLatin1(wordsOf(verdict).stored);
}
QString StageVerdictWord(Verdict verdict)
{
    return QString::fromLatin1(wordsOf(verdict).stage);
}
QString OverallWord(Verdict verdict, bool abandoned)
{
    return abandoned ? QStringLiteral("ABANDONED") : QString::fromLatin1(wordsOf(verdict).overall);
}

Tone ToneOf(GasVerdict verdict)
{
    const GasVerdictWord *w = gasWordsOf(verdict);
    return w ? w->tone : Tone::Neutral;
}

StageOutcome StageOutcomeOf(const LimitSet &set, Fuel fuel, const CheckSettings &settings, const CheckState &state,
                            std::size_t index, bool abandoned)
{
    const StageLimits &limits = set.stages[index];
    const bool ran = index < state.stages.size();
    const StageResult result = ran ? state.stages[index] : StageResult{};
    const bool metered = set.metered;

    StageOutcome stage;
    stage.kind = limits.kind;
    stage.ran = ran;
    stage.title =
        capitalised(StageName(limits.kind)) + QStringLiteral(", ") + speedWindow(limits.minRpm, limits.maxRpm);
    const bool stopped = !ran && abandoned && static_cast<int>(index) == state.stage;
    stage.verdict = ran       ? StageVerdictWord(result.verdict)
                    : stopped ? QStringLiteral("STOPPED")
                              : QStringLiteral("NOT RUN");
    stage.tone = ran ? toneOf(result.verdict) : Tone::Neutral;
    stage.reason = capitalised(result.reason);
    const WindowSummary &w = result.window;
    const bool readings = ran && w.readings > 0;
    if (readings)
        stage.window = QStringLiteral("Deciding %1 s: %2 s to %3 s of the check, %4 readings")
                           .arg(seconds(w.toMs - w.fromMs), seconds(w.fromMs), seconds(w.toMs))
                           .arg(w.readings);
    else if (ran)
        stage.window = QStringLiteral("No readings decided it");

    const GasVerdict notRun = stopped ? GasVerdict::Stopped : GasVerdict::NotRun;
    // Every gas within its limits while the stage failed: the stage found no steady window.
    const bool unsteady = result.verdict == Verdict::Fail && result.gasesOut.isEmpty();
    auto verdictOf = [&](const QString &gas, bool limited) {
        if (!ran)
            return notRun;
        if (!metered)
            return GasVerdict::Recorded;
        if (!limited)
            return GasVerdict::NoLimit;
        if (result.gasesOut.contains(gas))
            return GasVerdict::Fail;
        if (!readings)
            return GasVerdict::NoReadings;
        return unsteady ? GasVerdict::NotSteady : GasVerdict::Pass;
    };
    auto add = [&](const QString &gas, const std::optional<GasSummary> &g, QString (*format)(double),
                   const QString &limit, GasVerdict verdict) {
        GasResult r{gas, g, kDash, kDash, limit, verdict, gasWord(verdict, settings.passWindowMs)};
        if (g) {
            r.mean = format(g->mean);
            r.worst = format(g->worst);
        }
        stage.gases.push_back(r);
    };
    auto decided = [&](const GasSummary &g) { return readings ? std::optional(g) : std::nullopt; };

    const GasLimits &g = limits.limits;
    const QString none = metered ? QStringLiteral("none") : QStringLiteral("not metered");
    add(QStringLiteral("CO"), decided(w.co), PercentText,
        metered && g.coMax ? QStringLiteral("at most ") + PercentText(*g.coMax) : none,
        verdictOf(QStringLiteral("CO"), metered && g.coMax));

    const bool hcApplies = HcLimitApplies(fuel);
    const bool hcLimited = metered && g.hcMax && hcApplies;
    const QString hcLimit = !hcApplies && metered && g.hcMax ? QStringLiteral("not applied (CNG)")
                            : hcLimited                      ? QStringLiteral("at most ") + PpmText(*g.hcMax)
                                                             : none;
    GasVerdict hc = verdictOf(QStringLiteral("HC"), hcLimited);
    if (ran && result.rechecked && hcLimited)
        hc = GasVerdict::FailRechecked;
    else if (ran && !hcApplies && metered && g.hcMax)
        hc = GasVerdict::NotApplied;
    add(QStringLiteral("HC"), decided(w.hc), PpmText, hcLimit, hc);

    const bool lambdaLimited = metered && (g.lambdaMin || g.lambdaMax);
    add(QStringLiteral("Lambda"), decided(w.lambda), LambdaText, lambdaLimited ? lambdaLimit(g) : none,
        verdictOf(QStringLiteral("lambda"), lambdaLimited));
    add(QStringLiteral("Engine speed"), decided(w.rpm), RpmText, speedWindow(limits.minRpm, limits.maxRpm),
        !ran       ? notRun
        : readings ? GasVerdict::InWindow
                   : GasVerdict::NoReadings);

    QStringList failures;
    if (ran && result.rechecked && limits.recheck) {
        const HcRecheck &r = *limits.recheck;
        const std::optional<WindowSummary> &rw = result.recheckWindow;
        const QString at = QStringLiteral(" at %1 rpm").arg((r.minRpm + r.maxRpm) / 2);
        add(QStringLiteral("HC re-check") + at, rw ? std::optional(rw->hc) : std::nullopt, PpmText,
            QStringLiteral("at most ") + PpmText(r.hcMax),
            result.verdict == Verdict::Pass ? GasVerdict::Pass : GasVerdict::Fail);
        add(QStringLiteral("Engine speed") + at, rw ? std::optional(rw->rpm) : std::nullopt, RpmText,
            speedWindow(r.minRpm, r.maxRpm), rw ? GasVerdict::InWindow : GasVerdict::NoReadings);
        if (rw) {
            stage.window += QStringLiteral("; HC re-check %1 s to %2 s").arg(seconds(rw->fromMs), seconds(rw->toMs));
            if (result.verdict == Verdict::Fail) {
                const QString hcOut = beyond(QStringLiteral("HC"), rw->hc.worst, std::nullopt, r.hcMax, PpmText);
                if (!hcOut.isEmpty())
                    failures << hcOut + at;
            }
        }
    } else if (ran && result.verdict == Verdict::Fail && readings) {
        if (result.gasesOut.contains(QStringLiteral("CO")))
            failures << beyond(QStringLiteral("CO"), w.co.worst, std::nullopt, g.coMax, PercentText);
        if (result.gasesOut.contains(QStringLiteral("HC")))
            failures << beyond(QStringLiteral("HC"), w.hc.worst, std::nullopt, g.hcMax, PpmText);
        if (result.gasesOut.contains(QStringLiteral("lambda")))
            failures << beyond(QStringLiteral("lambda"), w.lambda.worst, g.lambdaMin, g.lambdaMax, LambdaText);
    }
    failures.removeAll(QString());
    if (ran && result.verdict == Verdict::Fail)
        stage.failure = QStringLiteral("%1 failed: %2")
                            .arg(capitalised(StageName(limits.kind)),
                                 failures.isEmpty() ? result.reason : failures.join(QStringLiteral(", ")));
    return stage;
}

CheckResult ResultOf(const LimitSet &limits, Fuel fuel, const CheckSettings &settings, const CheckState &state,
                     bool abandoned, const std::optional<ObdPart> &obd, SpeedSource speedSource)
{
    CheckResult result;
    if (obd)
        result.obd = obdOutcomeOf(*obd);
    result.speedSource = SpeedSourceName(speedSource);
    result.warmSource = WarmSourceName(warmSourceOf(state, result.warmTenths));
    result.overall = state.overall;
    result.abandoned = abandoned;
    result.verdict = OverallWord(state.overall, abandoned);
    if (abandoned) {
        result.note = QStringLiteral("The check was stopped before its verdict");
    } else if (state.overall == Verdict::Recorded) {
        result.note = QStringLiteral("No metered test applies to this vehicle: the readings are recorded only");
    } else if (state.overall == Verdict::NotCompleted) {
        result.note = capitalised(state.notCompletedReason);
    } else {
        result.tone = toneOf(state.overall);
    }
    for (std::size_t i = 0; i < limits.stages.size(); ++i)
        result.stages.push_back(StageOutcomeOf(limits, fuel, settings, state, i, abandoned));
    return result;
}

CheckResult ResultOf(const CheckRecord &record)
{
    CheckResult result = ResultOf(record.limits, record.vehicle.fuel, record.settings, record.state, record.abandoned,
                                  record.obd, record.speedSource);
    // A car the diagnostics failed may have passed every gas: the note says what failed it.
    if (record.obd && result.note.isEmpty())
        result.note =
            capitalised(CombineVerdicts(record.state.overall, record.abandoned, record.obd->judgement).reason);
    return result;
}

} // namespace qova::check
