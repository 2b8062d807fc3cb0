#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace qova::test {

// What a file holds; empty when it is missing or cannot be read, which the comparison
// that follows then shows.
inline QByteArray FileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes `path` hold just `bytes`, its folder made first; false when it cannot be written.
inline bool WriteFileContents(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace qova::test
