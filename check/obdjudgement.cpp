#include "check/obdjudgement.h"

#include <array>
#include <utility>

namespace qova::check {

QString ObdVerdictWord(ObdVerdict verdict)
{
    static constexpr std::array<std::pair<ObdVerdict, const char *>, 5> kWords{{
        {ObdVerdict::Pass, "PASS"},
        {ObdVerdict::Fail, "FAIL"},
        {ObdVerdict::NotReady, "not ready for test"},
        {ObdVerdict::Unknown, "unknown"},
        {ObdVerdict::Recorded, "recorded"},
    }};
    for (const auto &[v, word] : kWords)
        if (v == verdict)
            return QString::fromLatin1(word);
    return {};
}

namespace {

// "1 monitor", "2 monitors".
QString counted(int n, const char *thing)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(thing)).arg(n == 1 ? "" : "s");
}

QString incompleteMonitors(const obd::MonitorStatus &status)
{
    QStringList names;
    for (const obd::MonitorReadiness &m : status.monitors)
        if (m.readiness == obd::Readiness::Incomplete)
            names << obd::MonitorName(m.monitor);
    return names.join(QStringLiteral(", "));
}

} // namespace

ObdJudgement JudgeObd(const std::optional<ObdRule> &rule, const ObdReadout &readout)
{
    if (!rule || !rule->judgesAnything())
        return {};
    bool failed = false, notReady = false, unknown = false;
    QStringList reasons;
    const auto &status = readout.status;
    if (rule->lampFails || rule->incompleteMonitorsAllowed) {
        if (!status.known()) {
            unknown = true;
            reasons << QStringLiteral("monitor status not read: %1").arg(status.problem);
        } else {
            if (rule->lampFails && status.value->lampOn) {
                failed = true;
                reasons << QStringLiteral("warning lamp commanded on");
            }
            const int incomplete = status.value->incomplete();
            if (rule->incompleteMonitorsAllowed && incomplete > *rule->incompleteMonitorsAllowed) {
                notReady = true;
                reasons << QStringLiteral("%1 incomplete (%2); the limits allow %3")
                               .arg(counted(incomplete, "monitor"))
                               .arg(incompleteMonitors(*status.value))
                               .arg(*rule->incompleteMonitorsAllowed);
            }
        }
    }
    if (rule->storedCodesFail) {
        const int storedCodes = status.known() ? status.value->storedCodes : 0;
        if (readout.codes.known() && !readout.codes.value->empty()) {
            failed = true;
            reasons << QStringLiteral("stored codes: %1")
                           .arg(QStringList(readout.codes.value->begin(), readout.codes.value->end())
                                    .join(QStringLiteral(", ")));
        } else if (storedCodes > 0 && !readout.codes.known()) {
            // The car's own count is enough to fail it; the codes would only say why.
            failed = true;
            reasons << QStringLiteral("%1 counted; the codes were not read: %2")
                           .arg(counted(storedCodes, "stored code"))
                           .arg(readout.codes.problem);
        } else if (storedCodes > 0) {
            // A car that counts codes it does not send is not a clean car.
            unknown = true;
            reasons << QStringLiteral("%1 counted but none sent").arg(counted(storedCodes, "stored code"));
        } else if (!readout.codes.known()) {
            unknown = true;
            reasons << QStringLiteral("stored codes not read: %1").arg(readout.codes.problem);
        }
    }
    const ObdVerdict verdict = failed     ? ObdVerdict::Fail
                               : notReady ? ObdVerdict::NotReady
                               : unknown  ? ObdVerdict::Unknown
                                          : ObdVerdict::Pass;
    return {verdict, reasons};
}

bool AsksDashboardLamp(const std::optional<ObdRule> &rule)
{
    return !rule || !rule->lampFails;
}

QString DashboardLampFinding(std::optional<bool> carCommandsOn, std::optional<bool> dashboardShowsOn)
{
    if (!carCommandsOn || !dashboardShowsOn || *carCommandsOn == *dashboardShowsOn)
        return {};
    auto word = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    return QStringLiteral("the car commands the warning lamp %1 but the dashboard shows it %2: check the lamp")
        .arg(word(*carCommandsOn), word(*dashboardShowsOn));
}

CombinedVerdict CombineVerdicts(Verdict gases, bool abandoned, const ObdJudgement &obd)
{
    const QString findings = obd.reasons.join(QStringLiteral("; "));
    if (abandoned || gases == Verdict::Pending || gases == Verdict::NotCompleted)
        return {gases, {}};
    switch (obd.verdict) {
    case ObdVerdict::Fail:
        return {Verdict::Fail, QStringLiteral("the car's diagnostics failed it: %1").arg(findings)};
    case ObdVerdict::NotReady:
        if (gases == Verdict::Pass)
            return {Verdict::NotCompleted, QStringLiteral("not ready for test: %1").arg(findings)};
        break;
    case ObdVerdict::Unknown:
        if (gases == Verdict::Pass)
            return {Verdict::NotCompleted, QStringLiteral("the car's diagnostics could not be read: %1").arg(findings)};
        break;
    case ObdVerdict::Pass:
    case ObdVerdict::Recorded:
        break;
    }
    return {gases, {}};
}

} // namespace qova::check
