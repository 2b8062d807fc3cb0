#pragma once

#include "link/protocol.h"

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

namespace qova::store {

inline constexpr int kRecordSize = link::stored::kRecordSize;
// Longest row FormatStoredTestRow can produce (every field at its widest), without a line end.
inline constexpr std::size_t kMaxRowLength = 96;

// One stored test as the analyser keeps it: the same 30 bytes on the wire and in the data file.
struct StoredTestRecord {
    std::uint8_t Second = 0, Minute = 0, Hour = 0, Day = 0, Month = 0; // BCD
    std::uint8_t YearInCycle = 0; // 0 to 3; the workstation's clock supplies the rest
    std::int16_t Hc = 0;          // ppm
    std::int16_t Co = 0;          // hundredths of a percent
    std::int16_t Co2 = 0;         // tenths of a percent
    std::int16_t No = 0;          // ppm
    std::int16_t Rpm = 0;
    std::int16_t Oil = 0; // tenths of a degree
    std::int16_t O2 = 0;  // hundredths of a percent
    std::array<std::uint8_t, 10> Rest{};

    static StoredTestRecord decode(const std::uint8_t *bytes);
    std::array<std::uint8_t, kRecordSize> encode() const;
};

// Offsets of the values within a record, high byte first.
inline constexpr int kHcOffset = link::stored::kHc, kCoOffset = link::stored::kCo, kCo2Offset = link::stored::kCo2,
                     kNoOffset = link::stored::kNo, kRpmOffset = link::stored::kRpm, kOilOffset = link::stored::kOil,
                     kO2Offset = link::stored::kO2;

inline std::int16_t StoredNumber(const std::uint8_t *record, int offset)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((record[offset] << 8) | record[offset + 1]));
}

// High nibble times ten plus low nibble; the analyser's bytes are taken as they come.
inline int DecodeBcd(std::uint8_t b)
{
    return (b >> 4) * 10 + (b & 0x0F);
}

// The analyser counts years only within a four-year cycle: the rest comes from the
// workstation's year, so a record is dated in the workstation's current cycle.
int StoredYear(std::uint8_t yearInCycle, int currentYear);

// The record's row for the list and the export: date, time and the seven values, no line
// end. Writes at most kMaxRowLength characters to `out` and returns how many.
std::size_t FormatStoredTestRow(const std::uint8_t *record, int currentYear, char *out);
QString FormatStoredTestRow(const std::uint8_t *record, int currentYear);

} // namespace qova::store
