#include "app/statustexts.h"

#include "history/databaseurl.h"

namespace qova::app {

namespace {

QString DeviceText(const QString &device)
{
    if (device == QLatin1String("demo"))
        return QStringLiteral("demo: the simulated analyser");
    if (device.startsWith(QLatin1String("demo:")))
        return QStringLiteral("demo: ") + device.mid(5);
    if (device.startsWith(QLatin1String("/dev/")))
        return device.mid(5);
    return device;
}

} // namespace

QString ConnectionStatusText(int portNumber, const QString &chosenDevice, const QString &comDevice)
{
    const QString prefix = QStringLiteral("Connection: ");
    if (!chosenDevice.isEmpty())
        return prefix + DeviceText(chosenDevice);
    const QString com = QStringLiteral("COM%1").arg(portNumber);
    // COMn is /dev/ttyS(n-1) on Linux and itself on Windows unless QOVA_COMn says otherwise.
    const QString plain = QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    if (comDevice.isEmpty() || comDevice == com || comDevice == plain)
        return prefix + com;
    return prefix + com + QStringLiteral(" = ") + DeviceText(comDevice) +
           QStringLiteral(" (QOVA_COM%1)").arg(portNumber);
}

QString HistoryStatusText(const QString &url, HistoryReach reach, const QString &problem)
{
    const history::DatabaseLocation where = history::ParseDatabaseUrl(url);
    QString text = QStringLiteral("History: ");
    switch (where.kind) {
    case history::DatabaseLocation::Kind::Invalid:
        return text + QStringLiteral("no usable database address, see HISTORY > DATABASE");
    case history::DatabaseLocation::Kind::Sqlite:
        text += QStringLiteral("SQLite file ") + where.path;
        break;
    case history::DatabaseLocation::Kind::Postgresql:
        text += QStringLiteral("server ") + where.shown;
        break;
    }
    switch (reach) {
    case HistoryReach::Open:
        return text + QStringLiteral(", reachable");
    case HistoryReach::Connecting:
        return text + QStringLiteral(", connecting");
    case HistoryReach::NotReachable:
        break;
    }
    text += QStringLiteral(", NOT reachable");
    if (!problem.isEmpty())
        text += QStringLiteral(": ") + problem.section(QLatin1Char('\n'), 0, 0);
    return text + QStringLiteral(" (tests wait and are saved once it is back; HISTORY > DATABASE)");
}

} // namespace qova::app
