#pragma once

#include "bytedevice.h"

#include <QSerialPort>

namespace qova::link {

// The device that names COMn: "COMn" on Windows; elsewhere the environment variable
// QOVA_COMn when set, else /dev/ttyS(n-1). The value "demo" stands for the built-in
// simulated analyser and is turned into a device by the program, not here.
QString PortDeviceName(int portNumber);

// A real serial port. Qt 6.4 does not notice a device that vanished (an unplugged USB
// adapter): the port keeps failing reads at full speed while it still says it is open.
// So the first read or write error closes the device; every later call reports no byte
// and the next OpenPort starts afresh.
class QSerialDevice final : public ByteDevice {
public:
    explicit QSerialDevice(QString name);

    bool openDevice() override;
    bool setLineSettings() override;
    bool setTimeouts() override;
    bool setQueues() override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    QString deviceName() const override { return name_; }
    QString errorString() const override { return error_; }

private:
    bool checkHealthy();

    QString name_;
    QString error_;
    int openings_ = 0; // tells a queued close which opening it was meant for
    QSerialPort port_;
};

} // namespace qova::link
