#include "sim/simdevice.h"

#include "sim/demoanalyser.h"

#include <algorithm>
#include <iterator>

namespace qova::sim {

SimDevice::SimDevice(link::Pause &clock, std::shared_ptr<Analyser> analyser, bool paced)
    : clock_(clock), analyser_(std::move(analyser)), paced_(paced)
{
    analyser_->powerOn(clock_.nowMs());
}

bool SimDevice::openDevice()
{
    pending_.clear();
    if (analyser_->unplugged(clock_.nowMs())) {
        error_ = QStringLiteral("No such device");
        open_ = false;
        return false;
    }
    error_.clear();
    open_ = true;
    // Whatever the analyser sent while nobody listened is gone.
    analyser_->unasked(clock_.nowMs());
    lastNoiseMs_ = static_cast<double>(clock_.nowMs());
    return true;
}

void SimDevice::close()
{
    open_ = false;
    pending_.clear();
}

bool SimDevice::stillThere()
{
    if (!open_)
        return false;
    const std::int64_t now = clock_.nowMs();
    if (analyser_->unplugged(now)) {
        error_ = QStringLiteral("Input/output error");
        close();
        return false;
    }
    addNoise(analyser_->unasked(now), now);
    return true;
}

void SimDevice::addNoise(const std::vector<std::uint8_t> &bytes, std::int64_t nowMs)
{
    // Unasked bytes came spread over the time since the last look, mixed in among
    // whatever answer was on its way meanwhile.
    const double from = std::min(lastNoiseMs_, static_cast<double>(nowMs));
    lastNoiseMs_ = static_cast<double>(nowMs);
    if (bytes.empty())
        return;
    const double step = (static_cast<double>(nowMs) - from) / static_cast<double>(bytes.size());
    std::deque<Pending> noise;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        noise.push_back({bytes[i], from + step * static_cast<double>(i + 1)});
    std::deque<Pending> merged;
    std::merge(pending_.begin(), pending_.end(), noise.begin(), noise.end(), std::back_inserter(merged),
               [](const Pending &a, const Pending &b) { return a.arrivesAtMs < b.arrivesAtMs; });
    // A full input queue loses what comes last, as a driver's overrun does.
    if (merged.size() > kInputQueueBytes)
        merged.resize(kInputQueueBytes);
    pending_ = std::move(merged);
}

void SimDevice::send(const std::vector<std::uint8_t> &bytes, std::int64_t nowMs)
{
    for (std::uint8_t out : bytes) {
        double at = static_cast<double>(nowMs);
        if (paced_) {
            lineFreeAtMs_ = std::max(lineFreeAtMs_, static_cast<double>(nowMs)) + kByteMs;
            at = lineFreeAtMs_;
        }
        if (pending_.size() < kInputQueueBytes)
            pending_.push_back({out, at});
    }
}

bool SimDevice::writeByte(std::uint8_t byte)
{
    if (!stillThere())
        return false;
    const auto now = clock_.nowMs();
    if (keepLog_)
        received_.push_back({byte, now});
    send(analyser_->receive(byte, now), now);
    return true;
}

std::size_t SimDevice::queuedBytes()
{
    if (!stillThere())
        return 0;
    const double now = static_cast<double>(clock_.nowMs());
    return static_cast<std::size_t>(
        std::count_if(pending_.begin(), pending_.end(), [now](const Pending &p) { return p.arrivesAtMs <= now; }));
}

std::optional<std::uint8_t> SimDevice::readByte()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!stillThere())
            return std::nullopt;
        if (!pending_.empty() && pending_.front().arrivesAtMs <= static_cast<double>(clock_.nowMs())) {
            const std::uint8_t b = pending_.front().byte;
            pending_.pop_front();
            return b;
        }
        if (attempt == 0)
            clock_.sleepMs(1);
    }
    return std::nullopt;
}

std::shared_ptr<Analyser> MakeDemoAnalyser()
{
    return std::make_shared<DemoAnalyser>(PracticeCarOptions(VehicleProfile::None));
}

QString DemoDeviceName(VehicleProfile profile)
{
    const QString demo = QString::fromLatin1(kDemoDeviceName);
    if (profile == VehicleProfile::None)
        return demo;
    const std::string_view name = VehicleProfileName(profile);
    return demo + QLatin1Char(':') + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::optional<VehicleProfile> DemoVehicleOf(const QString &name)
{
    const QString demo = QString::fromLatin1(kDemoDeviceName);
    if (name == demo)
        return VehicleProfile::None;
    if (!name.startsWith(demo + QLatin1Char(':')))
        return std::nullopt;
    return VehicleProfileFromName(name.mid(demo.size() + 1).toStdString());
}

DemoOptions PracticeCarOptions(VehicleProfile profile)
{
    DemoOptions options;
    options.today = QDate::currentDate();
    options.vehicle = profile;
    if (profile != VehicleProfile::None)
        options.powerUpMs = kPracticePowerUpMs;
    return options;
}

std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock, std::shared_ptr<Analyser> analyser,
                                                 const QString &name)
{
    auto device = std::make_unique<SimDevice>(clock, std::move(analyser));
    device->keepLog(false);
    device->setDeviceName(name);
    return device;
}

std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock)
{
    return MakeDemoDevice(clock, MakeDemoAnalyser());
}

} // namespace qova::sim
