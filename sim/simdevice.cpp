#include "simdevice.h"

#include "demoanalyser.h"

#include <algorithm>

namespace qova::sim {

namespace {
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // start, 8 data, stop bit
}

SimDevice::SimDevice(link::Pause &clock, std::unique_ptr<Analyser> analyser, bool paced)
    : clock_(clock), analyser_(std::move(analyser)), paced_(paced)
{
}

bool SimDevice::openDevice()
{
    open_ = true;
    pending_.clear();
    return true;
}

bool SimDevice::writeByte(std::uint8_t byte)
{
    if (!open_)
        return false;
    const auto now = clock_.nowMs();
    for (std::uint8_t out : analyser_->receive(byte, now)) {
        double at = static_cast<double>(now);
        if (paced_) {
            lineFreeAtMs_ = std::max(lineFreeAtMs_, static_cast<double>(now)) + kByteMs;
            at = lineFreeAtMs_;
        }
        pending_.push_back({out, at});
    }
    return true;
}

std::size_t SimDevice::queuedBytes()
{
    const double now = static_cast<double>(clock_.nowMs());
    return static_cast<std::size_t>(
        std::count_if(pending_.begin(), pending_.end(), [now](const Pending &p) { return p.arrivesAtMs <= now; }));
}

std::optional<std::uint8_t> SimDevice::readByte()
{
    if (!open_)
        return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
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

std::unique_ptr<link::ByteDevice> MakeDemoDevice(link::Pause &clock)
{
    return std::make_unique<SimDevice>(clock, std::make_unique<DemoAnalyser>());
}

} // namespace qova::sim
