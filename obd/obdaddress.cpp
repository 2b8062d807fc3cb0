#include "obd/obdaddress.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>

namespace qova::obd {

qova::Result<std::optional<ObdAddress>> ParseObdAddress(const QString &text, const QStringList &demoCars)
{
    using qova::Problem;
    QString t = text.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return std::optional<ObdAddress>();
    if (t == QLatin1String("demo"))
        return std::optional(ObdAddress{ObdAddress::Kind::Demo, t, std::nullopt, {}});
    if (t.startsWith(QLatin1String(kObdDemoPrefix))) {
        const QString car = t.mid(static_cast<qsizetype>(std::strlen(kObdDemoPrefix)));
        if (!demoCars.contains(car))
            return Problem{QStringLiteral("\"%1\" names no simulated car").arg(text),
                           demoCars.isEmpty()
                               ? QStringLiteral("this program has no simulated cars.")
                               : QStringLiteral("the demo cars are %1.").arg(demoCars.join(QStringLiteral(", "))),
                           QStringLiteral("Write demo or demo:CAR with one of them.")};
        return std::optional(ObdAddress{ObdAddress::Kind::Demo, t, std::nullopt, car});
    }
    if (t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        static const QRegularExpression hostPort(
            QStringLiteral("^tcp://(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9.-]+):([0-9]{1,5})$"),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = hostPort.match(t);
        const int port = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (port < 1 || port > 65535)
            return Problem{QStringLiteral("\"%1\" is no network address of an OBD adapter").arg(text),
                           QStringLiteral("write tcp://HOST:PORT, for example tcp://192.168.0.10:35000."),
                           {}};
        return std::optional(ObdAddress{ObdAddress::Kind::Network, t, std::nullopt, {}});
    }
    std::optional<int> baud;
    if (const auto at = t.lastIndexOf(QLatin1Char('@')); at >= 0) {
        bool ok = false;
        const int b = t.mid(at + 1).toInt(&ok);
        if (!ok || std::find(std::begin(kObdBaudRates), std::end(kObdBaudRates), b) == std::end(kObdBaudRates))
            return Problem{QStringLiteral("\"%1\"").arg(text),
                           QStringLiteral("an OBD adapter's baud rate is 38400, 9600 or 115200."),
                           {}};
        baud = b;
        t = t.left(at);
    }
    if (t.isEmpty() || t.contains(QRegularExpression(QStringLiteral("[\\s\"'<>|]"))))
        return Problem{QStringLiteral("\"%1\" is no serial device name.").arg(text), {}, {}};
    return std::optional(ObdAddress{ObdAddress::Kind::Serial, t, baud, {}});
}

QString ObdAddressText(const ObdAddress &address)
{
    if (address.kind == ObdAddress::Kind::Serial && address.baudRate)
        return QStringLiteral("%1@%2").arg(address.name).arg(*address.baudRate);
    return address.name;
}

} // namespace qova::obd
