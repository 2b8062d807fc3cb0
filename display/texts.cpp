#include "texts.h"

namespace qova::display {

PanelTexts FormatPanelTexts(const link::LiveReading &r, bool usLocale)
{
    PanelTexts t;
    const auto efficiency = link::EfficiencyValue(r);
    t[0] = efficiency.alternate ? QString::asprintf("AFR      %.2f", efficiency.value)
                                : QString::asprintf("LAMBDA   %.3f", efficiency.value);
    const auto oil = link::OilTemperature(r);
    t[1] = QString::asprintf(oil.alternate ? "OIL \u00b0F    %.1f" : "OIL \u00b0C    %.1f", oil.value);
    t[2] = QString::asprintf("RPM     %04d", static_cast<int>(r.Rpm));
    t[3] = QStringLiteral("FUEL  ") + link::FuelName(r.FuelCode, usLocale);
    t[4] = QString::asprintf("BATTERY %%  %03d", static_cast<int>(r.Battery));
    t[5] = QString::asprintf("TIME TO ZERO %02d", static_cast<int>(r.TimeToZero));
    t[6] = QString::asprintf("NOx: %04d", static_cast<int>(r.Nox));
    return t;
}

PanelTexts InitialPanelTexts()
{
    return {QStringLiteral("LAMBDA "),      QStringLiteral("OIL "),    QStringLiteral("RPM "),
            QStringLiteral("FUEL  PETROL"), QStringLiteral("BATTERY"), QStringLiteral("TIME TO ZERO"),
            QStringLiteral("NO : ")};
}

QString PumpText(const link::LiveReading &r)
{
    return (r.StatusB & link::PumpOn) ? QStringLiteral("Pump: ON") : QStringLiteral("Pump: OFF");
}

QString PowerText(const link::LiveReading &r)
{
    return (r.StatusA & link::PowerUpCountdown) ? QStringLiteral("Power Up CountDown")
                                                : QStringLiteral("Normal Operation");
}

} // namespace qova::display
