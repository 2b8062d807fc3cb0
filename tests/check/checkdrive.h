#pragma once

#include "check/emissionscheck.h"
#include "link/protocol.h"

#include <functional>
#include <optional>

namespace qova::test {

// A measuring analyser's frame: ready, pump on, oil warm.
inline link::LiveReading Exhaust(int rpm, int co = 20, int hc = 50, int lambda = 1000, int oil = 800)
{
    link::LiveReading r;
    r.StatusB = link::PumpOn;
    r.Rpm = static_cast<std::int16_t>(rpm);
    r.Co = static_cast<std::int16_t>(co);
    r.Hc = static_cast<std::int16_t>(hc);
    r.Efficiency = static_cast<std::int16_t>(lambda);
    r.OilTemp = static_cast<std::int16_t>(oil);
    r.FuelCode = 1;
    return r;
}

// A ready analyser with the probe in clean air (no CO or CO2, O2 20.9 %, `hc` left in the
// line) and the engine running at `rpm`.
inline link::LiveReading CleanAir(int hc = 0, int oil = 800, int rpm = 800)
{
    link::LiveReading r = Exhaust(rpm, 0, hc, 1000, oil);
    r.O2 = 2090;
    return r;
}

// The frame at each time; std::nullopt for one that failed its check.
using FrameScript = std::function<std::optional<link::LiveReading>(std::int64_t atMs)>;

// Clean air with `residualHc` in the line up to time 0, the oil and engine as `later` has
// them at 0 (warm at idle when it has no frame then); from then on `later`.
inline FrameScript CleanAirThen(FrameScript later, int residualHc = 4)
{
    return [later = std::move(later), residualHc](std::int64_t t) -> std::optional<link::LiveReading> {
        if (t > 0)
            return later(t);
        const std::optional<link::LiveReading> f = later(0);
        return CleanAir(residualHc, f ? f->OilTemp : 800, f ? f->Rpm : 800);
    };
}

// Feeds a frame every `stepMs` from `fromMs` until the check finishes or `untilMs` passes;
// returns the time of the frame that finished it. By default the script's times before 0
// are the 3 s of clean air the residual HC is taken from.
inline std::optional<std::int64_t> Drive(check::EmissionsCheck &check, const FrameScript &script, std::int64_t untilMs,
                                         int stepMs = 100, std::int64_t fromMs = -check::CleanAirRule::kSpanMs)
{
    for (std::int64_t t = fromMs; t <= untilMs; t += stepMs) {
        check.feed(t, script(t));
        if (check.finished())
            return t;
    }
    return std::nullopt;
}

} // namespace qova::test
