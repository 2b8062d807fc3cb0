#include "sim/vehicleprofile.h"

#include <algorithm>
#include <cmath>

namespace qova::sim {

namespace {

struct Gases {
    double hc, co, co2, o2, nox, lambda;
};
struct Car {
    Gases fast, idle;
    double oilStart, oilWarm, oilWarmingMs; // tenths of degC
    bool oilProbe = true;
};

constexpr Gases kCleanFast{30, 5, 148, 20, 60, 1.000};
constexpr Gases kCleanIdle{50, 10, 146, 30, 30, 1.005};
constexpr double kDriverWaitsForOil = 600; // the driver warms the engine to 60 degC first

Car carOf(VehicleProfile p)
{
    switch (p) {
    case VehicleProfile::RichIdle:
        return {kCleanFast, {150, 120, 135, 20, 20, 0.960}, 800, 900, 300000};
    case VehicleProfile::FailedCatalyst:
        return {{350, 25, 130, 150, 400, 1.060}, {420, 80, 128, 160, 200, 1.050}, 800, 900, 300000};
    case VehicleProfile::ColdEngine:
        // 60 degC after about 37 s: long enough to watch the check wait for it, short
        // enough for a whole check within the end-to-end harness's minute and a half.
        return {kCleanFast, kCleanIdle, 200, 900, 44000};
    case VehicleProfile::NoOilProbe:
        return {kCleanFast, kCleanIdle, 0, 0, 1, false};
    default:
        return {kCleanFast, kCleanIdle, 800, 900, 300000};
    }
}

double oilAt(const Car &car, double t)
{
    return car.oilWarm - (car.oilWarm - car.oilStart) * std::exp(-t / car.oilWarmingMs);
}

// When the oil curve reaches the driver's 60 degC, since power-on.
double warmFromMs(const Car &car)
{
    if (!car.oilProbe || car.oilStart >= kDriverWaitsForOil)
        return 0;
    return car.oilWarmingMs * std::log((car.oilWarm - car.oilStart) / (car.oilWarm - kDriverWaitsForOil));
}

} // namespace

std::string_view VehicleProfileName(VehicleProfile profile)
{
    switch (profile) {
    case VehicleProfile::GoodCatalyst:
        return "good-catalyst";
    case VehicleProfile::RichIdle:
        return "rich-idle";
    case VehicleProfile::FailedCatalyst:
        return "failed-catalyst";
    case VehicleProfile::ColdEngine:
        return "cold-engine";
    case VehicleProfile::WanderingSpeed:
        return "wandering-speed";
    case VehicleProfile::NoOilProbe:
        return "no-oil-probe";
    case VehicleProfile::None:
        break;
    }
    return "";
}

std::string_view VehicleProfileTitle(VehicleProfile profile)
{
    switch (profile) {
    case VehicleProfile::GoodCatalyst:
        return "Good catalyst (passes)";
    case VehicleProfile::RichIdle:
        return "Rich idle (fails on CO at idle)";
    case VehicleProfile::FailedCatalyst:
        return "Failed catalyst (fails at fast idle)";
    case VehicleProfile::ColdEngine:
        return "Cold engine (the check waits for the oil)";
    case VehicleProfile::WanderingSpeed:
        return "Wandering speed (fast idle leaves its window)";
    case VehicleProfile::NoOilProbe:
        return "No oil probe (the operator says it is warm)";
    case VehicleProfile::None:
        break;
    }
    return "The analyser's own engine";
}

std::vector<VehicleProfile> VehicleProfiles()
{
    return {VehicleProfile::GoodCatalyst, VehicleProfile::RichIdle,       VehicleProfile::FailedCatalyst,
            VehicleProfile::ColdEngine,   VehicleProfile::WanderingSpeed, VehicleProfile::NoOilProbe};
}

std::optional<VehicleProfile> VehicleProfileFromName(std::string_view name)
{
    for (VehicleProfile p : VehicleProfiles())
        if (VehicleProfileName(p) == name)
            return p;
    return std::nullopt;
}

EngineReading VehicleAt(VehicleProfile profile, std::int64_t sincePowerOnMs,
                        std::optional<std::int64_t> measuringFromMs, int fastIdleMs)
{
    const Car car = carOf(profile);
    const auto t = static_cast<double>(sincePowerOnMs);
    bool fast = false;
    double fastFrom = 0;
    bool probeIn = false;
    if (measuringFromMs) {
        probeIn = t >= static_cast<double>(*measuringFromMs + kCleanAirMs);
        fastFrom = std::max(static_cast<double>(*measuringFromMs + kCleanAirMs + kRevAfterProbeMs), warmFromMs(car));
        const double length = fastIdleMs > 0                              ? fastIdleMs
                              : profile == VehicleProfile::WanderingSpeed ? kWanderFastIdleMs
                                                                          : kFastIdleMs;
        fast = t >= fastFrom && t < fastFrom + length;
    }
    const Gases &g = fast ? car.fast : car.idle;
    EngineReading r;
    r.rpm = fast ? kFastIdleRpm : kNaturalIdleRpm;
    // Out of the window from 8 s to 11 s of every 16 s at fast idle: a check that settles
    // for 4 s finds a 5 s run after its second settling, one that settles for 10 s never.
    if (fast && profile == VehicleProfile::WanderingSpeed) {
        const auto into = static_cast<std::int64_t>(t - fastFrom);
        if (into % 16000 >= 8000 && into % 16000 < 11000)
            r.rpm = 3200;
    }
    r.hc = g.hc;
    r.co = g.co;
    r.co2 = g.co2;
    r.o2 = g.o2;
    r.nox = g.nox;
    r.lambda = g.lambda;
    r.oilTenths = car.oilProbe ? oilAt(car, t) : 0;
    r.probeInExhaust = probeIn;
    return r;
}

} // namespace qova::sim
