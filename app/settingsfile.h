#pragma once

#include "result/result.h"

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>

class QSettings;

namespace qova::app {

inline constexpr const char *kPortFileName = "SETUP.EA2";

// The port named by the first bytes of SETUP.EA2: the digit 1 to 4 right after the
// first "=" within the first 20 bytes, else 1.
int PortFromSetupBytes(const QByteArray &bytes);
// Reads the file at `path`; a missing or unreadable file gives 1.
int ReadPortFile(const QString &path);
// Writes exactly "PORT=n", replacing the file; a problem when it cannot be written whole,
// and the file is then as it was.
qova::Done WritePortFile(const QString &path, int port);

// "QOVA    COM1" at start-up, "QOVA  COM1" after the COMM dialog; the name forms take
// what the port is called ("ttyUSB0", "bay3:4001").
QString StartupCaption(int port);
QString CommDialogCaption(int port);
QString StartupCaption(const QString &portName);
QString CommDialogCaption(const QString &portName);

// A connection chosen outside COM1 to COM4 is kept in the program's settings under this
// key (SETUP.EA2 keeps naming COM1 to COM4); empty or absent for COMn.
inline constexpr const char *kDeviceChoiceKey = "connection";
// One line of text; anything else reads as no choice (COMn), and `ignored`, when given,
// gets the line saying why.
QString ReadDeviceChoice(QSettings &settings, QStringList *ignored = nullptr);
// A problem naming the settings file when it could not be written.
qova::Done WriteDeviceChoice(QSettings &settings, const QString &device);

// The Windows locale text (00000409 for US English) read as a decimal integer.
bool UsLocaleFromLocaleText(const QString &text);
// Windows: the "Locale" value of the user's international settings. Elsewhere: the
// system locale is US English.
bool SystemUsLocale();

// Top-left of a panel centred in a client area; integer halves truncated toward zero.
QPoint CentredPosition(QSize client, QSize panel);

} // namespace qova::app
