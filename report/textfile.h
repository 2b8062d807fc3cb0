#pragma once

#include "link/codepage.h"

#include <QByteArray>
#include <QString>

namespace qova::report {

// What a text-mode write turns "\n" into on this platform.
#if defined(Q_OS_WIN)
inline constexpr char kLineEnd[] = "\r\n";
#else
inline constexpr char kLineEnd[] = "\n";
#endif

// The files keep the workstation's single-byte code page.
using link::ToWindows1252;

// `text`, a blank, then `lineBreaks` line ends.
QByteArray TextLine(const QString &text, int lineBreaks);

} // namespace qova::report
