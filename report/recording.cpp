#include "recording.h"

#include "textfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qova::report {

QByteArray RecordHeader()
{
    return TextLine(QString::fromLatin1(kRecordHeader), 2);
}

bool ShouldRecord(const link::LiveReading &r)
{
    return r.StatusA == 0 && (r.StatusB & link::PumpOn) != 0;
}

QByteArray RecordRow(const link::LiveReading &r, const QString &time)
{
    const link::UnitValue efficiency = link::EfficiencyValue(r);
    QString row =
        QString::asprintf("%04d %.2f %.1f %.2f %04d %04d", r.Hc, r.Co * 0.01, r.Co2 * 0.1, r.O2 * 0.01, r.Nox, r.Rpm);
    row += QString::asprintf(" %.1f", link::OilTemperature(r).value);
    row += QString::asprintf(efficiency.alternate ? "  %.2f    " : "  %.3f    ", efficiency.value);
    row += time;
    return TextLine(row, 1);
}

RecordFile::~RecordFile()
{
    close();
}

bool RecordFile::open(const QString &path)
{
    close();
    path_ = path;
    error_.clear();
    fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    size_ = 0;
    return writeWhole(RecordHeader());
}

bool RecordFile::writeRow(const QByteArray &row)
{
    if (!isOpen()) {
        error_ = QStringLiteral("The file is not open");
        return false;
    }
    return writeWhole(row);
}

bool RecordFile::writeWhole(const QByteArray &bytes)
{
    const ssize_t written = ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size()));
    int err = written < 0 ? errno : 0;
    // A device or pipe that cannot be synced (EINVAL) has nothing to lose in a crash.
    if (written == bytes.size() && (::fdatasync(fd_) == 0 || errno == EINVAL)) {
        size_ += written;
        return true;
    }
    if (err == 0)
        err = written == bytes.size() ? errno : ENOSPC;
    error_ = QString::fromLocal8Bit(std::strerror(err));
    // Leave no half row behind a disk-full stop; the whole rows before it stay.
    if (written > 0 && ::ftruncate(fd_, size_) == 0)
        ::fdatasync(fd_);
    close();
    return false;
}

void RecordFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace qova::report
