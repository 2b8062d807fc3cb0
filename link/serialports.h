#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
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
    // Where a USB adapter is plugged in, as the system names the socket ("1-1.2" on Linux);
    // empty where unknown.
    QString usbLocation;
    bool operator==(const SerialPortDescription &) const = default;
};

// The serial ports the system has now, by name.
std::vector<SerialPortDescription> DetectedSerialPorts();

// Where the adapter that `was` is now, when it came back under another name: the port
// with its USB serial number, or without one, with its vendor, product and USB location.
// Nothing when it is still where it was, is not there, or cannot be told apart.
std::optional<QString> FindAdapterAgain(const SerialPortDescription &was,
                                        const std::vector<SerialPortDescription> &now);

using PortListing = std::function<std::vector<SerialPortDescription>()>;

// The serial adapters that opened, by the name they were opened as, so one that comes back
// under another name is found again.
class AdapterMemory {
public:
    explicit AdapterMemory(PortListing ports = DetectedSerialPorts) : ports_(std::move(ports)) {}
    // The port at `location` opened for `name`.
    void opened(const QString &name, const QString &location);
    // Where the adapter last opened for `name` is now, when it moved.
    std::optional<QString> movedTo(const QString &name) const;

private:
    PortListing ports_;
    std::map<QString, SerialPortDescription> known_;
};

// One line for the operator: "ttyUSB0  FT232R USB UART, FTDI, USB 0403:6001, serial A50285BI";
// parts the system does not know are left out.
QString DescribePort(const SerialPortDescription &port);

} // namespace qova::link
