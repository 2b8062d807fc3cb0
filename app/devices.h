#pragma once

#include "serialport.h"

namespace qova::app {

// COMn becomes the device PortDeviceName(n) names: the built-in simulated analyser for
// "demo", a network serial server for tcp://HOST:PORT and rfc2217://HOST:PORT, else a
// serial port.
link::DeviceFactory ProgramDevices(link::Pause &pause);

} // namespace qova::app
