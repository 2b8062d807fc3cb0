#include "link/serialport.h"

#include "link/networkdevice.h"

namespace qova::link {

namespace {
bool failStep(PortState &port)
{
    if (port.PortHandle) {
        port.lastError = port.PortHandle->errorString();
        port.lastDevice = port.PortHandle->deviceName();
        port.PortHandle->close();
    }
    return false;
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

bool OpenPortDevice(PortState &port)
{
    if (port.PortOpen && port.PortHandle)
        port.PortHandle->close();
    port.PortHandle = !port.PortDevice.isEmpty() && port.namedFactory ? port.namedFactory(port.PortDevice)
                                                                      : port.factory(port.PortNumber);
    port.lastError.clear();
    port.lastDevice.clear();
    if (!port.PortHandle)
        return false;
    port.lastDevice = port.PortHandle->deviceName();
    if (!port.PortHandle->openDevice())
        port.lastError = port.PortHandle->errorString();
    // A device that did not open is caught by the next step, which fails on it.
    return true;
}

bool SetLineSettings(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setLineSettings())
        return failStep(port);
    return true;
}

bool SetPortTimeouts(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setTimeouts())
        return failStep(port);
    return true;
}

bool SetPortQueues(PortState &port)
{
    if (!port.handleValid() || !port.PortHandle->setQueues())
        return failStep(port);
    return true;
}

bool OpenPort(PortState &port)
{
    const bool opened = OpenPortDevice(port) && SetLineSettings(port) && SetPortTimeouts(port) && SetPortQueues(port);
    port.PortOpen = opened && port.handleValid();
    return port.PortOpen;
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
