#pragma once

#include <cstdint>
#include <vector>

namespace qova::sim {

// A model of the analyser at the far end of the line: it takes the bytes the program
// sends and says what it sends back. Time is given by the caller, so the same model
// serves the in-process device, the pseudo-terminal program and tests.
class Analyser {
public:
    virtual ~Analyser() = default;
    // One byte from the program at `nowMs`; returns the bytes the analyser answers.
    virtual std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) = 0;
};

// A plausible analyser in normal operation (the full model lives in its own file).
class DemoAnalyser;

} // namespace qova::sim
