#include "sim/demoanalyser.h"

#include "link/frame.h"
#include "link/livereading.h"
#include "link/protocol.h"
#include "sim/storedtests.h"

#include <algorithm>
#include <cmath>

namespace qova::sim {

namespace {
using namespace link;
constexpr std::array<std::uint16_t, 4> kFactoryCalibration{350, 1380, 2200, 1000};

// The engine idles for 40 s, speeds up to 2750 rpm over 3 s, holds it, and slows down
// again over the last 3 s of each 70 s. Fast idle is the middle of the check's 2500 to
// 3000 rpm window, so the engine's jitter never takes it out.
constexpr int kEngineCycleMs = 70000;
constexpr double kIdleRpm = 820, kHighRpm = kFastIdleRpm;
// The sample takes a few seconds to fill (or clear) the gas bench.
constexpr double kSampleLagMs = 2500;
constexpr double kZeroFlushMs = 800;
constexpr double kOilStart = 180, kOilWarm = 920, kOilWarmingMs = 300000; // tenths of degC

double engineRpm(std::int64_t t)
{
    const double c = static_cast<double>(t % kEngineCycleMs);
    if (c < 40000)
        return kIdleRpm;
    if (c < 43000)
        return kIdleRpm + (kHighRpm - kIdleRpm) * (c - 40000) / 3000;
    if (c < 67000)
        return kHighRpm;
    return kHighRpm - (kHighRpm - kIdleRpm) * (c - 67000) / 3000;
}

double stoichiometricAfr(std::uint8_t flags)
{
    return link::StoichiometricAfrTenths(link::FuelFromCode(flags & setup::kFuelMask)) / 10.0;
}

std::int16_t clampWord(double v)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}
} // namespace

DemoAnalyser::DemoAnalyser(DemoOptions options)
    : faults_(options.faults), powerUpMs_(options.powerUpMs), vehicle_(options.vehicle),
      fastIdleMs_(options.fastIdleMs), rng_(options.seed)
{
    std::mt19937 storeRng(options.seed ^ 0x5EEDu);
    const int count =
        options.storedTests > 0 ? options.storedTests : std::uniform_int_distribution<int>(24, 48)(storeRng);
    store_ = MakeStoredTests(storeRng, options.today, count);
}

void DemoAnalyser::powerOn(std::int64_t nowMs)
{
    if (powerOnMs_)
        return;
    powerOnMs_ = nowMs;
    lastAdvanceMs_ = lastNoiseMs_ = stageSinceMs_ = nowMs;
    stage_ = Stage::PowerUp;
}

bool DemoAnalyser::unplugged(std::int64_t nowMs) const
{
    return powerOnMs_ && faults_.unplugAfterMs >= 0 && nowMs - *powerOnMs_ >= faults_.unplugAfterMs;
}

void DemoAnalyser::enter(Stage stage, std::int64_t nowMs)
{
    stage_ = stage;
    stageSinceMs_ = nowMs;
    if (stage == Stage::Running && !firstMeasuringMs_ && powerOnMs_)
        firstMeasuringMs_ = nowMs - *powerOnMs_;
}

