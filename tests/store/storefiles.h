#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace qova::test {

// The bytes as a data file holds them.
inline QByteArray BytesOf(const std::vector<std::uint8_t> &v)
{
    return {reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(v.size())};
}

// Makes `path` a file of `data`: the number of bytes written, -1 when it cannot be opened.
inline qint64 WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) ? f.write(data) : -1;
}

} // namespace qova::test
