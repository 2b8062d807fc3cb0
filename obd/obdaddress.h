#pragma once

#include <QString>
#include <optional>

namespace qova::obd {

// Where the OBD adapter is: as the analyser's ports are named, a serial device
// ("/dev/ttyUSB1", "/dev/rfcomm0", "COM7"), a network adapter ("tcp://192.168.0.10:35000")
// or the simulated car ("demo").
struct ObdAddress {
    enum class Kind : std::uint8_t { Serial, Network, Demo };
    Kind kind = Kind::Serial;
    QString name;
    // A serial adapter's baud rate when the operator chose one; none: tried in turn.
    std::optional<int> baudRate;
    friend bool operator==(const ObdAddress &, const ObdAddress &) = default;
};

struct ParsedObdAddress {
    std::optional<ObdAddress> address; // none: no adapter (empty text or "none")
    QString problem;                   // why the text names no adapter it could be
};

// "none", "", "demo", "tcp://HOST:PORT", a device name, each optionally followed by
// "@BAUD" for a serial adapter ("/dev/ttyUSB1@38400").
ParsedObdAddress ParseObdAddress(const QString &text);

// QOVA_OBD, which overrides the choice kept in the settings.
inline constexpr const char *kObdEnvironment = "QOVA_OBD";

// The baud rates an ELM327-compatible adapter is found at: the usual factory setting first.
inline constexpr int kObdBaudRates[] = {38400, 9600, 115200};

} // namespace qova::obd
