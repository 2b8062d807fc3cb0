#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Every number of the analyser's link: command bytes, frame sizes and offsets, flag bits
// and the check word. The link, the configuration sends, the upload and the simulated
// analyser all read them from here, so the two ends of the line cannot drift apart.
namespace qova::link {

// ---- The line ---------------------------------------------------------------------------

// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control: what a serial port is set
// to, and what a network serial server is asked for.
inline constexpr int kLineBaudRate = 9600;
inline constexpr int kLineDataBits = 8;
inline constexpr int kLineStopBits = 1;

// ---- Single bytes -----------------------------------------------------------------------

inline constexpr std::uint8_t kPollCommand = 0x11;
inline constexpr std::uint8_t kPumpCommand = 0x22;
inline constexpr std::uint8_t kZeroCommand = 0x55;
inline constexpr std::uint8_t kResetCalCommand = 0x09;
// Answers to the analyser's prompts.
inline constexpr std::uint8_t kConfirmReply = 0x06;
inline constexpr std::uint8_t kDeclineReply = 0x05;
// The analyser's "frame taken".
inline constexpr std::uint8_t kAcknowledge = 'O';

// ---- Live reading frame -----------------------------------------------------------------

// 22 data bytes, words low byte first, then the check word.
inline constexpr int kLiveFrameSize = 24;
inline constexpr int kLiveDataSize = 22;
namespace live {
inline constexpr int kBattery = 0;
inline constexpr int kTimeToZero = 1;
inline constexpr int kEfficiency = 2;
inline constexpr int kHc = 4;
inline constexpr int kCo = 6;
inline constexpr int kCo2 = 8;
inline constexpr int kNox = 10;
inline constexpr int kRpm = 12;
inline constexpr int kOilTemp = 14;
inline constexpr int kO2 = 16;
inline constexpr int kModeFlags = 18;
inline constexpr int kFuelCode = 19;
inline constexpr int kStatusA = 20;
inline constexpr int kStatusB = 21;
inline constexpr int kCheckWord = 22;
} // namespace live

// ModeFlags
inline constexpr std::uint8_t AfrMode = 0x20;
inline constexpr std::uint8_t Fahrenheit = 0x80;
// StatusA
inline constexpr std::uint8_t PowerUpCountdown = 0x01;
inline constexpr std::uint8_t LeakTestOffer = 0x02;
inline constexpr std::uint8_t LeakTestReady = 0x04;
inline constexpr std::uint8_t LeakTestFailed = 0x08;
inline constexpr std::uint8_t LeakTestPassed = 0x10;
inline constexpr std::uint8_t ZeroReady = 0x20;
inline constexpr std::uint8_t HcCheckReady = 0x40;
inline constexpr std::uint8_t HcCheckDone = 0x80;
// StatusB
inline constexpr std::uint8_t PumpOn = 0x01;
inline constexpr std::uint8_t Zeroing = 0x02;
inline constexpr std::uint8_t LowFlow = 0x04;
// The fuel code's two bits.
inline constexpr std::uint8_t kFuelCodeMask = 0x03;

// ---- Fuels ------------------------------------------------------------------------------
// Each fuel by the code the analyser sends in the live frame and takes in the setup flags.
// Everyone reads this one table: the setup, the check's choice and limit sets, the
// certificate and the simulated analyser's AFR.

enum class Fuel : std::uint8_t { Lpg = 0, Petrol = 1, Cng = 2 };

struct FuelInfo {
    Fuel fuel;
    const char *fileName;        // in a limit-set file
    const char *shownName;       // in the check window and on its certificate
    int stoichiometricAfrTenths; // the AFR of lambda 1, x10
};

// In the order the check offers them: petrol first, as most cars are.
inline constexpr FuelInfo kFuels[] = {
    {Fuel::Petrol, "petrol", "Petrol", 147},
    {Fuel::Lpg, "lpg", "LPG", 155},
    {Fuel::Cng, "cng", "CNG", 172},
};

constexpr std::uint8_t FuelCodeOf(Fuel fuel)
{
    return static_cast<std::uint8_t>(fuel);
}

constexpr const FuelInfo &FuelInfoOf(Fuel fuel)
{
    for (const FuelInfo &info : kFuels)
        if (info.fuel == fuel)
            return info;
    return kFuels[0];
}

// Only the code's two bits count; code 3 (no fuel set) is taken as petrol, whose AFR the
// analyser then uses.
constexpr Fuel FuelFromCode(std::uint8_t code)
{
    for (const FuelInfo &info : kFuels)
        if (FuelCodeOf(info.fuel) == (code & kFuelCodeMask))
            return info.fuel;
    return Fuel::Petrol;
}

constexpr int StoichiometricAfrTenths(Fuel fuel)
{
    return FuelInfoOf(fuel).stoichiometricAfrTenths;
}

// ---- Command frames ---------------------------------------------------------------------
// Command byte, payload, check word low byte first.

inline constexpr std::uint8_t kSetupCommand = 0x77;
inline constexpr std::uint8_t kCalibrationCommand = 0x99;
inline constexpr std::uint8_t kHeaderCommand = 0xDD;
inline constexpr std::size_t kSetupPayloadSize = 8;
inline constexpr std::size_t kCalibrationPayloadSize = 8;
inline constexpr int kHeaderLineBytes = 20;
inline constexpr std::size_t kHeaderPayloadSize = 2 * kHeaderLineBytes;
inline constexpr std::size_t kCheckWordSize = 2;

// The setup payload: flags, engine-speed mode, then seconds, minutes, hours, day, month
// in BCD and the year.
namespace setup {
inline constexpr int kFlags = 0;
inline constexpr int kRpmMode = 1;
inline constexpr int kClock = 2;
inline constexpr int kClockSize = 6;
// Flags: bits 0-1 fuel, bit 2 always set, bit 3 always clear, bits 4-5 display layout,
// bit 6 AFR instead of lambda, bit 7 Fahrenheit instead of Celsius.
inline constexpr std::uint8_t kFuelMask = kFuelCodeMask;
inline constexpr std::uint8_t kLayoutMask = 0x30;
inline constexpr int kLayoutShift = 4;
inline constexpr std::uint8_t kAfrBit = 0x40;
inline constexpr std::uint8_t kFahrenheitBit = 0x80;
// Petrol, line display, lambda, degC.
inline constexpr std::uint8_t kInitialFlags = 0x05;
// Sent as the mode when none is selected.
inline constexpr std::uint8_t kNoRpmMode = 0xFF;
} // namespace setup

// ---- Upload of stored tests -------------------------------------------------------------
// "D" is answered with the acknowledge and the first block; every block is a length byte
// (data bytes + 1), the data and a check word over length and data. "O" asks for the next,
// "E" for the same again; a length byte of 0 ends the store.

inline constexpr std::uint8_t kUploadRequest = 'D';
inline constexpr std::uint8_t kUploadAcknowledge = 0x06;
inline constexpr std::uint8_t kBlockAccepted = 'O';
inline constexpr std::uint8_t kBlockRejected = 'E';
inline constexpr std::uint8_t kEndBlock = 0;
inline constexpr std::size_t kMaxBlockData = 254;

// One stored test, the same 30 bytes in the upload and in the data file: second, minute,
// hour, day and month in BCD, the year within a four-year cycle, then signed words high
// byte first.
namespace stored {
inline constexpr int kRecordSize = 30;
inline constexpr int kSecond = 0, kMinute = 1, kHour = 2, kDay = 3, kMonth = 4, kYearInCycle = 5;
inline constexpr int kHc = 6, kCo = 8, kCo2 = 10, kNo = 12, kRpm = 14, kOil = 16, kO2 = 18;
// What the program does not read.
inline constexpr int kRest = 20;
} // namespace stored

// ---- The check word ---------------------------------------------------------------------

// (65536 - sum of the bytes) mod 65536: the bytes plus this word add up to 0.
constexpr std::uint16_t FrameChecksum(std::span<const std::uint8_t> bytes, std::uint16_t start = 0)
{
    std::uint16_t sum = start;
    for (std::uint8_t b : bytes)
        sum = static_cast<std::uint16_t>(sum + b);
    return static_cast<std::uint16_t>(0x10000 - sum);
}

// An upload block's check word counts its length byte too.
constexpr std::uint16_t BlockCheckWord(std::uint8_t length, std::span<const std::uint8_t> data)
{
    return FrameChecksum(data, length);
}

constexpr std::uint8_t LowByte(std::uint16_t word)
{
    return static_cast<std::uint8_t>(word & 0xFF);
}
constexpr std::uint8_t HighByte(std::uint16_t word)
{
    return static_cast<std::uint8_t>(word >> 8);
}
constexpr std::uint16_t WordLowFirst(std::uint8_t low, std::uint8_t high)
{
    return static_cast<std::uint16_t>(low | (high << 8));
}

} // namespace qova::link