void DemoAnalyser::advance(std::int64_t nowMs)
{
    powerOn(nowMs);
    // Stages that end by themselves; one call may pass several of them.
    for (bool moved = true; moved;) {
        moved = false;
        const std::int64_t in = nowMs - stageSinceMs_;
        switch (stage_) {
        case Stage::PowerUp:
            if (in >= powerUpMs_) {
                enter(Stage::LeakOffer, stageSinceMs_ + powerUpMs_);
                moved = true;
            }
            break;
        case Stage::LeakRunning:
            if (in >= kLeakTestMs) {
                enter(Stage::LeakPassed, stageSinceMs_ + kLeakTestMs);
                moved = true;
            }
            break;
        case Stage::Zeroing:
            if (in >= kZeroingMs) {
                const std::int64_t done = stageSinceMs_ + kZeroingMs;
                ++zerosDone_;
                nextAutoZeroMs_ = done + kAutoZeroEveryMs;
                // Every second zero is followed by a check for HC left in the sample line.
                enter(zerosDone_ % 2 == 0 ? Stage::HcReady : Stage::Running, done);
                moved = true;
            }
            break;
        case Stage::HcRunning:
            if (in >= kHcCheckMs) {
                enter(Stage::HcDone, stageSinceMs_ + kHcCheckMs);
                moved = true;
            }
            break;
        case Stage::Running:
            if (nowMs >= nextAutoZeroMs_) {
                enter(Stage::ZeroReady, nextAutoZeroMs_);
                moved = true;
            }
            break;
        default:
            break;
        }
    }

    bool sampling = pumpOn_;
    switch (stage_) {
    case Stage::PowerUp:
    case Stage::LeakRunning:
    case Stage::Zeroing:
    case Stage::HcRunning:
        sampling = false;
        break;
    default:
        break;
    }
    if (sampling && vehicle_ != VehicleProfile::None && powerOnMs_)
        sampling = VehicleAt(vehicle_, nowMs - *powerOnMs_, firstMeasuringMs_, fastIdleMs_).probeInExhaust;
    const double dt = static_cast<double>(std::max<std::int64_t>(0, nowMs - lastAdvanceMs_));
    const double target = sampling ? 1.0 : 0.0;
    // A zero draws clean air through at full flow and clears the bench quickly.
    const double lag = stage_ == Stage::Zeroing ? kZeroFlushMs : kSampleLagMs;
    sampleMix_ += (target - sampleMix_) * (1.0 - std::exp(-dt / lag));
    lastAdvanceMs_ = std::max(lastAdvanceMs_, nowMs);
}

std::optional<EngineReading> DemoAnalyser::engineAt(std::int64_t nowMs) const
{
    if (!powerOnMs_)
        return std::nullopt;
    const std::int64_t t = nowMs - *powerOnMs_;
    if (vehicle_ != VehicleProfile::None)
        return VehicleAt(vehicle_, t, firstMeasuringMs_, fastIdleMs_);
    EngineReading e;
    e.rpm = engineRpm(t);
    e.oilTenths = kOilWarm - (kOilWarm - kOilStart) * std::exp(-static_cast<double>(t) / kOilWarmingMs);
    return e;
}

int DemoAnalyser::noise(int amplitude)
{
    return std::uniform_int_distribution<int>(-amplitude, amplitude)(rng_);
}

