#pragma once

#include "emissionscheck.h"
#include "livereading.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::checkui {

enum class GasMark : std::uint8_t { NoLimit, Within, Outside };

// One live value under the instruction: "CO", "0.12 %", marked against the limit being
// applied now.
struct GasShown {
    QString name;
    QString value;
    GasMark mark = GasMark::NoLimit;
};

// What the check screen shows for the check as it stands: the step, the one large
// instruction, the line under it, the countdowns, the buttons it offers, the gauge and
// the live values. Worked out here so the window only puts it on screen.
struct CheckScreen {
    QString step;                   // "Stage 1 of 2: fast idle"
    QString instruction;            // "Hold the engine at 2500 to 3000 rpm"
    QString detail;                 // "Settling: 7 s to go"
    std::optional<int> secondsLeft; // power-up or settling countdown
    int steadyPercent = 0;          // of the steady run that passes a stage
    bool offerPump = false;
    bool askCleanAir = false;
    bool askWarmConfirmation = false;
    bool showGauge = false;
    int rpm = 0, windowMinRpm = 0, windowMaxRpm = 0;
    std::vector<GasShown> gases; // CO, HC, lambda, rpm, oil
};

// `last` is the last valid frame, none before the first; `nowMs` on the check's clock.
CheckScreen ScreenOf(const check::EmissionsCheck &check, std::int64_t nowMs,
                     const std::optional<link::LiveReading> &last);

// "Hold the engine at 2500 to 3000 rpm"; the HC re-check names its middle speed.
QString SpeedInstruction(const check::StageLimits &stage);

// Where the gauge draws, in pixels across a gauge `width` wide: its scale from 0 to
// `scaleMaxRpm`, the speed window, the needle and a tick every 1000 rpm.
struct GaugeGeometry {
    int scaleMaxRpm = 0;
    int windowLeft = 0, windowRight = 0;
    int needle = 0;
    std::vector<int> ticks; // x of 0, 1000, 2000 ... rpm
};
GaugeGeometry GaugeLayout(int width, int windowMinRpm, int windowMaxRpm, int rpm);

// One line of the result table: a gas of a stage with its deciding readings and limit.
struct ResultRow {
    QString stage; // "fast idle", "natural idle (HC at 2000 rpm)"
    QString gas;
    QString mean, worst; // "0.05 %", "" when there were no readings
    QString limit;       // "max 0.30 %", "0.970 to 1.030", "none"
    QString verdict;     // "PASS", "FAIL", "recorded", "not applied"
};
std::vector<ResultRow> ResultRows(const check::LimitSet &limits, check::Fuel fuel, const check::CheckState &state);

// "PASS", "FAIL", "READINGS RECORDED", "ABANDONED".
QString OverallText(check::Verdict verdict, bool abandoned);

} // namespace qova::checkui
