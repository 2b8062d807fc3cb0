#pragma once

#include "link/bytedevice.h"
#include "link/serialports.h"

#include <memory>

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
//
// With an AdapterMemory, a USB adapter that is not where it was opened before (unplugged
// and back as ttyUSB1, COM5 back as COM7) is looked for by its serial number, or by its
// vendor, product and USB socket, and opened where it is now.
class QSerialDevice final : public ByteDevice {
public:
    explicit QSerialDevice(QString name, std::shared_ptr<AdapterMemory> adapters = {});

    bool openDevice() override;
    bool setLineSettings() override;
    bool setTimeouts() override;
    bool setQueues() override;
    void setBaudRate(int baud) override { baud_ = baud; }
    void close() override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    // The device opened: the name asked for, or where its adapter was found again.
    QString deviceName() const override { return opened_; }
    QString errorString() const override { return error_; }

private:
    bool checkHealthy();

    QString name_;
    QString opened_;
    std::shared_ptr<AdapterMemory> adapters_;
    QString error_;
    int baud_ = QSerialPort::Baud9600;
    int openings_ = 0; // tells a queued close which opening it was meant for
    QSerialPort port_;
};

} // namespace qova::link
