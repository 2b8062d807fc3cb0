#include "link/qserialdevice.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace qova::link {

QString PortDeviceName(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QByteArray fromEnv = qgetenv(QStringLiteral("QOVA_COM%1").arg(portNumber).toLatin1().constData());
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QSerialDevice::QSerialDevice(QString name, std::shared_ptr<AdapterMemory> adapters)
    : name_(std::move(name)), opened_(name_), adapters_(std::move(adapters))
{
    port_.setPortName(name_);
    // The port's own notifier reads whenever the event loop runs, so a vanished device
    // also raises its errors between exchanges, when no read of ours would see them,
    // and keeps raising them at full speed. Close it then too; the close is queued so
    // the port is not torn down inside its own notification.
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || !port_.isOpen())
            return;
        const int opening = openings_;
        QMetaObject::invokeMethod(
            &port_,
            [this, opening] {
                if (opening == openings_ && port_.isOpen())
                    checkHealthy();
            },
            Qt::QueuedConnection);
    });
}

namespace {
// Qt reports a device the user may not open and one another program holds alike, as a
// permission error; the operator needs to know which, and what to do about the first.
QString permissionReason(const QString &name, const QString &systemText)
{
#ifdef Q_OS_UNIX
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    if (::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0)
        return systemText + QStringLiteral(". This user may not use serial ports; the administrator can allow it, "
                                           "for example by adding the user to the dialout group.");
    return systemText + QStringLiteral(". Another program is using the port.");
#else
    Q_UNUSED(name);
    return systemText + QStringLiteral(". Another program may be using the port, or this user may not use it.");
#endif
}
} // namespace

bool QSerialDevice::openDevice()
{
    ++openings_;
    opened_ = name_;
    port_.setPortName(name_);
    bool ok = port_.open(QIODevice::ReadWrite);
    if (!ok && adapters_ && port_.error() == QSerialPort::DeviceNotFoundError) {
        if (const auto moved = adapters_->movedTo(name_)) {
            port_.clearError();
            port_.setPortName(*moved);
            opened_ = *moved;
            ok = port_.open(QIODevice::ReadWrite);
        }
    }
    if (ok && adapters_)
        adapters_->opened(name_, opened_);
    if (!ok) {
        error_ = port_.error() == QSerialPort::PermissionError ? permissionReason(opened_, port_.errorString())
                                                               : port_.errorString();
        port_.clearError();
        return false;
    }
    return true;
}

bool QSerialDevice::setLineSettings()
{
    const bool ok = port_.setBaudRate(baud_) && port_.setParity(QSerialPort::NoParity) &&
                    port_.setDataBits(QSerialPort::Data8) && port_.setStopBits(QSerialPort::OneStop) &&
                    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        error_ = port_.errorString();
    return ok;
}

// Reads wait for a byte in readByte() itself; there is no driver setting to apply.
bool QSerialDevice::setTimeouts()
{
    return port_.isOpen();
}

bool QSerialDevice::setQueues()
{
    // Unlimited: QSerialPort then takes every byte the driver has, so nothing the
    // analyser sends is held back in the kernel behind a full application buffer.
    port_.setReadBufferSize(0);
    return port_.isOpen();
}

void QSerialDevice::close()
{
    if (port_.isOpen())
        port_.close();
}

bool QSerialDevice::isOpen() const
{
    return port_.isOpen();
}

bool QSerialDevice::checkHealthy()
{
    const auto err = port_.error();
    if (err == QSerialPort::NoError || err == QSerialPort::TimeoutError) {
        if (err == QSerialPort::TimeoutError)
            port_.clearError();
        return true;
    }
    error_ = port_.errorString();
    port_.clearError();
    port_.close();
    return false;
}

bool QSerialDevice::writeByte(std::uint8_t byte)
{
    if (!port_.isOpen())
        return false;
    if (!port_.putChar(static_cast<char>(byte))) {
        checkHealthy();
        return false;
    }
    port_.flush();
    if (port_.bytesToWrite() > 0)
        port_.waitForBytesWritten(4);
    if (!checkHealthy())
        return false;
    return port_.bytesToWrite() == 0;
}

std::optional<std::uint8_t> QSerialDevice::readByte()
{
    if (!port_.isOpen())
        return std::nullopt;
    if (port_.bytesAvailable() == 0) {
        port_.waitForReadyRead(1);
        if (!checkHealthy())
            return std::nullopt;
    }
    char c = 0;
    if (port_.bytesAvailable() > 0 && port_.getChar(&c))
        return static_cast<std::uint8_t>(c);
    return std::nullopt;
}

std::size_t QSerialDevice::queuedBytes()
{
    if (!port_.isOpen())
        return 0;
    // Always ask the driver: a wait for a whole block must see bytes that arrived after
    // the first, even when nothing runs the event loop meanwhile.
    port_.waitForReadyRead(0);
    if (!checkHealthy())
        return 0;
    return static_cast<std::size_t>(port_.bytesAvailable());
}

} // namespace qova::link
