#pragma once

#include "obd/elmreply.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::obd {

// A reading, or why there is none. A reading that is not there is unknown: never zero,
// never "off", never "complete".
template <typename T> struct Decoded {
    std::optional<T> value;
    QString problem;
    bool known() const { return value.has_value(); }
};

// PIDs of service 01 the car says it supports, from the answers to 0100, 0120, 0140...
// Several ECUs: a PID is supported when any of them supports it.
struct SupportedPids {
    std::array<bool, 256> pids{};
    bool has(std::uint8_t pid) const { return pids[pid]; }
};
// The 32 PIDs after `base` that the messages say are supported.
Decoded<SupportedPids> DecodeSupportedPids(const std::vector<EcuMessage> &messages, std::uint8_t base);

enum class Readiness : std::uint8_t { Complete, Incomplete, NotSupported };

// The readiness monitors of 01 01, in the order the car reports them.
enum class Monitor : std::uint8_t {
    Misfire,
    FuelSystem,
    Components,
    // Spark ignition
    Catalyst,
    HeatedCatalyst,
    EvaporativeSystem,
    SecondaryAir,
    AcRefrigerant,
    OxygenSensor,
    OxygenSensorHeater,
    Egr,
    // Compression ignition
    NmhcCatalyst,
    NoxAftertreatment,
    BoostPressure,
    ExhaustGasSensor,
    ParticulateFilter,
    EgrVvt,
};
inline constexpr int kMonitorKinds = static_cast<int>(Monitor::EgrVvt) + 1;
QString MonitorName(Monitor monitor);
// "complete", "incomplete", "not supported".
QString ReadinessName(Readiness readiness);

struct MonitorReadiness {
    Monitor monitor;
    Readiness readiness;
    friend bool operator==(const MonitorReadiness &, const MonitorReadiness &) = default;
};

struct MonitorStatus {
    bool lampOn = false; // commanded on by any ECU
    int storedCodes = 0; // summed over the ECUs
    bool compressionIgnition = false;
    std::vector<MonitorReadiness> monitors; // every monitor of the engine's kind
    int incomplete() const;
};
Decoded<MonitorStatus> DecodeMonitorStatus(const std::vector<EcuMessage> &messages);

Decoded<double> DecodeEngineSpeed(const std::vector<EcuMessage> &messages);                // rpm
Decoded<int> DecodeTemperature(const std::vector<EcuMessage> &messages, std::uint8_t pid); // degC, 01 05 or 01 5C

// Stored codes in their usual form ("P0133", "U0100"), each once, in the order sent.
Decoded<std::vector<QString>> DecodeStoredCodes(const std::vector<EcuMessage> &messages);

struct Vin {
    QString text;         // as received; a byte that is no printable character shows as U+FFFD
    bool trusted = false; // 17 characters, each a digit or a capital other than I, O and Q
    QString doubt;        // why it is not trusted
};
Decoded<Vin> DecodeVin(const std::vector<EcuMessage> &messages);
// A character a VIN may hold: a digit or a capital letter other than I, O and Q.
bool VinCharacterAllowed(char16_t c);
// Why a VIN as typed cannot be trusted, or empty when it can.
QString VinDoubt(const QString &text);

} // namespace qova::obd
