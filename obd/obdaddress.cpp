#include "obd/obdaddress.h"

#include <QRegularExpression>
#include <algorithm>

namespace qova::obd {

ParsedObdAddress ParseObdAddress(const QString &text)
{
    ParsedObdAddress out;
    QString t = text.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return out;
    if (t == QLatin1String("demo")) {
        out.address = ObdAddress{ObdAddress::Kind::Demo, t, std::nullopt};
        return out;
    }
    if (t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        static const QRegularExpression hostPort(
            QStringLiteral("^tcp://(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9.-]+):([0-9]{1,5})$"),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = hostPort.match(t);
        const int port = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (port < 1 || port > 65535) {
            out.problem = QStringLiteral("\"%1\" is no network address of an OBD adapter: write tcp://HOST:PORT, for "
                                         "example tcp://192.168.0.10:35000.")
                              .arg(text);
            return out;
        }
        out.address = ObdAddress{ObdAddress::Kind::Network, t, std::nullopt};
        return out;
    }
    std::optional<int> baud;
    if (const auto at = t.lastIndexOf(QLatin1Char('@')); at >= 0) {
        bool ok = false;
        const int b = t.mid(at + 1).toInt(&ok);
        if (!ok || std::find(std::begin(kObdBaudRates), std::end(kObdBaudRates), b) == std::end(kObdBaudRates)) {
            out.problem = QStringLiteral("\"%1\": an OBD adapter's baud rate is 38400, 9600 or 115200.").arg(text);
            return out;
        }
        baud = b;
        t = t.left(at);
    }
    if (t.isEmpty() || t.contains(QRegularExpression(QStringLiteral("[\\s\"'<>|]")))) {
        out.problem = QStringLiteral("\"%1\" is no serial device name.").arg(text);
        return out;
    }
    out.address = ObdAddress{ObdAddress::Kind::Serial, t, baud};
    return out;
}

} // namespace qova::obd
