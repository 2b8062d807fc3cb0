#pragma once

#include "check/checkrun.h"
#include "check/emissionscheck.h"
#include "link/livereading.h"

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
    QString word;   // "FAIL" for a value outside its limit, "OK" for one within
    QString spoken; // what a screen reader says: "CO 0.12 percent, FAIL"
};

// The car's diagnostics as the check page shows them while an adapter takes part.
struct ObdPanel {
    QString adapter; // "ELM327 v1.5: reading the car", "OBD adapter lost: ..."
    bool lost = false;
    QString lamp;  // "off", "ON", "not read yet"
    QString codes; // "2 stored: P0133, P0420", "none", "not read yet"
    // Each monitor of the engine's kind: {"Catalyst", "incomplete"}; "not supported" too.
    std::vector<std::pair<QString, QString>> monitors;
    // The operator is asked what the warning lamp on the dashboard shows; once answered,
    // the answer ("on", "off"), empty where the set does not ask.
    bool askDashboardLamp = false;
    QString dashboardLamp;
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
    bool offerPump = false;         // the pump is off: Pump is what the operator is to press
    bool pumpEnabled = false;       // the analyser is being made ready, where Pump belongs
    bool askCleanAir = false;
    bool askWarmConfirmation = false;
    bool showGauge = false;
    int rpm = 0, windowMinRpm = 0, windowMaxRpm = 0;
    QString spokenGauge;         // "Engine speed 2750 rpm, inside the window of 2500 to 3000 rpm"
    std::vector<GasShown> gases; // CO, HC, lambda, rpm, oil
    QString stageFailed;         // "Fast idle failed: lambda 1.060 above 1.030", until the check ends
    // With an OBD adapter: where the gauge's engine speed comes from ("engine speed from
    // the car (OBD)"), and the two counts' disagreement; both empty without one.
    QString speedSource;
    QString speedDisagreement;
    std::optional<ObdPanel> obd;
};

// `last` is the last valid frame, none before the first; `nowMs` on the check's clock.
CheckScreen ScreenOf(const check::EmissionsCheck &check, std::int64_t nowMs,
                     const std::optional<link::LiveReading> &last);

// The same for a run: nothing before it starts.
CheckScreen ScreenOf(const check::CheckRun &run);

// Pixel sizes of the check page's fonts in a window `height` pixels high, readable from the
// driver's seat: the instruction's capitals at least 6 % of the height, the live values
// (the engine speed among them) at least 4 %, the lines under them never below 16 px.
struct CheckPageFonts {
    int instruction = 0, values = 0, text = 0;
};
CheckPageFonts CheckPageFontsFor(int height);

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

} // namespace qova::checkui
