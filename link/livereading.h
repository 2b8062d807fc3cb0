#pragma once

#include "link/protocol.h"
#include "link/serialport.h"

#include <QString>
#include <array>
#include <cstdint>

namespace qova::link {

// Bytes 0 to 21 of the analyser's answer to a poll, in wire order.
struct LiveReading {
    std::uint8_t Battery = 0;    // percent
    std::uint8_t TimeToZero = 0; // until the next automatic zero
    std::int16_t Efficiency = 0; // lambda x1000, or AFR x100 when AfrMode
    std::int16_t Hc = 0;         // ppm
    std::int16_t Co = 0;         // 0.01 % vol
    std::int16_t Co2 = 0;        // 0.1 % vol
    std::int16_t Nox = 0;
    std::int16_t Rpm = 0;
    std::int16_t OilTemp = 0; // 0.1 degC
    std::int16_t O2 = 0;      // 0.01 % vol
    std::uint8_t ModeFlags = 0;
    std::uint8_t FuelCode = 0;
    std::uint8_t StatusA = 0;
    std::uint8_t StatusB = 0;
};

// Fills `reading` from the 22 data bytes, words low byte first.
LiveReading DecodeLiveReading(const std::array<std::uint8_t, kLiveDataSize> &data);
// The 24 bytes the analyser sends for `reading`, checksum included.
std::array<std::uint8_t, kLiveFrameSize> EncodeLiveFrame(const LiveReading &reading);

// Drains the input, then sends the poll command.
void RequestReading(PortState &port);

// Reads one frame into `reading` (overwritten even when the frame fails) and checks it.
// Valid: failedFrames = 0, true. Invalid: ++failedFrames, false. A bad frame is no Problem:
// polling expects some (a frame cut by a prompt, noise on the line), and only a run of them
// means something, which the live session decides from the count ("No Response").
bool ReadLiveFrame(PortState &port, LiveReading &reading, int &failedFrames);

// "LPG   ", "PETROL" (or "GASOLINE" for a US locale), "CNG   ", or "" for code 3.
QString FuelName(std::uint8_t fuelCode, bool usLocale);

struct UnitValue {
    double value;
    bool alternate; // AFR rather than lambda; degF rather than degC
};
UnitValue EfficiencyValue(const LiveReading &reading);
UnitValue OilTemperature(const LiveReading &reading);

// The reading limited to what the digital display and the report show. A gas above its
// range becomes all nines and a negative one zero; an efficiency out of range 9999
// (lambda 9.999, AFR 99.99). All bounds are inclusive; Rpm and OilTemp are left alone.
LiveReading WithinShownRanges(LiveReading reading);

} // namespace qova::link
