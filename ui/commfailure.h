#pragma once

#include "link/serialport.h"

#include <QString>

namespace qova::ui {

// What a "Communication failed try again" box says under its fixed text: the device, the
// system's reason, and where the operator changes or tests the connection.
QString PortFailureDetail(const link::PortState &port);
// The same for a port that opened but whose analyser did not answer.
QString NoAnswerDetail(const link::PortState &port);

} // namespace qova::ui
