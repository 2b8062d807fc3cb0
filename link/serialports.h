#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::link {

// A serial port the system has, as QSerialPortInfo tells it.
struct SerialPortDescription {
    QString name;     // "ttyUSB0", "COM7"
    QString location; // what opens it: "/dev/ttyUSB0", "COM7"
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<std::uint16_t> vendorId, productId;
    bool operator==(const SerialPortDescription &) const = default;
};

// The serial ports the system has now, by name.
std::vector<SerialPortDescription> DetectedSerialPorts();

// One line for the operator: "ttyUSB0  FT232R USB UART, FTDI, USB 0403:6001, serial A50285BI";
// parts the system does not know are left out.
QString DescribePort(const SerialPortDescription &port);

} // namespace qova::link
