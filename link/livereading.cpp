#include "link/livereading.h"

#include "link/frame.h"
#include "resources/resourcestrings.h"

namespace qova::link {

namespace {
std::int16_t shownGas(std::int16_t value, int top, std::int16_t overRange)
{
    if (value < 0)
        return 0;
    if (value > top)
        return overRange;
    return value;
}

std::int16_t word(const std::array<std::uint8_t, kLiveDataSize> &d, int at)
{
    return static_cast<std::int16_t>(WordLowFirst(d[at], d[at + 1]));
}
void putWord(std::array<std::uint8_t, kLiveFrameSize> &f, int at, std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    f[at] = LowByte(u);
    f[at + 1] = HighByte(u);
}
} // namespace

LiveReading DecodeLiveReading(const std::array<std::uint8_t, kLiveDataSize> &d)
{
    LiveReading r;
    r.Battery = d[live::kBattery];
    r.TimeToZero = d[live::kTimeToZero];
    r.Efficiency = word(d, live::kEfficiency);
    r.Hc = word(d, live::kHc);
    r.Co = word(d, live::kCo);
    r.Co2 = word(d, live::kCo2);
    r.Nox = word(d, live::kNox);
    r.Rpm = word(d, live::kRpm);
    r.OilTemp = word(d, live::kOilTemp);
    r.O2 = word(d, live::kO2);
    r.ModeFlags = d[live::kModeFlags];
    r.FuelCode = d[live::kFuelCode];
    r.StatusA = d[live::kStatusA];
    r.StatusB = d[live::kStatusB];
    return r;
}

std::array<std::uint8_t, kLiveFrameSize> EncodeLiveFrame(const LiveReading &r)
{
    std::array<std::uint8_t, kLiveFrameSize> f{};
    f[live::kBattery] = r.Battery;
    f[live::kTimeToZero] = r.TimeToZero;
    putWord(f, live::kEfficiency, r.Efficiency);
    putWord(f, live::kHc, r.Hc);
    putWord(f, live::kCo, r.Co);
    putWord(f, live::kCo2, r.Co2);
    putWord(f, live::kNox, r.Nox);
    putWord(f, live::kRpm, r.Rpm);
    putWord(f, live::kOilTemp, r.OilTemp);
    putWord(f, live::kO2, r.O2);
    f[live::kModeFlags] = r.ModeFlags;
    f[live::kFuelCode] = r.FuelCode;
    f[live::kStatusA] = r.StatusA;
    f[live::kStatusB] = r.StatusB;
    const std::uint16_t check = FrameChecksum(std::span<const std::uint8_t>(f.data(), kLiveDataSize));
    f[live::kCheckWord] = LowByte(check);
    f[live::kCheckWord + 1] = HighByte(check);
    return f;
}

void RequestReading(PortState &port)
{
    DrainInput(port);
    WriteByte(port, kPollCommand);
}

bool ReadLiveFrame(PortState &port, LiveReading &reading, int &failedFrames)
{
    std::array<std::uint8_t, kLiveDataSize> data{};
    std::uint16_t sum = 0;
    for (int i = 0; i < kLiveDataSize; ++i) {
        data[i] = ReadByte(port);
        sum = static_cast<std::uint16_t>(sum + data[i]);
    }
    const std::uint8_t low = ReadByte(port);
    const std::uint8_t high = ReadByte(port);
    sum = static_cast<std::uint16_t>(sum + WordLowFirst(low, high));
    reading = DecodeLiveReading(data);
    if (sum == 0 && port.BytesRead == 1) {
        failedFrames = 0;
        return true;
    }
    ++failedFrames;
    return false;
}

QString FuelName(std::uint8_t fuelCode, bool usLocale)
{
    const int id = 100 + (fuelCode & kFuelCodeMask);
    if (usLocale && id == 101)
        return QStringLiteral("GASOLINE");
    // The name was read into a nine-character buffer, so at most eight characters remain.
    return qova::resources::LoadResourceString(id).left(8);
}

UnitValue EfficiencyValue(const LiveReading &r)
{
    if (r.ModeFlags & AfrMode)
        return {r.Efficiency * 0.01, true};
    return {r.Efficiency * 0.001, false};
}

UnitValue OilTemperature(const LiveReading &r)
{
    if (r.ModeFlags & Fahrenheit)
        return {r.OilTemp * 9 * 0.02 + 32, true};
    return {r.OilTemp * 0.1, false};
}

LiveReading WithinShownRanges(LiveReading r)
{
    const bool afr = (r.ModeFlags & AfrMode) != 0;
    const int low = afr ? 730 : 500;
    const int high = afr ? 14700 : 10000;
    if (r.Efficiency < low || r.Efficiency > high)
        r.Efficiency = 9999;
    r.Hc = shownGas(r.Hc, 9999, 9999);
    r.Co = shownGas(r.Co, 2500, 9999);
    r.Co2 = shownGas(r.Co2, 250, 999);
    r.Nox = shownGas(r.Nox, 5000, 9999);
    r.O2 = shownGas(r.O2, 2200, 9999);
    return r;
}

} // namespace qova::link
