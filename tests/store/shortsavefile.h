#pragma once

#include <QSaveFile>
#include <algorithm>

namespace qova::test {

// A disk that fills up: writes take fewer bytes than offered and report no error.
class ShortSaveFile final : public QSaveFile {
public:
    ShortSaveFile(const QString &path, qint64 room) : QSaveFile(path), room_(room) {}

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 n = std::min(len, room_);
        room_ -= n;
        return n == 0 ? 0 : QSaveFile::writeData(data, n);
    }

private:
    qint64 room_;
};

} // namespace qova::test
