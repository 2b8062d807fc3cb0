#include "display/graphreading.h"

#include "display/texts.h"

namespace qova::display {

std::array<int, kTraceCount> GraphTraceValues(const link::LiveReading &r)
{
    return {
        r.Co / 20, (r.Co2 * 10) / 20, r.Hc / 20, r.O2 / 20, r.Nox / 20, r.Efficiency / 20, r.Rpm / 200, r.OilTemp / 20,
    };
}

QString EfficiencyCaption(const link::LiveReading &r)
{
    return (r.ModeFlags & link::AfrMode) ? QStringLiteral("AFR") : QStringLiteral("LMB");
}

GraphPanelTexts GraphPanels(const link::LiveReading &r, bool usLocale)
{
    GraphPanelTexts t;
    t.co = QString::asprintf("CO:  %.2f", r.Co * 0.01);
    t.co2 = QString::asprintf("CO2:  %.1f", r.Co2 * 0.1);
    t.hc = QString::asprintf("HC:  %04d", r.Hc);
    t.o2 = QString::asprintf("O2:  %.2f", r.O2 * 0.01);
    t.no = QString::asprintf("NO:  %04d", r.Nox);
    // The small panels read as the digital display's do.
    const PanelTexts shared = FormatPanelTexts(r, usLocale);
    t.efficiency = shared[0];
    t.oil = shared[1];
    t.rpm = shared[2];
    t.fuel = shared[3];
    t.battery = shared[4];
    t.timeToZero = shared[5];
    return t;
}

} // namespace qova::display
