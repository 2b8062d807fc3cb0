#pragma once

#include "check/emissionscheck.h"
#include "check/limitset.h"
#include "obd/obddecode.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::check {

// What the OBD step read from the car: the monitor status (01 01) and the stored codes (03).
struct ObdReadout {
    obd::Decoded<obd::MonitorStatus> status;
    obd::Decoded<std::vector<QString>> codes;
};

enum class ObdVerdict : std::uint8_t {
    Pass,
    Fail,
    NotReady, // too many readiness monitors incomplete: the car is not ready for test
    Unknown,  // the rule needed an answer the car did not give; never a pass
    Recorded, // the limit set judges nothing: read and kept only
};
QString ObdVerdictWord(ObdVerdict verdict);

struct ObdJudgement {
    ObdVerdict verdict = ObdVerdict::Recorded;
    QStringList reasons; // every finding that decided it, in the order the rule lists them
    bool operator==(const ObdJudgement &) const = default;
};

// What the limit set's rule makes of what was read. A definite failure outweighs a car not
// ready for test, which outweighs a missing answer: a lamp seen on fails the car whatever
// else could not be read.
ObdJudgement JudgeObd(const std::optional<ObdRule> &rule, const ObdReadout &readout);

// The check's verdict once the car's diagnostics are judged beside the gases: a definite
// OBD failure fails the car; a car not ready for test, or one whose diagnostics the rule
// needed and could not read, never passes (the check is not completed, and `reason` says
// why); a recorded judgement changes nothing, and neither does anything after a gas
// failure, an unfinished check or a stop.
struct CombinedVerdict {
    Verdict overall = Verdict::Pending;
    QString reason; // why the diagnostics changed it; empty when they did not
    bool operator==(const CombinedVerdict &) const = default;
};
CombinedVerdict CombineVerdicts(Verdict gases, bool abandoned, const ObdJudgement &obd);

// Whether the check asks the operator what the warning lamp on the dashboard shows: only
// where the set's rule does not judge the car's own word on the lamp, since a scheme that
// fails the commanded lamp has no use for the bulb.
bool AsksDashboardLamp(const std::optional<ObdRule> &rule);

// The finding when the dashboard and the car disagree on the warning lamp ("the car
// commands the warning lamp on but the dashboard shows it off: check the lamp"); empty when
// they agree or either is not known. It never changes a verdict: a bulb that is out, or a
// lamp lit by something else, is for the tester to look into.
QString DashboardLampFinding(std::optional<bool> carCommandsOn, std::optional<bool> dashboardShowsOn);

// What the car's diagnostics gave one check; a check run without an adapter has none.
struct ObdPart {
    QString adapter;                   // the adapter's banner, "ELM327 v1.5"
    obd::Decoded<obd::Vin> vin;        // as the car sent it; shown, trusted only when `trusted`
    ObdReadout readout;                // the last monitor status and stored codes read during the check
    ObdJudgement judgement;            // of `readout` by the set's rule
    QString lost;                      // why the adapter went during the check; empty when it stayed
    bool dashboardLampAsked = false;   // AsksDashboardLamp of the set the check ran under
    std::optional<bool> dashboardLamp; // the operator's word on the dashboard's lamp, when given
};

} // namespace qova::check
