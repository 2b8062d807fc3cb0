#include "clamp.h"

#include <algorithm>

namespace qova::display {

namespace {
std::int16_t clampGas(std::int16_t value, int top, std::int16_t overRange)
{
    if (value < 0)
        return 0;
    if (value > top)
        return overRange;
    return value;
}

void atMost(std::int16_t &v, std::int16_t upper)
{
    v = std::min(v, upper);
}
void within(std::int16_t &v, std::int16_t lower, std::int16_t upper)
{
    v = std::clamp(v, lower, upper);
}
} // namespace

void ClampForDisplay(link::LiveReading &r)
{
    const bool afr = (r.ModeFlags & link::AfrMode) != 0;
    const int low = afr ? 730 : 500;
    const int high = afr ? 14700 : 10000;
    if (r.Efficiency < low || r.Efficiency > high)
        r.Efficiency = 9999;
    r.Hc = clampGas(r.Hc, 9999, 9999);
    r.Co = clampGas(r.Co, 2500, 9999);
    r.Co2 = clampGas(r.Co2, 250, 999);
    r.Nox = clampGas(r.Nox, 5000, 9999);
    r.O2 = clampGas(r.O2, 2200, 9999);
}

void ClampForGraph(link::LiveReading &r)
{
    atMost(r.Efficiency, 2000);
    within(r.Hc, 0, 2000);
    within(r.Co, 0, 2000);
    within(r.Co2, 0, 200);
    atMost(r.Nox, 2000);
    atMost(r.Rpm, 20000);
    atMost(r.OilTemp, 2000);
    within(r.O2, 0, 2000);
}

} // namespace qova::display
