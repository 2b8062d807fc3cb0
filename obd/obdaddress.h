#pragma once

#include "result/result.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace qova::obd {

// Where the OBD adapter is: as the analyser's ports are named, a serial device
// ("/dev/ttyUSB1", "/dev/rfcomm0", "COM7"), a network adapter ("tcp://192.168.0.10:35000")
// or a simulated car ("demo", "demo:lamp-on").
struct ObdAddress {
    enum class Kind : std::uint8_t { Serial, Network, Demo };
    Kind kind = Kind::Serial;
    QString name;
    // A serial adapter's baud rate when the operator chose one; none: tried in turn.
    std::optional<int> baudRate;
    // Which simulated car a demo address names; empty for the plain "demo", the first car.
    QString demoCar;
    friend bool operator==(const ObdAddress &, const ObdAddress &) = default;
};

// "none", "", "demo", "demo:CAR", "tcp://HOST:PORT", a device name, each optionally
// followed by "@BAUD" for a serial adapter ("/dev/ttyUSB1@38400"). No address (empty text
// or "none") is no adapter, which is not a problem; the problem says why the text names no
// adapter it could be. `demoCars` are the simulated cars' names a "demo:" address may take
// (the simulator's list, which this library cannot see).
qova::Result<std::optional<ObdAddress>> ParseObdAddress(const QString &text, const QStringList &demoCars = {});

// The text ParseObdAddress reads back as `address`: what is kept in the settings.
QString ObdAddressText(const ObdAddress &address);

inline constexpr const char *kObdDemoPrefix = "demo:";

// QOVA_OBD, which overrides the choice kept in the settings.
inline constexpr const char *kObdEnvironment = "QOVA_OBD";

// The baud rates an ELM327-compatible adapter is found at: the usual factory setting first.
inline constexpr int kObdBaudRates[] = {38400, 9600, 115200};

} // namespace qova::obd
