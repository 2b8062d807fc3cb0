#pragma once

#include <QByteArray>
#include <QString>

namespace qova::link {

// The analyser's header lines and the workstation's text files keep its single-byte code
// page, Windows-1252, so that the degree sign is the one byte 0xB0: one byte per character,
// "?" for a character the code page lacks (a broken surrogate included).
QByteArray ToWindows1252(const QString &text);

} // namespace qova::link
