#pragma once

#include <cstdint>
#include <vector>

namespace qova::sim {

// Faults a test can switch on, to see the program cope with a poor line or a broken
// analyser. All off by default.
struct Faults {
    int badFrameEvery = 0;           // every n-th live frame carries a wrong check word (1: every one)
    int badBlockEvery = 0;           // the first sending of every n-th upload block carries a wrong check word
    bool resentBlocksBad = false;    // ...and so does every sending of it again
    bool silent = false;             // answers nothing at all
    bool partialFrames = false;      // live frames stop short after kPartialFrameBytes bytes
    bool flood = false;              // sends noise without end, faster than a read can find the line idle
    std::int64_t unplugAfterMs = -1; // the device vanishes this long after power-on (negative: never)
};

inline constexpr int kPartialFrameBytes = 13;
// Noise bytes a flood puts on the line per millisecond.
inline constexpr int kFloodBytesPerMs = 4;

// A model of the analyser at the far end of the line: it takes the bytes the program
// sends and says what it sends back. Time is given by the caller, so the same model
// serves the in-process device, the pseudo-terminal program and tests.
class Analyser {
public:
    virtual ~Analyser() = default;
    // Switches the analyser on at `nowMs`, unless it is on already.
    virtual void powerOn(std::int64_t nowMs) { (void)nowMs; }
    // One byte from the program at `nowMs`; returns the bytes the analyser answers.
    virtual std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) = 0;
    // Bytes the analyser sent up to `nowMs` without being asked (noise of a faulty line).
    virtual std::vector<std::uint8_t> unasked(std::int64_t nowMs)
    {
        (void)nowMs;
        return {};
    }
    // The analyser has gone from the line, as an unplugged adapter does.
    virtual bool unplugged(std::int64_t nowMs) const
    {
        (void)nowMs;
        return false;
    }
};

} // namespace qova::sim
