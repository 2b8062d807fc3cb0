#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qova::sim {

// A car at the end of the probe, for running a whole emissions check by itself. The
// default analyser measures no such car; a profile is only used when asked for.
enum class VehicleProfile : std::uint8_t {
    None,           // the analyser's own engine that idles and runs at 2750 rpm in turn
    GoodCatalyst,   // clean at both speeds
    RichIdle,       // CO about 1.2 % at natural idle
    FailedCatalyst, // lambda about 1.06 and HC about 350 ppm at fast idle
    ColdEngine,     // oil from 20 degC, slowly
    WanderingSpeed, // fast idle leaves its window from 8 s to 11 s of every 16 s
    NoOilProbe,     // oil reads 0, as with no probe fitted
};

// "good-catalyst", "rich-idle", "failed-catalyst", "cold-engine", "wandering-speed",
// "no-oil-probe"; "" for None.
std::string_view VehicleProfileName(VehicleProfile profile);
std::optional<VehicleProfile> VehicleProfileFromName(std::string_view name);
// What the operator picks it by: "Good catalyst", "Rich idle", ...
std::string_view VehicleProfileTitle(VehicleProfile profile);
std::vector<VehicleProfile> VehicleProfiles(); // every one but None

// What the exhaust would read with the bench full of it.
struct EngineReading {
    double rpm = 0;
    double hc = 0, co = 0, co2 = 0, o2 = 0, nox = 0; // the analyser's units
    double lambda = 1;
    double oilTenths = 0; // 0.1 degC; 0 with no probe
    // The probe is held in clean air for the check's residual HC before it goes into the
    // tail pipe; until then the bench draws air whatever the engine does.
    bool probeInExhaust = false;
};

// The profile's car at `sincePowerOnMs`. The driver follows a scripted throttle: natural
// idle until the analyser has measured (`measuringFromMs`, since power-on) for
// kCleanAirMs + kRevAfterProbeMs and the oil has reached 60 degC, then fast idle for kFastIdleMs (kWanderFastIdleMs for
// the wandering engine, so that its check can end), then natural idle again. `fastIdleMs` other than 0 holds fast idle
// that long instead, for a check with shorter timings.
EngineReading VehicleAt(VehicleProfile profile, std::int64_t sincePowerOnMs,
                        std::optional<std::int64_t> measuringFromMs, int fastIdleMs = 0);

inline constexpr int kFastIdleMs = 50000;
// From the analyser's first measuring: the probe in clean air, then in the tail pipe and,
// a moment later so the bench has filled, the throttle opened.
inline constexpr int kCleanAirMs = 8000;
inline constexpr int kRevAfterProbeMs = 6000;
inline constexpr int kWanderFastIdleMs = 300000;
inline constexpr double kFastIdleRpm = 2750, kNaturalIdleRpm = 820;

} // namespace qova::sim
