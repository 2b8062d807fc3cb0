#pragma once

#include "check/checkrecord.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::check {

// The units of the check's figures, in the analyser's own units: "0.05 %" (CO 0.01 %),
// "30 ppm", "1.004" (lambda x1000), "2750 rpm", "80.0 °C" (0.1 degC).
QString PercentText(double hundredths);
QString PpmText(double ppm);
QString LambdaText(double thousandths);
QString RpmText(double rpm);
QString CelsiusText(double tenths, int decimals = 1);

// The words of a verdict: as the history keeps it ("pass", "readings recorded"), as a
// stage shows it ("PASS", "RECORDED") and as the whole check shows it ("READINGS
// RECORDED", "ABANDONED").
QString VerdictName(Verdict verdict);
QString StageVerdictWord(Verdict verdict);
QString OverallWord(Verdict verdict, bool abandoned);

enum class Tone : std::uint8_t { Neutral, Pass, Fail };

// How one gas of a stage came out.
enum class GasVerdict : std::uint8_t {
    Pass,
    Fail,
    FailRechecked, // HC failed at the stage's speed and was measured again
    NotSteady,     // within its limit, but the stage found no steady window
    Recorded,      // no metered test: the readings are kept only
    NoLimit,       // the set limits other gases at this stage
    NotApplied,    // HC of a CNG engine
    NoReadings,    // the stage ended without a reading to decide it
    InWindow,      // the engine speed of the deciding window
    NotRun,
    Stopped, // the stage under way when the operator stopped the check
};
Tone ToneOf(GasVerdict verdict);

// A gas of a stage: its limit, the deciding window's mean and worst, the verdict.
struct GasResult {
    QString gas; // "CO", "HC", "Lambda", "Engine speed", "HC re-check at 2000 rpm"
    std::optional<GasSummary> deciding;
    QString mean, worst; // "0.05 %", "—" with no readings
    QString limit;       // "at most 0.30 %", "0.970 to 1.030", "none", "not applied (CNG)"
    GasVerdict verdict = GasVerdict::NotRun;
    QString result; // "PASS", "FAIL, re-checked", "not steady for 5 s", "in window", "—"
};

struct StageOutcome {
    StageKind kind = StageKind::NaturalIdle;
    bool ran = false;
    QString title;   // "Fast idle, 2500 to 3000 rpm"
    QString verdict; // "PASS", "FAIL", "RECORDED", "NOT RUN", "STOPPED"
    Tone tone = Tone::Neutral;
    QString window; // which readings decided it
    std::vector<GasResult> gases;
    QString reason; // the check's own words, capitalised
    // "Fast idle failed: lambda 1.060 above 1.030"; empty unless the stage failed.
    QString failure;
};

// The car's diagnostics as the result shows them.
struct ObdOutcome {
    QString verdict; // ObdVerdictWord's word, upper case: "PASS", "FAIL", "NOT READY FOR TEST"
    Tone tone = Tone::Neutral;
    QString adapter; // "ELM327 v1.5"
    QString vin;     // "WVWZZZ1JZXW000001", or the text read with "(not trusted: ...)"
    QString lamp;    // "off", "ON", "unknown: <why>"
    // "on (the operator's word)", "off (the operator's word)", "not confirmed"; empty where
    // the set does not ask the operator.
    QString dashboardLamp;
    QString lampFinding; // DashboardLampFinding: the dashboard and the car disagree
    QString codes;       // "P0133, P0420", "none", "unknown: <why>"
    // Each monitor of the engine's kind with its readiness: {"Catalyst", "incomplete"}.
    std::vector<std::pair<QString, QString>> monitors;
    QStringList reasons; // the judgement's findings
    QString lost;        // why the adapter went during the check; empty when it stayed
};

// What ObdOutcome says of the monitors as one text: "Misfire: complete; Catalyst: incomplete".
QString ReadinessText(const ObdOutcome &obd);

// The result of a check, worked out once: what the result page, the certificate and the
// history entry show.
struct CheckResult {
    Verdict overall = Verdict::Pending;
    bool abandoned = false;
    QString verdict; // "PASS", "FAIL", "READINGS RECORDED", "ABANDONED", "NOT COMPLETED"
    Tone tone = Tone::Neutral;
    QString note; // why there is no pass or fail
    std::vector<StageOutcome> stages;
    std::optional<ObdOutcome> obd;   // when an adapter took part
    QString speedSource, warmSource; // SpeedSourceName, WarmSourceName
    std::optional<int> warmTenths;   // what the warm source read then, 0.1 degC
};

// "Engine speed: OBD. Engine warm: OBD coolant temperature 78 °C."
QString SourcesLine(const CheckResult &result);

// Stage `index` of `limits` as it stands in `state` (not run yet while the check is on it).
StageOutcome StageOutcomeOf(const LimitSet &limits, Fuel fuel, const CheckSettings &settings, const CheckState &state,
                            std::size_t index, bool abandoned);
// `obd` and `speedSource` as the check's record keeps them; no adapter leaves the result
// as a check of the analyser alone shows it.
CheckResult ResultOf(const LimitSet &limits, Fuel fuel, const CheckSettings &settings, const CheckState &state,
                     bool abandoned, const std::optional<ObdPart> &obd = std::nullopt,
                     SpeedSource speedSource = SpeedSource::Analyser);
CheckResult ResultOf(const CheckRecord &record);

} // namespace qova::check
