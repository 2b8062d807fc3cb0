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

namespace {
struct Saying {
    const char *name;
    int decimals;
    const char *unit; // after the value, with its blank; none for a ratio
};
Saying sayingOf(Quantity q)
{
    switch (q) {
    case Quantity::Co:
        return {"CO", 2, " percent"};
    case Quantity::Co2:
        return {"CO2", 1, " percent"};
    case Quantity::O2:
        return {"O2", 2, " percent"};
    case Quantity::Hc:
        return {"HC", 0, " parts per million"};
    case Quantity::Nox:
        return {"NOx", 0, " parts per million"};
    case Quantity::Lambda:
        return {"Lambda", 3, ""};
    case Quantity::AirFuelRatio:
        return {"Air fuel ratio", 2, ""};
    case Quantity::EngineSpeed:
        return {"Engine speed", 0, " rpm"};
    case Quantity::OilCelsius:
        return {"Oil temperature", 1, " degrees Celsius"};
    case Quantity::OilFahrenheit:
        return {"Oil temperature", 1, " degrees Fahrenheit"};
    case Quantity::Battery:
        return {"Battery", 0, " percent"};
    case Quantity::TimeToZero:
        return {"Time to zero", 0, " minutes"};
    }
    return {"", 0, ""};
}
} // namespace

QString SpokenValue(Quantity q, double value, int decimals)
{
    const Saying s = sayingOf(q);
    return QStringLiteral("%1 %2%3")
        .arg(QString::fromLatin1(s.name))
        .arg(value, 0, 'f', decimals >= 0 ? decimals : s.decimals)
        .arg(QString::fromLatin1(s.unit));
}

QString SpokenWithout(Quantity q, const QString &why)
{
    return QString::fromLatin1(sayingOf(q).name) + QLatin1Char(' ') + why;
}

SpokenFigureTexts SpokenFigures(const link::LiveReading &r)
{
    auto say = [](Quantity q, bool over, double value) {
        return over ? SpokenWithout(q, kOverRange) : SpokenValue(q, value);
    };
    return {say(Quantity::Co, r.Co == kNines, r.Co / 100.0), say(Quantity::Co2, r.Co2 == kCo2Nines, r.Co2 / 10.0),
            say(Quantity::O2, r.O2 == kNines, r.O2 / 100.0), say(Quantity::Hc, r.Hc == kNines, r.Hc)};
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
    const Quantity ratio = efficiency.alternate ? Quantity::AirFuelRatio : Quantity::Lambda;
    t[0] = r.Efficiency == kNines ? SpokenWithout(ratio, QStringLiteral("out of range"))
                                  : SpokenValue(ratio, efficiency.value);
    const auto oil = link::OilTemperature(r);
    t[1] = SpokenValue(oil.alternate ? Quantity::OilFahrenheit : Quantity::OilCelsius, oil.value);
    t[2] = SpokenValue(Quantity::EngineSpeed, r.Rpm);
    const QString fuel = link::FuelName(r.FuelCode, usLocale).trimmed();
    t[3] = fuel.isEmpty() ? QStringLiteral("Fuel not set") : QStringLiteral("Fuel ") + fuel.toLower();
    t[4] = SpokenValue(Quantity::Battery, r.Battery);
    t[5] = SpokenValue(Quantity::TimeToZero, r.TimeToZero);
    t[6] = r.Nox == kNines ? SpokenWithout(Quantity::Nox, kOverRange) : SpokenValue(Quantity::Nox, r.Nox);
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
