#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qova::link {

// The one door to the analyser: a serial device, the built-in simulated analyser or a
// scripted fake in tests. Opening runs in four steps so each can fail on its own,
// as a real port can (absent, held by another program, refusing 9600 8N1, ...).
class ByteDevice {
public:
    virtual ~ByteDevice() = default;

    virtual bool openDevice() = 0;      // claim the device, read and write
    virtual bool setLineSettings() = 0; // 9600 baud, no parity, 8 data bits, 1 stop bit
    virtual bool setTimeouts() = 0;     // reads wait at most 1 ms for a byte
    virtual bool setQueues() = 0;       // 2048 bytes in, 1024 out
    // The speed the next setLineSettings() sets, for a device other than the analyser (an
    // OBD adapter). A device without a serial line of its own has nothing to set.
    virtual void setBaudRate(int baud) { (void)baud; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes one byte; false when the device did not take it.
    virtual bool writeByte(std::uint8_t byte) = 0;
    // Returns a queued byte at once, else waits at most 1 ms for one.
    virtual std::optional<std::uint8_t> readByte() = 0;
    // Bytes that a read would return now, without waiting. Lets a wait end early
    // once an answer is complete; it never shortens what is read.
    virtual std::size_t queuedBytes() = 0;

    // The device's name as the operator knows it ("/dev/ttyS0", "COM1", "demo").
    virtual QString deviceName() const = 0;
    // The system's reason for the last failure, for the operator's message.
    virtual QString errorString() const = 0;
};

} // namespace qova::link
