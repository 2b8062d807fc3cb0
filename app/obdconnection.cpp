#include "app/obdconnection.h"

#include "settings/validatedsettings.h"
#include "sim/elmcar.h"

#include <QDir>
#include <QSettings>

namespace qova::app {

QStringList DemoObdCars()
{
    QStringList names;
    for (sim::ObdCar car : sim::ObdCars()) {
        const std::string_view name = sim::ObdCarName(car);
        names << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    return names;
}

qova::Result<std::optional<obd::ObdAddress>> ParseObdChoice(const QString &text)
{
    return obd::ParseObdAddress(text, DemoObdCars());
}

std::optional<QString> ObdEnvironment()
{
    if (!qEnvironmentVariableIsSet(obd::kObdEnvironment))
        return std::nullopt;
    return qEnvironmentVariable(obd::kObdEnvironment);
}

ObdChoice ReadObdChoice(QSettings &settings, const std::optional<QString> &environment)
{
    ObdChoice choice;
    if (environment) {
        choice.fromEnvironment = true;
        choice.environmentText = *environment;
        const auto parsed = ParseObdChoice(*environment);
        if (parsed.ok())
            choice.address = parsed.value();
        else
            choice.problem = QStringLiteral("The environment variable %1 names no OBD adapter: %2 The program runs "
                                            "without one; correct or unset %1.")
                                 .arg(QString::fromLatin1(obd::kObdEnvironment), parsed.problem().text());
        return choice;
    }
    settings::ValidatedSettings read(settings);
    // As long as the analyser's connection may be; a longer value is a damaged file.
    const QString kept = read.text({QString::fromLatin1(kObdChoiceKey), QString(), 300}).trimmed();
    const QString where = QDir::toNativeSeparators(settings.fileName());
    if (!read.messages().isEmpty()) {
        choice.problem = QStringLiteral("The OBD adapter kept in %1 was ignored: %2 The program runs without one; "
                                        "choose it again in FILE > COMM.")
                             .arg(where, read.messages().join(QLatin1Char(' ')));
        return choice;
    }
    const auto parsed = ParseObdChoice(kept);
    if (parsed.ok())
        choice.address = parsed.value();
    else
        choice.problem = QStringLiteral("The OBD adapter kept in %1 (key %2) names none: %3 The program runs "
                                        "without one; choose it again in FILE > COMM.")
                             .arg(where, QString::fromLatin1(kObdChoiceKey), parsed.problem().text());
    return choice;
}

Done WriteObdChoice(QSettings &settings, const std::optional<obd::ObdAddress> &address)
{
    if (address)
        settings.setValue(QLatin1String(kObdChoiceKey), obd::ObdAddressText(*address));
    else
        settings.remove(QLatin1String(kObdChoiceKey));
    settings.sync();
    const QString what = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(settings.fileName()));
    if (!settings.isWritable())
        return Problem{what, QStringLiteral("the system does not let the program write it"), {}};
    if (settings.status() != QSettings::NoError)
        return Problem{what, QStringLiteral("the system refused access to it"), {}};
    return {};
}

ObdConnection::ObdConnection(link::Pause &clock, DeviceMaker makeDevice, obd::ObdLink *&published)
    : link_(clock), makeDevice_(std::move(makeDevice)), published_(published)
{
    published_ = nullptr;
}

namespace {
// "demo" is the first demo car by another name.
bool SameAdapter(const std::optional<obd::ObdAddress> &a, const std::optional<obd::ObdAddress> &b)
{
    if (a && b && a->kind == obd::ObdAddress::Kind::Demo && b->kind == a->kind) {
        const QString first = DemoObdCars().value(0);
        return (a->demoCar.isEmpty() ? first : a->demoCar) == (b->demoCar.isEmpty() ? first : b->demoCar);
    }
    return a == b;
}
} // namespace

void ObdConnection::use(const std::optional<obd::ObdAddress> &address)
{
    if (SameAdapter(address, address_) && (link_.inUse() || !address))
        return;
    address_ = address;
    if (!address || !makeDevice_) {
        published_ = nullptr;
        link_.useNone();
        return;
    }
    link_.use(makeDevice_(*address), obd::ObdLink::OptionsFor(*address));
    published_ = &link_;
}

} // namespace qova::app
