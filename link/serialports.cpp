#include "serialports.h"

#include <QCollator>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>

namespace qova::link {

std::vector<SerialPortDescription> DetectedSerialPorts()
{
    std::vector<SerialPortDescription> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortDescription d;
        d.name = info.portName();
        d.location = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            d.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            d.productId = info.productIdentifier();
        ports.push_back(std::move(d));
    }
    // COM10 after COM9, ttyUSB10 after ttyUSB9.
    QCollator order;
    order.setNumericMode(true);
    std::sort(ports.begin(), ports.end(),
              [&order](const auto &a, const auto &b) { return order.compare(a.name, b.name) < 0; });
    return ports;
}

QString DescribePort(const SerialPortDescription &port)
{
    QStringList parts;
    if (!port.description.isEmpty())
        parts << port.description;
    if (!port.manufacturer.isEmpty() && port.manufacturer != port.description)
        parts << port.manufacturer;
    if (port.vendorId && port.productId)
        parts << QStringLiteral("USB %1:%2")
                     .arg(*port.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(*port.productId, 4, 16, QLatin1Char('0'));
    if (!port.serialNumber.isEmpty())
        parts << QStringLiteral("serial %1").arg(port.serialNumber);
    if (parts.isEmpty())
        return port.name;
    return port.name + QStringLiteral("  ") + parts.join(QStringLiteral(", "));
}

} // namespace qova::link
