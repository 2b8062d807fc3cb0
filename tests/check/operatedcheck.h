#pragma once

#include "check/emissionscheck.h"
#include "tests/sim/simlink.h"

#include <cstdint>

namespace qova::test {

struct OperatedCheck {
    std::int64_t coldMs = 0; // how long the check waited for the oil to warm
    link::LiveReading last;  // the last reading polled, to say where a check stuck
};

// The operator of a whole check against the simulated analyser, polling every `pollMs` until
// the check ends or `untilMs`: declines the leak test, confirms every other prompt at the
// next poll, says the engine is warm when there is no oil probe.
inline OperatedCheck OperateCheck(SimLink &sim, check::EmissionsCheck &check, std::int64_t untilMs, int pollMs)
{
    OperatedCheck run;
    link::LiveReading &r = run.last;
    while (!check.finished() && sim.clock.nowMs() < untilMs) {
        const bool valid = sim.cycle(r, pollMs);
        check.feed(sim.clock.nowMs(), valid ? std::optional(r) : std::nullopt);
        if (check.state().phase == check::CheckPhase::WaitingForWarmEngine)
            run.coldMs += pollMs;
        if (check.state().phase == check::CheckPhase::WaitingForWarmConfirmation)
            check.confirmEngineWarm();
        if (valid && (r.StatusA & link::LeakTestOffer))
            sim.send(link::kDeclineReply);
        else if (valid && (r.StatusA & ~link::PowerUpCountdown))
            sim.send(link::kConfirmReply);
    }
    return run;
}

} // namespace qova::test
