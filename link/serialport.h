#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "result/result.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace qova::link {

// Makes the device for port number n (COMn); never null.
using DeviceFactory = std::function<std::unique_ptr<ByteDevice>(int portNumber)>;
// Makes the device a name gives ("/dev/ttyUSB0", "COM7", "tcp://bay3:4001", "demo"); never null.
using NamedDeviceFactory = std::function<std::unique_ptr<ByteDevice>(const QString &name)>;

// The serial port state every window shares. Owned by the main window; the link
// operations take it directly so exchanges can be driven without any window.
struct PortState {
    PortState(DeviceFactory factory, Pause &pause) : factory(std::move(factory)), pause(&pause) {}

    // The open device; null or closed is the invalid handle.
    std::unique_ptr<ByteDevice> PortHandle;
    // Bytes the last ReadByte returned (0 or 1); callers set 1 to start a drain.
    std::uint32_t BytesRead = 0;
    // PortHandle holds a device that OpenPort opened; OpenPort and ClosePort keep it so.
    bool PortOpen = false;
    // 1 to 4, naming COM1 to COM4.
    int PortNumber = 1;
    // A device chosen outside COM1 to COM4, used instead of PortNumber while not empty
    // and namedFactory is set.
    QString PortDevice;
    NamedDeviceFactory namedFactory;

    DeviceFactory factory;
    Pause *pause;

    bool handleValid() const { return PortHandle != nullptr && PortHandle->isOpen(); }
};

// What the operator calls the port in a caption: "COM1", or the chosen device's short
// name ("ttyUSB0", "COM7", "bay3:4001", "demo").
QString PortCaptionName(const PortState &port);
QString DeviceCaptionName(const QString &device);
// The device of the last open as the operator knows it: the caption, or the system's name
// where that says more, both where the port stands in for another device ("COM1 (/dev/ttyS0)",
// "/dev/ttyUSB0", "bay3:4001").
QString ShownDeviceName(const PortState &port);

// Where the operator changes the connection; every port problem ends with it.
inline const QString kConnectionFix = QStringLiteral("Choose the connection, or test it, in FILE > COMM.");

// The four steps of OpenPort, public so tests and callers can name the one that failed.
// A failed step's problem names the device (ShownDeviceName), gives the system's reason and
// kConnectionFix.
Done OpenPortDevice(PortState &port);
Done SetLineSettings(PortState &port);
Done SetPortTimeouts(PortState &port);
Done SetPortQueues(PortState &port);

// Runs the four steps in order, stopping at the first that fails. Sets PortOpen to whether
// all did. A step that fails after the device opened closes it, so a failed open never
// keeps the device from the next attempt or another program.
Done OpenPort(PortState &port);
void ClosePort(PortState &port);
// False when the byte did not leave: no open device, or one that refused it. Not a Problem:
// the exchanges that write notice a lost byte by the answer that does not come, and say so
// there, so a write has nothing to tell the operator of its own.
bool WriteByte(PortState &port, std::uint8_t byte);
// The byte, or 0 when none came within the read time-out; sets BytesRead.
std::uint8_t ReadByte(PortState &port);

// Reads and discards until a read finds nothing. A device that never stops sending
// (a stuck analyser, line noise) would hold the program for ever, so the drain gives
// up after this many bytes or milliseconds; the exchange then fails its own check.
inline constexpr int kDrainMaxBytes = 4096;
inline constexpr int kDrainMaxMs = 500;
void DrainInput(PortState &port);

} // namespace qova::link
