#include "link/serialport.h"

#include "link/networkdevice.h"

namespace qova::link {

namespace {
// Read before the device is closed: closing may clear the system's reason.
Problem portProblem(const PortState &port)
{
    QString why = port.PortHandle ? port.PortHandle->errorString() : QString();
    if (why.isEmpty())
        why = QStringLiteral("the port could not be set up");
    return {ShownDeviceName(port), why, kConnectionFix};
}

Done failStep(PortState &port)
{
    Problem problem = portProblem(port);
    if (port.PortHandle)
        port.PortHandle->close();
    return problem;
}
} // namespace

QString DeviceCaptionName(const QString &device)
{
    if (const auto address = ParseNetworkName(device))
        return NetworkDisplayName(*address);
    if (device.startsWith(QLatin1String("/dev/")))
        return device.mid(5);
    return device;
}

QString PortCaptionName(const PortState &port)
{
    if (!port.PortDevice.isEmpty() && port.namedFactory)
        return DeviceCaptionName(port.PortDevice);
    return QStringLiteral("COM%1").arg(port.PortNumber);
}

QString ShownDeviceName(const PortState &port)
{
    const QString chosen = PortCaptionName(port);
    const QString device = port.PortHandle ? port.PortHandle->deviceName() : QString();
    if (device.isEmpty())
        return chosen;
    if (device == chosen || DeviceCaptionName(device) == chosen)
        return device;
    return QStringLiteral("%1 (%2)").arg(chosen, device);
}

Done OpenPortDevice(PortState &port)
{
    if (port.PortOpen && port.PortHandle)
        port.PortHandle->close();
    port.PortHandle = !port.PortDevice.isEmpty() && port.namedFactory ? port.namedFactory(port.PortDevice)
                                                                      : port.factory(port.PortNumber);
    if (!port.PortHandle || !port.PortHandle->openDevice())
        return failStep(port);
    return {};
}

Done SetLineSettings(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setLineSettings())
        return failStep(port);
    return {};
}

Done SetPortTimeouts(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setTimeouts())
        return failStep(port);
    return {};
}

Done SetPortQueues(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setQueues())
        return failStep(port);
    return {};
}

Done OpenPort(PortState &port)
{
    for (Done (*step)(PortState &) : {OpenPortDevice, SetLineSettings, SetPortTimeouts, SetPortQueues}) {
        if (Done done = step(port); !done.ok()) {
            port.PortOpen = false;
            return done;
        }
    }
    port.PortOpen = port.handleValid();
    if (!port.PortOpen)
        return portProblem(port);
    return {};
}

void ClosePort(PortState &port)
{
    if (port.PortOpen && port.PortHandle)
        port.PortHandle->close();
    port.PortOpen = false;
}

bool WriteByte(PortState &port, std::uint8_t byte)
{
    if (!port.handleValid())
        return false;
    return port.PortHandle->writeByte(byte);
}

std::uint8_t ReadByte(PortState &port)
{
    if (!port.handleValid()) {
        port.BytesRead = 0;
        return 0;
    }
    const auto byte = port.PortHandle->readByte();
    port.BytesRead = byte ? 1 : 0;
    return byte.value_or(0);
}

void DrainInput(PortState &port)
{
    const std::int64_t end = port.pause->nowMs() + kDrainMaxMs;
    port.BytesRead = 1;
    for (int n = 0; port.BytesRead == 1; ++n) {
        if (n >= kDrainMaxBytes || port.pause->nowMs() >= end)
            return;
        ReadByte(port);
    }
}

} // namespace qova::link
