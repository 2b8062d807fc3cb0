#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace qova::test {

// What a file holds; empty when it is missing or cannot be read, which the comparison
// that follows then shows.
inline QByteArray FileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace qova::test