std::vector<std::uint8_t> DemoAnalyser::liveFrame(std::int64_t nowMs)
{
    const std::int64_t t = nowMs - *powerOnMs_;
    const double mix = sampleMix_;
    const double rpm = engineRpm(t);
    const double h = (rpm - kIdleRpm) / (kHighRpm - kIdleRpm);
    const double noiseScale = 0.2 + mix;
    auto gas = [&](double exhaust, double air, int jitter) {
        return std::max(0.0, air + mix * (exhaust - air) + noise(jitter) * noiseScale);
    };

    link::LiveReading r;
    r.Battery = static_cast<std::uint8_t>(std::max<std::int64_t>(10, 96 - t / 240000));
    if (stage_ == Stage::PowerUp)
        r.TimeToZero = static_cast<std::uint8_t>(std::clamp<std::int64_t>((powerUpMs_ - t + 999) / 1000, 0, 255));
    else if (stage_ == Stage::Running)
        r.TimeToZero =
            static_cast<std::uint8_t>(std::clamp<std::int64_t>((nextAutoZeroMs_ - nowMs + 59999) / 60000, 0, 255));
    double lambda = 0;
    if (vehicle_ == VehicleProfile::None) {
        r.Hc = clampWord(gas(180 - 120 * h, 0, 4));
        r.Co = clampWord(gas(60 - 35 * h, 0, 2));
        r.Co2 = clampWord(gas(142 + 6 * h, 0, 1));
        r.O2 = clampWord(gas(60 - 30 * h, 2090, 3));
        r.Nox = clampWord(gas(90 + 360 * h, 0, 5));
        r.Rpm = clampWord(rpm + noise(15));
        r.OilTemp = clampWord(kOilWarm - (kOilWarm - kOilStart) * std::exp(-static_cast<double>(t) / kOilWarmingMs));
        // Lambda of the exhaust; clean air in the bench reads as a very lean mixture.
        lambda = (1.020 - 0.020 * h + noise(3) * 0.001) * mix + 9.0 * (1.0 - mix);
    } else {
        const EngineReading e = VehicleAt(vehicle_, t, firstMeasuringMs_, fastIdleMs_);
        r.Hc = clampWord(gas(e.hc, 0, 4));
        r.Co = clampWord(gas(e.co, 0, 2));
        r.Co2 = clampWord(gas(e.co2, 0, 1));
        r.O2 = clampWord(gas(e.o2, 2090, 3));
        r.Nox = clampWord(gas(e.nox, 0, 5));
        r.Rpm = clampWord(e.rpm + noise(15));
        r.OilTemp = clampWord(e.oilTenths);
        lambda = (e.lambda + noise(3) * 0.001) * mix + 9.0 * (1.0 - mix);
    }
    const std::uint8_t flags = settings_.setupFlags;
    const bool afr = flags & setup::kAfrBit;
    r.Efficiency = clampWord(afr ? lambda * stoichiometricAfr(flags) * 100 : lambda * 1000);
    r.ModeFlags =
        static_cast<std::uint8_t>((afr ? link::AfrMode : 0) | ((flags & setup::kFahrenheitBit) ? link::Fahrenheit : 0));
    r.FuelCode = flags & setup::kFuelMask;

    switch (stage_) {
    case Stage::PowerUp:
        r.StatusA = link::PowerUpCountdown;
        break;
    case Stage::LeakOffer:
        r.StatusA = link::LeakTestOffer;
        break;
    case Stage::LeakReady:
        r.StatusA = link::LeakTestReady;
        break;
    case Stage::LeakPassed:
        r.StatusA = link::LeakTestPassed;
        break;
    case Stage::ZeroReady:
        r.StatusA = link::ZeroReady;
        break;
    case Stage::HcReady:
        r.StatusA = link::HcCheckReady;
        break;
    case Stage::HcDone:
        r.StatusA = link::HcCheckDone;
        break;
    default:
        break;
    }
    if (pumpOn_ && stage_ != Stage::LeakRunning)
        r.StatusB |= link::PumpOn;
    if (stage_ == Stage::Zeroing)
        r.StatusB |= link::Zeroing;

    const auto encoded = link::EncodeLiveFrame(r);
    std::vector<std::uint8_t> frame(encoded.begin(), encoded.end());
    ++framesSent_;
    if (faults_.badFrameEvery > 0 && framesSent_ % faults_.badFrameEvery == 0)
        frame[live::kCheckWord] = static_cast<std::uint8_t>(frame[live::kCheckWord] + 1);
    if (faults_.partialFrames)
        frame.resize(kPartialFrameBytes);
    return frame;
}

std::vector<std::uint8_t> DemoAnalyser::finishFrame()
{
    const PendingFrame f = std::move(*frame_);
    frame_.reset();
    const std::size_t n = f.payloadSize;
    const std::uint16_t check = WordLowFirst(f.bytes[n], f.bytes[n + 1]);
    if (check != FrameChecksum(std::span<const std::uint8_t>(f.bytes.data(), n))) {
        ++settings_.rejectedFrames;
        return {};
    }
    const auto *p = f.bytes.data();
    switch (f.command) {
    case kSetupCommand:
        settings_.setupFlags = p[setup::kFlags];
        settings_.rpmMode = p[setup::kRpmMode];
        std::copy(p + setup::kClock, p + setup::kClock + setup::kClockSize, settings_.clock.begin());
        ++settings_.setupFrames;
        break;
    case kCalibrationCommand:
        for (int i = 0; i < 4; ++i)
            settings_.calibration[i] = WordLowFirst(p[2 * i], p[2 * i + 1]);
        ++settings_.calibrationFrames;
        break;
    case kHeaderCommand:
        settings_.headerLine1 = QByteArray(reinterpret_cast<const char *>(p), kHeaderLineBytes);
        settings_.headerLine2 = QByteArray(reinterpret_cast<const char *>(p + kHeaderLineBytes), kHeaderLineBytes);
        ++settings_.headerFrames;
        break;
    default:
        break;
    }
    return {link::kAcknowledge};
}

std::vector<std::uint8_t> DemoAnalyser::startUpload(std::int64_t nowMs)
{
    upload_ = Upload{CutIntoBlocks(store_, rng_), 0, 0, nowMs};
    blocksSent_ = 0;
    blockNumber_ = 0;
    std::vector<std::uint8_t> out{kUploadAcknowledge};
    const auto first = sendBlock(nowMs);
    out.insert(out.end(), first.begin(), first.end());
    return out;
}

