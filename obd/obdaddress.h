#pragma once

#include "result/result.h"

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

// "none", "", "demo", "tcp://HOST:PORT", a device name, each optionally followed by
// "@BAUD" for a serial adapter ("/dev/ttyUSB1@38400"). No address (empty text or "none")
// is no adapter, which is not a problem; the problem says why the text names no adapter
// it could be.
qova::Result<std::optional<ObdAddress>> ParseObdAddress(const QString &text);

// QOVA_OBD, which overrides the choice kept in the settings.
inline constexpr const char *kObdEnvironment = "QOVA_OBD";

// The baud rates an ELM327-compatible adapter is found at: the usual factory setting first.
inline constexpr int kObdBaudRates[] = {38400, 9600, 115200};

} // namespace qova::obd
