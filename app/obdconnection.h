#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "obd/obdaddress.h"
#include "obd/obdlink.h"
#include "result/result.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace qova::app {

// The simulated cars' names a "demo:" OBD address may take ("healthy", "lamp-on", ...).
QStringList DemoObdCars();
// QOVA_OBD's forms and the COMM choice's, with the demo cars this program has.
qova::Result<std::optional<obd::ObdAddress>> ParseObdChoice(const QString &text);

// The OBD adapter chosen in FILE > COMM, kept beside the analyser's connection.
inline constexpr const char *kObdChoiceKey = "obd";

// What the program uses at start: QOVA_OBD when set, else the kept choice. A value that
// names no adapter means none, and `problem` says what was wrong and where to fix it.
struct ObdChoice {
    std::optional<obd::ObdAddress> address;
    bool fromEnvironment = false;
    QString environmentText; // QOVA_OBD as set
    QString problem;
};
// `environment` is QOVA_OBD's value, or nothing when it is not set.
ObdChoice ReadObdChoice(QSettings &settings, const std::optional<QString> &environment);
std::optional<QString> ObdEnvironment();
// Removes the key for none; a problem naming the settings file when it cannot be written.
qova::Done WriteObdChoice(QSettings &settings, const std::optional<obd::ObdAddress> &address);

// The program's one OBD link and the choice it follows. The link lives as long as this
// object; `published` (the shared state's pointer) names it while an adapter is chosen and
// is null while none is, so a window that kept the pointer still holds a live link.
class ObdConnection {
public:
    using DeviceMaker = std::function<std::unique_ptr<link::ByteDevice>(const obd::ObdAddress &)>;
    ObdConnection(link::Pause &clock, DeviceMaker makeDevice, obd::ObdLink *&published);

    // Closes the adapter in use, if any, and opens `address` (none: leaves the link idle).
    // Choosing the adapter already in use leaves it running.
    void use(const std::optional<obd::ObdAddress> &address);
    const std::optional<obd::ObdAddress> &address() const { return address_; }
    obd::ObdLink &link() { return link_; }
    const DeviceMaker &deviceMaker() const { return makeDevice_; }

    // Set when QOVA_OBD decided at start: COMM then keeps its choice for a run without it.
    bool environmentDecides = false;
    QString environmentText;

private:
    obd::ObdLink link_;
    DeviceMaker makeDevice_;
    obd::ObdLink *&published_;
    std::optional<obd::ObdAddress> address_;
};

} // namespace qova::app
