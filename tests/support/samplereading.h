#pragma once

#include "link/livereading.h"

#include <cstdint>
#include <vector>

namespace qova::test {

// The reading tests use where any believable petrol reading will do, and which the report
// and recording tests print: CO 1.50 %, CO2 14.5 %, O2 20.90 %, HC 57, NOx 12, 850 rpm,
// oil 25.0 degC, lambda 1.000. A test that needs another figure changes just that field,
// so what the test is about stands out.
inline link::LiveReading SampleReading()
{
    link::LiveReading r;
    r.Co = 150;
    r.Co2 = 145;
    r.Hc = 57;
    r.O2 = 2090;
    r.Nox = 12;
    r.Rpm = 850;
    r.OilTemp = 250;
    r.Efficiency = 1000;
    r.FuelCode = 1;
    return r;
}

// The 24 bytes the analyser sends for `reading`, as a scripted device's reply.
inline std::vector<std::uint8_t> FrameBytes(const link::LiveReading &reading)
{
    const auto frame = link::EncodeLiveFrame(reading);
    return {frame.begin(), frame.end()};
}

} // namespace qova::test
