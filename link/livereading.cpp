#include "livereading.h"

#include "frame.h"
#include "resourcestrings.h"

namespace qova::link {

namespace {
std::int16_t word(const std::array<std::uint8_t, kLiveDataSize> &d, int at)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8)));
}
void putWord(std::array<std::uint8_t, kLiveFrameSize> &f, int at, std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    f[at] = static_cast<std::uint8_t>(u & 0xFF);
    f[at + 1] = static_cast<std::uint8_t>(u >> 8);
}
} // namespace

LiveReading DecodeLiveReading(const std::array<std::uint8_t, kLiveDataSize> &d)
{
    LiveReading r;
    r.Battery = d[0];
    r.TimeToZero = d[1];
    r.Efficiency = word(d, 2);
    r.Hc = word(d, 4);
    r.Co = word(d, 6);
    r.Co2 = word(d, 8);
    r.Nox = word(d, 10);
    r.Rpm = word(d, 12);
    r.OilTemp = word(d, 14);
    r.O2 = word(d, 16);
    r.ModeFlags = d[18];
    r.FuelCode = d[19];
    r.StatusA = d[20];
    r.StatusB = d[21];
    return r;
}

std::array<std::uint8_t, kLiveFrameSize> EncodeLiveFrame(const LiveReading &r)
{
    std::array<std::uint8_t, kLiveFrameSize> f{};
    f[0] = r.Battery;
    f[1] = r.TimeToZero;
    putWord(f, 2, r.Efficiency);
    putWord(f, 4, r.Hc);
    putWord(f, 6, r.Co);
    putWord(f, 8, r.Co2);
    putWord(f, 10, r.Nox);
    putWord(f, 12, r.Rpm);
    putWord(f, 14, r.OilTemp);
    putWord(f, 16, r.O2);
    f[18] = r.ModeFlags;
    f[19] = r.FuelCode;
    f[20] = r.StatusA;
    f[21] = r.StatusB;
    const std::uint16_t check = FrameChecksum(std::span<const std::uint8_t>(f.data(), kLiveDataSize));
    f[22] = static_cast<std::uint8_t>(check & 0xFF);
    f[23] = static_cast<std::uint8_t>(check >> 8);
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
    sum = static_cast<std::uint16_t>(sum + low + 256 * high);
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
    const int id = 100 + (fuelCode & 3);
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

} // namespace qova::link
