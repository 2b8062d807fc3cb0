#pragma once

#include "serialport.h"

namespace qova::app {

// COMn becomes the serial device PortDeviceName(n) names, or the built-in simulated
// analyser when that name is "demo".
link::DeviceFactory ProgramDevices(link::Pause &pause);

} // namespace qova::app
