#include "graphreading.h"

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
    const link::UnitValue efficiency = link::EfficiencyValue(r);
    t.efficiency = efficiency.alternate ? QString::asprintf("AFR      %.2f", efficiency.value)
                                        : QString::asprintf("LAMBDA   %.3f", efficiency.value);
    const link::UnitValue oil = link::OilTemperature(r);
    t.oil = QString::asprintf(oil.alternate ? "OIL \u00B0F    %.1f" : "OIL \u00B0C    %.1f", oil.value);
    t.rpm = QString::asprintf("RPM     %04d", r.Rpm);
    t.fuel = QStringLiteral("FUEL  ") + link::FuelName(r.FuelCode, usLocale);
    t.battery = QString::asprintf("BATTERY %%  %03d", r.Battery);
    t.timeToZero = QString::asprintf("TIME TO ZERO %02d", r.TimeToZero);
    return t;
}

} // namespace qova::display
