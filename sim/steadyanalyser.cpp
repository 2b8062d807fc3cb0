#include "sim/steadyanalyser.h"

#include "link/frame.h"

namespace qova::sim {

std::vector<std::uint8_t> SteadyAnalyser::receive(std::uint8_t byte, std::int64_t)
{
    if (byte != link::kPollCommand)
        return {};
    const auto frame = link::EncodeLiveFrame(reading_);
    return {frame.begin(), frame.end()};
}

link::LiveReading TypicalIdleReading()
{
    link::LiveReading r;
    r.Battery = 87;
    r.TimeToZero = 12;
    r.Efficiency = 1000;
    r.Hc = 60;
    r.Co = 150;
    r.Co2 = 145;
    r.Nox = 25;
    r.Rpm = 850;
    r.OilTemp = 650;
    r.O2 = 210;
    r.FuelCode = 1;
    r.StatusB = link::PumpOn;
    return r;
}

} // namespace qova::sim
