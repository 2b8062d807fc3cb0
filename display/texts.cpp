#include "display/texts.h"

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

namespace {
// The display shows a gas above its range as all nines; said aloud, that is what it means.
const QString kOverRange = QStringLiteral("over range");
constexpr int kNines = 9999, kCo2Nines = 999;
} // namespace

SpokenFigureTexts SpokenFigures(const link::LiveReading &r)
{
    auto say = [](const char *gas, bool over, const QString &value) {
        return QString::fromLatin1(gas) + QLatin1Char(' ') + (over ? kOverRange : value);
    };
    return {say("CO", r.Co == kNines, QStringLiteral("%1 percent").arg(r.Co / 100.0, 0, 'f', 2)),
            say("CO2", r.Co2 == kCo2Nines, QStringLiteral("%1 percent").arg(r.Co2 / 10.0, 0, 'f', 1)),
            say("O2", r.O2 == kNines, QStringLiteral("%1 percent").arg(r.O2 / 100.0, 0, 'f', 2)),
            say("HC", r.Hc == kNines, QStringLiteral("%1 parts per million").arg(r.Hc))};
}

SpokenFigureTexts SpokenFiguresBeforeReading()
{
    return {QStringLiteral("CO percent"), QStringLiteral("CO2 percent"), QStringLiteral("O2 percent"),
            QStringLiteral("HC parts per million")};
}

PanelTexts SpokenPanels(const link::LiveReading &r, bool usLocale)
{
    PanelTexts t;
    const auto efficiency = link::EfficiencyValue(r);
    const QString ratio = efficiency.alternate ? QStringLiteral("Air fuel ratio") : QStringLiteral("Lambda");
    t[0] = r.Efficiency == kNines
               ? ratio + QStringLiteral(" out of range")
               : ratio + QStringLiteral(" %1").arg(efficiency.value, 0, 'f', efficiency.alternate ? 2 : 3);
    const auto oil = link::OilTemperature(r);
    t[1] = QStringLiteral("Oil temperature %1 degrees %2")
               .arg(oil.value, 0, 'f', 1)
               .arg(oil.alternate ? QStringLiteral("Fahrenheit") : QStringLiteral("Celsius"));
    t[2] = QStringLiteral("Engine speed %1 rpm").arg(r.Rpm);
    const QString fuel = link::FuelName(r.FuelCode, usLocale).trimmed();
    t[3] = fuel.isEmpty() ? QStringLiteral("Fuel not set") : QStringLiteral("Fuel ") + fuel.toLower();
    t[4] = QStringLiteral("Battery %1 percent").arg(r.Battery);
    t[5] = QStringLiteral("Time to zero %1 minutes").arg(r.TimeToZero);
    t[6] = r.Nox == kNines ? QStringLiteral("NOx over range") : QStringLiteral("NOx %1 parts per million").arg(r.Nox);
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
