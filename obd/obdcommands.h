#pragma once

#include <cstdint>
#include <string_view>

namespace qova::obd {

// What the session says to the adapter; each ends with a carriage return on the line.
namespace command {
inline constexpr std::string_view kReset = "ATZ";
inline constexpr std::string_view kEchoOff = "ATE0";
inline constexpr std::string_view kLineFeedsOff = "ATL0";
inline constexpr std::string_view kHeadersOn = "ATH1";
inline constexpr std::string_view kProtocolAuto = "ATSP0";
} // namespace command

// OBD-II services (modes) and the PIDs read; a positive answer is the service plus 0x40.
namespace service {
inline constexpr std::uint8_t kCurrentData = 0x01;
inline constexpr std::uint8_t kStoredCodes = 0x03;
inline constexpr std::uint8_t kVehicleInfo = 0x09;
inline constexpr std::uint8_t kPositiveOffset = 0x40;
} // namespace service

namespace pid {
inline constexpr std::uint8_t kSupported01To20 = 0x00;
inline constexpr std::uint8_t kMonitorStatus = 0x01;
inline constexpr std::uint8_t kCoolantTemperature = 0x05;
inline constexpr std::uint8_t kEngineSpeed = 0x0C;
inline constexpr std::uint8_t kSupported21To40 = 0x20;
inline constexpr std::uint8_t kSupported41To60 = 0x40;
inline constexpr std::uint8_t kOilTemperature = 0x5C;
// Service 09.
inline constexpr std::uint8_t kVin = 0x02;
} // namespace pid

inline constexpr int kVinLength = 17;
// Temperatures are sent as degC + 40, engine speed in quarter turns a minute.
inline constexpr int kTemperatureOffset = 40;
inline constexpr double kEngineSpeedDivisor = 4.0;

} // namespace qova::obd
