#pragma once

#include "link/bytedevice.h"
#include "link/serialport.h"
#include "obd/obdaddress.h"

#include <QString>
#include <memory>

namespace qova::app {

// The program's devices: COMn becomes the device PortDeviceName(n) names, and a device
// chosen by name in the COMM dialog the one its name gives: the built-in simulated
// analyser for "demo", a network serial server for tcp://HOST:PORT and rfc2217://HOST:PORT,
// else a serial port. One simulated analyser serves both; sets port.factory and
// port.namedFactory.
void UseProgramDevices(link::PortState &port, link::Pause &pause);

// A practice car of the demo analyser ("demo:good-catalyst") chosen again starts from
// switch-on at its next opening, so its driver's script runs in step with a new check.
void SwitchOnDemoCarAgain(const QString &device);

// The OBD adapter's device: a serial port, a network adapter, or the simulated car the
// address names (healthy for plain "demo"). The car's engine is the one the demo analyser
// named by `analyserDevice` measures ("demo:good-catalyst" a practice car's), the plain
// demo analyser's when that names no demo.
std::unique_ptr<link::ByteDevice> MakeObdDevice(const obd::ObdAddress &address, link::Pause &pause,
                                                const QString &analyserDevice = QString());

} // namespace qova::app
