#include "report/recording.h"

#include "history/csvwriter.h"
#include "history/testentry.h"

#include <QBuffer>

#include "report/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#ifdef Q_OS_WIN
#include <io.h>
#include <share.h>
#include <string>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace qova::report {

namespace {

// The few file calls the recording needs, on a descriptor so that each row is one write
// and can be forced to the disk. A failure leaves its reason in errno.
#ifdef Q_OS_WIN
int openTruncated(const QString &path)
{
    // Binary: the rows carry their own "\r\n"; a text-mode write would double the "\r".
    // Others may read the recording while it runs.
    const std::wstring name = path.toStdWString();
    int fd = -1;
    if (const errno_t err = _wsopen_s(&fd, name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        err != 0) {
        errno = err;
        return -1;
    }
    return fd;
}

long long writeBytes(int fd, const QByteArray &bytes)
{
    return _write(fd, bytes.constData(), static_cast<unsigned>(bytes.size()));
}

// _commit is FlushFileBuffers on the descriptor's handle.
bool syncToDisk(int fd)
{
    return _commit(fd) == 0;
}

bool truncateTo(int fd, long long size)
{
    return _chsize_s(fd, size) == 0;
}

void closeFile(int fd)
{
    _close(fd);
}

QString reason(int err)
{
    char text[256] = {};
    strerror_s(text, sizeof text, err);
    return QString::fromLocal8Bit(text);
}
#else
int openTruncated(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

long long writeBytes(int fd, const QByteArray &bytes)
{
    return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool syncToDisk(int fd)
{
#ifdef Q_OS_LINUX
    return ::fdatasync(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

bool truncateTo(int fd, long long size)
{
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

void closeFile(int fd)
{
    ::close(fd);
}

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}
#endif

} // namespace

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

RecordFormat RecordFormatFor(const QString &path)
{
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? RecordFormat::Csv : RecordFormat::Text;
}

QString RecordFileFilters()
{
    return QLatin1String(kRecordTextFilter) + QLatin1String(";;") + QLatin1String(kRecordCsvFilter);
}

RecordTarget RecordTargetFor(const QString &chosen, const QString &selectedFilter)
{
    RecordTarget target{chosen, RecordFormatFor(chosen), false};
    if (selectedFilter != QLatin1String(kRecordCsvFilter))
        return target;
    target.format = RecordFormat::Csv;
    // As a file dialog adds its default suffix: only to a name with no dot at all.
    const QString name = QFileInfo(chosen).fileName();
    if (!name.isEmpty() && !name.contains(u'.')) {
        target.path = chosen + QStringLiteral(".csv");
        target.suffixAdded = true;
    }
    return target;
}

QByteArray RecordCsvHeader()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    history::CsvWriter csv(buffer);
    for (const char *name :
         {"taken_at", "hc_ppm", "co_pct", "co2_pct", "o2_pct", "nox_ppm", "rpm", "oil_temp_c", "lambda", "afr"})
        csv.text(QString::fromLatin1(name));
    csv.endRow();
    (void)csv.finish(); // into a buffer, which takes every byte
    return buffer.data();
}

QByteArray RecordCsvRow(const link::LiveReading &r, const QDateTime &time)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    history::CsvWriter csv(buffer, false);
    csv.text(history::IsoTime(time));
    csv.number(r.Hc);
    csv.fixed(r.Co, 2);
    csv.fixed(r.Co2, 1);
    csv.fixed(r.O2, 2);
    csv.number(r.Nox);
    csv.number(r.Rpm);
    csv.fixed(r.OilTemp, 1);
    if (r.ModeFlags & link::AfrMode) {
        csv.empty();
        csv.fixed(r.Efficiency, 2);
    } else {
        csv.fixed(r.Efficiency, 3);
        csv.empty();
    }
    csv.endRow();
    (void)csv.finish(); // into a buffer, which takes every byte
    return buffer.data();
}

Done RecordFile::open(const QString &path, RecordFormat format)
{
    close();
    path_ = path;
    format_ = format;
    const QString what = QStringLiteral("Can not record in the file %1").arg(path);
    fd_ = openTruncated(path);
    if (fd_ < 0)
        return Problem{what, reason(errno), {}};
    size_ = 0;
    if (const QString why = writeWhole(format_ == RecordFormat::Csv ? RecordCsvHeader() : RecordHeader());
        !why.isEmpty())
        return Problem{what, why, {}};
    return {};
}

Done RecordFile::writeRow(const QByteArray &row)
{
    const QString what = QStringLiteral("Recording stopped: the file %1 could not be written").arg(path_);
    if (!isOpen())
        return Problem{what, QStringLiteral("The file is not open"), {}};
    if (const QString why = writeWhole(row); !why.isEmpty())
        return Problem{what, why, {}};
    return {};
}

QString RecordFile::writeWhole(const QByteArray &bytes)
{
    const long long written = writeBytes(fd_, bytes);
    int err = written < 0 ? errno : 0;
    // A device or pipe that cannot be synced (EINVAL) has nothing to lose in a crash.
    if (written == bytes.size() && (syncToDisk(fd_) || errno == EINVAL)) {
        size_ += written;
        return {};
    }
    if (err == 0)
        err = written == bytes.size() ? errno : ENOSPC;
    QString why = reason(err);
    // Leave no half row behind a disk-full stop; the whole rows before it stay.
    if (written > 0 && truncateTo(fd_, size_))
        syncToDisk(fd_);
    close();
    return why;
}

void RecordFile::close()
{
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
}

} // namespace qova::report
