#include "demoanalyser.h"

#include "frame.h"
#include "livereading.h"

namespace qova::sim {

std::vector<std::uint8_t> DemoAnalyser::receive(std::uint8_t byte, std::int64_t)
{
    if (byte != link::kPollCommand)
        return {};
    ++polls_;
    link::LiveReading r;
    r.Battery = 87;
    r.TimeToZero = 12;
    r.Efficiency = 1000;
    r.Hc = static_cast<std::int16_t>(60 + polls_ % 7);
    r.Co = 150;
    r.Co2 = 145;
    r.Nox = 25;
    r.Rpm = 850;
    r.OilTemp = 650;
    r.O2 = 210;
    r.FuelCode = 1;
    r.StatusB = link::PumpOn;
    const auto frame = link::EncodeLiveFrame(r);
    return {frame.begin(), frame.end()};
}

} // namespace qova::sim
