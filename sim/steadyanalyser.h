#pragma once

#include "link/livereading.h"
#include "sim/analyser.h"

namespace qova::sim {

// An analyser that answers every poll with the same reading, so what a window shows or
// writes is known in advance. Other commands are taken and not answered.
class SteadyAnalyser final : public Analyser {
public:
    explicit SteadyAnalyser(const link::LiveReading &reading) : reading_(reading) {}
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override;

    link::LiveReading reading_;
};

// A warm engine at idle in normal operation with the pump on: CO 1.50 %, CO2 14.5 %,
// O2 2.10 %, HC 60 ppm, NOx 25, 850 rpm, oil 65.0 degC, lambda 1.000, petrol.
link::LiveReading TypicalIdleReading();

} // namespace qova::sim