std::vector<std::uint8_t> DemoAnalyser::sendBlock(std::int64_t nowMs)
{
    Upload &u = *upload_;
    u.sentMs = nowMs;
    if (u.current >= u.blocks.size()) {
        upload_.reset();
        return {kEndBlock};
    }
    const bool first = u.sendings == 0;
    if (first)
        ++blockNumber_;
    const bool corrupt =
        faults_.badBlockEvery > 0 && blockNumber_ % faults_.badBlockEvery == 0 && (first || faults_.resentBlocksBad);
    ++u.sendings;
    ++blocksSent_;
    return BlockOnWire(u.blocks[u.current], corrupt);
}

void DemoAnalyser::confirm(std::int64_t nowMs)
{
    switch (stage_) {
    case Stage::LeakOffer:
        enter(Stage::LeakReady, nowMs);
        break;
    case Stage::LeakReady:
        enter(Stage::LeakRunning, nowMs);
        break;
    case Stage::LeakPassed:
        enter(Stage::ZeroReady, nowMs);
        break;
    case Stage::ZeroReady:
        enter(Stage::Zeroing, nowMs);
        break;
    case Stage::HcReady:
        enter(Stage::HcRunning, nowMs);
        break;
    case Stage::HcDone:
        enter(Stage::Running, nowMs);
        break;
    default:
        break; // nothing asked: a stray reply changes nothing
    }
}

void DemoAnalyser::decline(std::int64_t nowMs)
{
    if (stage_ == Stage::LeakOffer || stage_ == Stage::LeakReady)
        enter(Stage::ZeroReady, nowMs);
}

std::vector<std::uint8_t> DemoAnalyser::receive(std::uint8_t byte, std::int64_t nowMs)
{
    advance(nowMs);
    if (faults_.silent)
        return {};

    if (frame_) {
        if (nowMs - frame_->lastMs <= kFrameGapMs) {
            frame_->bytes.push_back(byte);
            frame_->lastMs = nowMs;
            if (frame_->bytes.size() == frame_->payloadSize + 2)
                return finishFrame();
            return {};
        }
        frame_.reset(); // the rest never came; this byte starts afresh
    }

    if (upload_) {
        if (nowMs - upload_->sentMs <= kUploadReplyMs && byte == kBlockAccepted) {
            ++upload_->current;
            upload_->sendings = 0;
            return sendBlock(nowMs);
        }
        if (nowMs - upload_->sentMs <= kUploadReplyMs && byte == kBlockRejected)
            return sendBlock(nowMs);
        upload_.reset(); // the program has given up or moved on
    }

    switch (byte) {
    case link::kPollCommand:
        return liveFrame(nowMs);
    case link::kPumpCommand:
        pumpOn_ = !pumpOn_;
        break;
    case link::kZeroCommand:
        if (stage_ == Stage::Running)
            enter(Stage::ZeroReady, nowMs);
        break;
    case link::kResetCalCommand:
        settings_.calibration = kFactoryCalibration;
        ++settings_.calibrationResets;
        break;
    case link::kConfirmReply:
        confirm(nowMs);
        break;
    case link::kDeclineReply:
        decline(nowMs);
        break;
    case kUploadRequest:
        return startUpload(nowMs);
    case kSetupCommand:
    case kCalibrationCommand:
        frame_ = PendingFrame{byte, byte == kSetupCommand ? kSetupPayloadSize : kCalibrationPayloadSize, {}, nowMs};
        break;
    case kHeaderCommand:
        frame_ = PendingFrame{byte, kHeaderPayloadSize, {}, nowMs};
        break;
    default:
        break;
    }
    return {};
}

std::vector<std::uint8_t> DemoAnalyser::unasked(std::int64_t nowMs)
{
    powerOn(nowMs);
    const std::int64_t since = lastNoiseMs_;
    lastNoiseMs_ = std::max(lastNoiseMs_, nowMs);
    if (!faults_.flood || nowMs <= since)
        return {};
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>((nowMs - since) * kFloodBytesPerMs, 65536));
    std::vector<std::uint8_t> noiseBytes(count);
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (auto &b : noiseBytes)
        b = static_cast<std::uint8_t>(byteDist(rng_));
    return noiseBytes;
}

} // namespace qova::sim
