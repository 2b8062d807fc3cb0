#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "sim/analyser.h"
#include "sim/demoanalyser.h"
#include "sim/vehicleprofile.h"

#include <QString>
#include <deque>
#include <memory>
#include <optional>

namespace qova::sim {

// The built-in demo analyser's port name.
inline constexpr char kDemoDeviceName[] = "demo";

// The analyser on an imaginary line: what it answers reaches the reader no sooner
// than a 9600-baud line would deliver it (about 1.04 ms a byte), when paced.
// An analyser that vanishes closes the device, as a real port does on a read error.
class SimDevice final : public link::ByteDevice {
public:
    SimDevice(link::Pause &clock, std::shared_ptr<Analyser> analyser, bool paced = true);

    struct Received {
        std::uint8_t byte;
        std::int64_t atMs;
    };

    bool openDevice() override;
    bool setLineSettings() override { return open_; }
    bool setTimeouts() override { return open_; }
    bool setQueues() override { return open_; }
    void close() override;
    bool isOpen() const override { return open_; }
    bool writeByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> readByte() override;
    std::size_t queuedBytes() override;
    QString deviceName() const override { return name_; }
    // What the operator chose it by ("demo:good-catalyst"); "demo" unless told.
    void setDeviceName(QString name) { name_ = std::move(name); }
    QString errorString() const override { return error_; }

    Analyser &analyser() { return *analyser_; }
    // Every byte the analyser received through this device, with the time it came, while
    // the log is kept (it is by default).
    const std::vector<Received> &received() const { return received_; }
    void keepLog(bool keep) { keepLog_ = keep; }

    static constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // start, 8 data, stop bit
    // What the line holds for the reader before it loses bytes, as a driver queue does.
    static constexpr std::size_t kInputQueueBytes = 4096;

private:
    struct Pending {
        std::uint8_t byte;
        double arrivesAtMs;
    };
    bool stillThere();
    void send(const std::vector<std::uint8_t> &bytes, std::int64_t nowMs);
    void addNoise(const std::vector<std::uint8_t> &bytes, std::int64_t nowMs);

    link::Pause &clock_;
    std::shared_ptr<Analyser> analyser_;
    bool paced_;
    bool open_ = false;
    QString error_;
    std::deque<Pending> pending_;
    double lineFreeAtMs_ = 0;
    double lastNoiseMs_ = 0;
    std::vector<Received> received_;
    bool keepLog_ = true;
    QString name_ = QString::fromLatin1(kDemoDeviceName);
};

// The analyser the program's "demo" port talks to. One model serves every opening of
// the port, so reopening it does not switch the analyser off and on again.
std::shared_ptr<Analyser> MakeDemoAnalyser();

// The names of the demo analyser's cars for practising the emissions check ("demo:good-catalyst"); `profile` None names
// the analyser's own engine.
QString DemoDeviceName(VehicleProfile profile);
// The car a demo port name puts at the probe; nothing when the name is not a demo port.
std::optional<VehicleProfile> DemoVehicleOf(const QString &name);
// A practice car's analyser counts down only briefly after switch-on, so that a whole
// check of a good car ends well within two minutes.
inline constexpr int kPracticePowerUpMs = 5000;
DemoOptions PracticeCarOptions(VehicleProfile profile);
// The demo port polls for as long as the program runs, so it keeps no log of what it got.
std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock, std::shared_ptr<Analyser> analyser,
                                                 const QString &name = QString::fromLatin1(kDemoDeviceName));
// A device with an analyser of its own.
std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock);

} // namespace qova::sim
