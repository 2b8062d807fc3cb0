#include "ui/commfailure.h"

namespace qova::ui {

namespace {
const QString kWhereToFix = QStringLiteral("Choose the connection, or test it, in FILE > COMM.");

// "COM1 (/dev/ttyS0)" when the port the operator chose is a stand-in for a device.
QString deviceOf(const link::PortState &port)
{
    const QString chosen = link::PortCaptionName(port);
    if (port.lastDevice.isEmpty() || port.lastDevice == chosen || link::DeviceCaptionName(port.lastDevice) == chosen)
        return port.lastDevice.isEmpty() ? chosen : port.lastDevice;
    return QStringLiteral("%1 (%2)").arg(chosen, port.lastDevice);
}
} // namespace

QString PortFailureDetail(const link::PortState &port)
{
    const QString reason = port.lastError.isEmpty() ? QStringLiteral("the port could not be set up") : port.lastError;
    return QStringLiteral("%1: %2\n%3").arg(deviceOf(port), reason, kWhereToFix);
}

QString NoAnswerDetail(const link::PortState &port)
{
    return QStringLiteral("%1 opened, but the analyser did not answer: check that it is switched on and its cable "
                          "is in.\n%2")
        .arg(deviceOf(port), kWhereToFix);
}

} // namespace qova::ui
