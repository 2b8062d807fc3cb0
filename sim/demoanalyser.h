#pragma once

#include "link/protocol.h"
#include "sim/analyser.h"
#include "sim/vehicleprofile.h"

#include <QByteArray>
#include <QDate>
#include <array>
#include <optional>
#include <random>

namespace qova::sim {

// What the analyser was last told by the setup, calibration and header-line frames.
struct AnalyserSettings {
    std::uint8_t setupFlags = link::setup::kInitialFlags;
    std::uint8_t rpmMode = 0;
    // Seconds, minutes, hours, day, month (BCD) and year (binary), as the setup sent them.
    std::array<std::uint8_t, 6> clock{};
    // Cylinder values of CO, CO2, HC, NO; the factory's until a calibration frame comes.
    std::array<std::uint16_t, 4> calibration{350, 1380, 2200, 1000};
    QByteArray headerLine1, headerLine2;

    int setupFrames = 0, calibrationFrames = 0, headerFrames = 0; // accepted
    int rejectedFrames = 0;                                       // bad check word
    int calibrationResets = 0;
};

// Where the analyser is in its working day. Prompt stages wait for the program's reply.
enum class Stage {
    PowerUp,     // counting down after switch-on
    LeakOffer,   // prompt: do a leak test?
    LeakReady,   // prompt: ready for the leak test?
    LeakRunning, // pump stopped, probe sealed
    LeakPassed,  // prompt: the result
    ZeroReady,   // prompt: ready to zero?
    Zeroing,     // sampling clean air
    HcReady,     // prompt: ready for the HC residue check?
    HcRunning,
    HcDone,  // prompt: check finished
    Running, // measuring
};

struct DemoOptions {
    std::uint32_t seed = 1;
    Faults faults;
    int powerUpMs = 20000;
    // The analyser's own calendar, for the dates of its stored tests.
    QDate today = QDate(2026, 3, 2);
    // Tests in the store; 0 lets the seed pick a few dozen.
    int storedTests = 0;
    // A car for a whole emissions check, in place of the engine that idles and runs at
    // 2750 rpm in turn.
    VehicleProfile vehicle = VehicleProfile::None;
    // How long the vehicle's driver holds fast idle; 0 for the profile's own time.
    int fastIdleMs = 0;
};

// A plausible analyser: it counts down after switch-on, offers a leak test, asks to
// zero, then measures an engine that idles and runs at 2750 rpm in turn while its oil
// warms up. It takes the pump, zero and reset-calibration commands, acknowledges good
// setup, calibration and header-line frames, and uploads its store of tests.
class DemoAnalyser final : public Analyser {
public:
    explicit DemoAnalyser(DemoOptions options = {});

    void powerOn(std::int64_t nowMs) override;
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override;
    std::vector<std::uint8_t> unasked(std::int64_t nowMs) override;
    bool unplugged(std::int64_t nowMs) const override;

    Faults &faults() { return faults_; }
    const AnalyserSettings &settings() const { return settings_; }
    Stage stage() const { return stage_; }
    bool pumpOn() const { return pumpOn_; }
    // The whole store, as an upload delivers it.
    const std::vector<std::uint8_t> &store() const { return store_; }
    bool uploading() const { return upload_.has_value(); }
    // Blocks sent in the current or last upload, sendings again included.
    int blocksSent() const { return blocksSent_; }
    // The engine at `nowMs` whatever the probe and the pump do, for the car's own
    // diagnostics; nothing before the analyser is switched on.
    std::optional<EngineReading> engineAt(std::int64_t nowMs) const;

    // A frame has to arrive in one piece: a pause longer than this drops what came so far.
    static constexpr int kFrameGapMs = 250;
    // An upload waits this long for "O" or "E" before it gives up.
    static constexpr int kUploadReplyMs = 5000;
    static constexpr int kAutoZeroEveryMs = 10 * 60 * 1000;
    static constexpr int kLeakTestMs = 5000;
    static constexpr int kZeroingMs = 6000;
    static constexpr int kHcCheckMs = 5000;

private:
    struct PendingFrame {
        std::uint8_t command = 0;
        std::size_t payloadSize = 0;
        std::vector<std::uint8_t> bytes; // payload and check word as they come
        std::int64_t lastMs = 0;
    };
    struct Upload {
        std::vector<std::vector<std::uint8_t>> blocks;
        std::size_t current = 0;
        int sendings = 0; // of the current block
        std::int64_t sentMs = 0;
    };

    void advance(std::int64_t nowMs);
    void enter(Stage stage, std::int64_t nowMs);
    std::vector<std::uint8_t> liveFrame(std::int64_t nowMs);
    std::vector<std::uint8_t> finishFrame();
    std::vector<std::uint8_t> sendBlock(std::int64_t nowMs);
    std::vector<std::uint8_t> startUpload(std::int64_t nowMs);
    void confirm(std::int64_t nowMs);
    void decline(std::int64_t nowMs);
    int noise(int amplitude);

    Faults faults_;
    int powerUpMs_;
    VehicleProfile vehicle_;
    int fastIdleMs_;
    std::optional<std::int64_t> firstMeasuringMs_; // since power-on
    std::mt19937 rng_;
    std::vector<std::uint8_t> store_;

    std::optional<std::int64_t> powerOnMs_;
    std::int64_t lastAdvanceMs_ = 0;
    std::int64_t lastNoiseMs_ = 0;
    Stage stage_ = Stage::PowerUp;
    std::int64_t stageSinceMs_ = 0;
    std::int64_t nextAutoZeroMs_ = 0;
    int zerosDone_ = 0;
    bool pumpOn_ = true;
    double sampleMix_ = 0; // 0: clean air in the bench, 1: exhaust
    int framesSent_ = 0;
    int blocksSent_ = 0;
    int blockNumber_ = 0; // blocks of the current upload so far, each counted once

    AnalyserSettings settings_;
    std::optional<PendingFrame> frame_;
    std::optional<Upload> upload_;
};

} // namespace qova::sim
