#include "link/serialports.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>

namespace qova::link {

namespace {
// Linux: the tty's device in sysfs lies under its USB device, named by bus and ports.
QString usbLocationOf(const QString &name)
{
#ifdef Q_OS_LINUX
    const QString device = QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(name)).canonicalFilePath();
    static const QRegularExpression usbDevice(QStringLiteral("^\\d+-[\\d.]+$"));
    const QStringList parts = device.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (auto it = parts.crbegin(); it != parts.crend(); ++it)
        if (usbDevice.match(*it).hasMatch())
            return *it;
#else
    Q_UNUSED(name);
#endif
    return {};
}

bool sameProduct(const SerialPortDescription &a, const SerialPortDescription &b)
{
    return a.vendorId == b.vendorId && a.productId == b.productId;
}
} // namespace

std::optional<QString> FindAdapterAgain(const SerialPortDescription &was, const std::vector<SerialPortDescription> &now)
{
    for (const auto &p : now)
        if (p.location == was.location)
            return std::nullopt;
    std::vector<const SerialPortDescription *> found;
    for (const auto &p : now) {
        if (!sameProduct(p, was))
            continue;
        if (!was.serialNumber.isEmpty() ? p.serialNumber == was.serialNumber
                                        : was.vendorId && was.productId && !was.usbLocation.isEmpty() &&
                                              p.serialNumber.isEmpty() && p.usbLocation == was.usbLocation)
            found.push_back(&p);
    }
    // Two adapters alike (cheap ones share a serial number) cannot be told apart.
    if (found.size() != 1)
        return std::nullopt;
    return found.front()->location;
}

void AdapterMemory::opened(const QString &name, const QString &location)
{
    for (const auto &p : ports_())
        if (p.location == location) {
            known_[name] = p;
            return;
        }
}

std::optional<QString> AdapterMemory::movedTo(const QString &name) const
{
    const auto it = known_.find(name);
    if (it == known_.end())
        return std::nullopt;
    return FindAdapterAgain(it->second, ports_());
}

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
        d.usbLocation = usbLocationOf(d.name);
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
