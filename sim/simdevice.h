#pragma once

#include "analyser.h"
#include "bytedevice.h"
#include "pause.h"

#include <deque>
#include <memory>

namespace qova::sim {

// The analyser on an imaginary line: what it answers reaches the reader no sooner
// than a 9600-baud line would deliver it (about 1.04 ms a byte), when paced.
class SimDevice final : public link::ByteDevice {
public:
    SimDevice(link::Pause &clock, std::unique_ptr<Analyser> analyser, bool paced = true);

    bool openDevice() override;
    bool setLineSettings() override { return open_; }
    bool setTimeouts() override { return open_; }
    bool setQueues() override { return open_; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    QString deviceName() const override { return QStringLiteral("demo"); }
    QString errorString() const override { return {}; }

    Analyser &analyser() { return *analyser_; }

private:
    struct Pending {
        std::uint8_t byte;
        double arrivesAtMs;
    };
    link::Pause &clock_;
    std::unique_ptr<Analyser> analyser_;
    bool paced_;
    bool open_ = false;
    std::deque<Pending> pending_;
    double lineFreeAtMs_ = 0;
};

// The built-in analyser the program talks to when a port is set to "demo".
std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock);

} // namespace qova::sim
