#pragma once

#include "link/protocol.h"
#include "link/serialport.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace qova::config {

using link::kCalibrationCommand;
using link::kHeaderCommand;
using link::kSetupCommand;

// The pre-send waits let the reply to the display's last poll arrive completely before
// the drain throws it away. The answer waits are upper bounds: they end as soon as the
// acknowledgement is queued.
inline constexpr int kSetupPreWaitMs = 1500;
inline constexpr int kSetupAnswerWaitMs = 1500;
inline constexpr int kCalibrationPreWaitMs = 1000;
inline constexpr int kCalibrationAnswerWaitMs = 2000;
inline constexpr int kHeaderPreWaitMs = 2;
inline constexpr int kHeaderAnswerWaitMs = 2500;

// ---- Setup ------------------------------------------------------------------------

// SetupFlags: the bits are those of link::setup.
using link::Fuel;
enum class DisplayLayout : std::uint8_t { Line = 0, FourPage = 1, EightPage = 2 };

inline constexpr std::uint8_t kInitialSetupFlags = link::setup::kInitialFlags;

std::uint8_t WithFuel(std::uint8_t flags, Fuel fuel);
std::uint8_t WithDisplayLayout(std::uint8_t flags, DisplayLayout layout);
std::uint8_t WithAfr(std::uint8_t flags, bool afr);
std::uint8_t WithFahrenheit(std::uint8_t flags, bool fahrenheit);

// The engine-speed modes in the order the analyser numbers them, each with its leading blank.
QStringList RpmModeNames();
using link::setup::kNoRpmMode;

// Two decimal digits in one byte: 37 -> 0x37.
std::uint8_t Bcd(int value);

using SetupPayload = std::array<std::uint8_t, link::kSetupPayloadSize>;
// Flags, mode (0 to 8, or -1 for none), then seconds, minutes, hours, day, month in BCD
// and the year as a plain number of years since 2000.
SetupPayload MakeSetupPayload(std::uint8_t flags, int rpmMode, const QDateTime &now);

// Waits, then reads the clock, so the analyser is set to the time the frame leaves and not
// to the time the operator pressed the button. Done when the analyser acknowledged.
Done SendSetup(link::PortState &port, std::uint8_t flags, int rpmMode, const std::function<QDateTime()> &clock);

// ---- Calibration --------------------------------------------------------------------

enum class Gas { Co, Co2, Hc, No };
struct CalibrationGas {
    Gas gas;
    const char *name;
};
// In the order of the calibration dialog's boxes.
inline constexpr std::array<CalibrationGas, 4> kCalibrationGases = {
    {{Gas::Co, "CO"}, {Gas::Co2, "CO2"}, {Gas::Hc, "HC"}, {Gas::No, "NO"}}};
QString GasName(Gas gas);

inline constexpr int kCalibrationMax = 65535;

// A whole number from 0 to 65535, blanks around it allowed. Anything else, "3.50" or "-1"
// or "70000" or an empty box, has no value: sending it as 0 or as its low 16 bits would
// mis-calibrate the analyser.
std::optional<std::uint16_t> ParseCalibrationValue(const QString &text);
// What the operator reads when a box holds no such number.
QString CalibrationRangeMessage(Gas gas);

using CalibrationValues = std::array<std::uint16_t, 4>; // CO, CO2, HC, NO
using CalibrationPayload = std::array<std::uint8_t, link::kCalibrationPayloadSize>;
// Each value low byte first, in the order CO, CO2, HC, NO.
CalibrationPayload MakeCalibrationPayload(const CalibrationValues &values);
Done SendCalibration(link::PortState &port, const CalibrationValues &values);

// ---- Printer header lines -----------------------------------------------------------------

using link::kHeaderLineBytes;
// The edits accept a little more than the frame carries.
inline constexpr int kHeaderEditLength = 24;

// One byte per character in Windows-1252, "?" for a character it cannot hold. Composed
// first, so an accent typed as a separate mark still becomes its single letter.
QByteArray ToWindows1252(const QString &text);

using HeaderPayload = std::array<std::uint8_t, link::kHeaderPayloadSize>;
// Each line cut to 20 bytes or filled with blanks; never trimmed.
HeaderPayload MakeHeaderPayload(const QString &line1, const QString &line2);

// Opens the port afresh and leaves it open afterwards. When the open fails nothing is
// written, PortOpen is false and the problem is the port's; otherwise it is the answer's.
Done SendHeaderLines(link::PortState &port, const QString &line1, const QString &line2);

} // namespace qova::config
