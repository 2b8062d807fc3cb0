#include "display/clamp.h"

#include <algorithm>

namespace qova::display {

namespace {
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
    r = link::WithinShownRanges(r);
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
