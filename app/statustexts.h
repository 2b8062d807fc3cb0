#pragma once

#include <QString>

namespace qova::app {

// What the main window's status bar says about the connection: the device chosen in
// FILE > COMM, and for COM1 to COM4 the device an environment variable put in its place.
// `comDevice` is the device COMn stands for (link::PortDeviceName).
QString ConnectionStatusText(int portNumber, const QString &chosenDevice, const QString &comDevice);

// And about the test history: where it is, and whether it can be reached now.
enum class HistoryReach { Open, Connecting, NotReachable };
QString HistoryStatusText(const QString &url, HistoryReach reach, const QString &problem);

} // namespace qova::app
