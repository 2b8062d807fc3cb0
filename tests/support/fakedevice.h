#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "link/serialport.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace qova::test {

// A scripted device: tests queue what the analyser "sent", look at what the program
// wrote, and make any open step fail. Reads on an empty queue cost 1 ms of virtual time,
// as the real read time-out does.
class FakeDevice final : public link::ByteDevice {
public:
    explicit FakeDevice(link::Pause &clock) : clock_(clock) {}

    struct Written {
        std::uint8_t byte;
        std::int64_t atMs;
    };

    // Bytes the analyser has sent, ready at once, or at `atMs` on the virtual clock.
    void queue(std::vector<std::uint8_t> bytes, std::int64_t atMs = 0);
    // Called for every byte written; may queue an answer.
    std::function<void(std::uint8_t, FakeDevice &)> onWrite;

    std::vector<std::uint8_t> writtenBytes() const;
    const std::vector<Written> &written() const { return written_; }
    int reads() const { return reads_; }
    int opens() const { return opens_; }
    int closes() const { return closes_; }

    bool failOpen = false, failLine = false, failTimeouts = false, failQueues = false, failWrites = false;
    QString reason = QStringLiteral("Permission denied");

    bool openDevice() override;
    bool setLineSettings() override { return !failLine; }
    bool setTimeouts() override { return !failTimeouts; }
    bool setQueues() override { return !failQueues; }
    void setBaudRate(int b) override { baud = b; }
    int baud = 0; // the last baud rate asked for; 0 until one is
    void close() override;
    bool isOpen() const override { return open_; }
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    QString deviceName() const override { return QStringLiteral("/dev/fake0"); }
    QString errorString() const override { return reason; }

private:
    struct Pending {
        std::uint8_t byte;
        std::int64_t atMs;
    };
    link::Pause &clock_;
    std::deque<Pending> pending_;
    std::vector<Written> written_;
    bool open_ = false;
    int reads_ = 0, opens_ = 0, closes_ = 0;
};

// Hands the port state a device that forwards to a FakeDevice the test keeps, so a
// device can still be looked at after the port state replaced or dropped it.
class DeviceProxy final : public link::ByteDevice {
public:
    explicit DeviceProxy(link::ByteDevice &target) : t_(target) {}
    bool openDevice() override { return t_.openDevice(); }
    bool setLineSettings() override { return t_.setLineSettings(); }
    bool setTimeouts() override { return t_.setTimeouts(); }
    bool setQueues() override { return t_.setQueues(); }
    void setBaudRate(int b) override { t_.setBaudRate(b); }
    void close() override { t_.close(); }
    bool isOpen() const override { return t_.isOpen(); }
    bool writeByte(std::uint8_t b) override { return t_.writeByte(b); }
    std::optional<std::uint8_t> readByte() override { return t_.readByte(); }
    std::size_t queuedBytes() override { return t_.queuedBytes(); }
    QString deviceName() const override { return t_.deviceName(); }
    QString errorString() const override { return t_.errorString(); }

private:
    link::ByteDevice &t_;
};

// A port state whose factory makes a new FakeDevice for every open, kept for inspection.
struct FakeLink {
    link::VirtualPause clock;
    std::vector<std::unique_ptr<FakeDevice>> devices; // newest last
    std::function<void(FakeDevice &)> prepare;        // runs on each new device before it opens
    link::PortState port{[this](int) -> std::unique_ptr<link::ByteDevice> {
                             devices.push_back(std::make_unique<FakeDevice>(clock));
                             if (prepare)
                                 prepare(*devices.back());
                             return std::make_unique<DeviceProxy>(*devices.back());
                         },
                         clock};

    // Opens the port as a live window does; true when it is open.
    bool open() { return link::OpenPort(port).ok() && port.PortOpen; }
    FakeDevice &device() { return *devices.back(); }
};

} // namespace qova::test
