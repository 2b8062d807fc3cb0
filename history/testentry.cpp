#include "history/testentry.h"

#include <QTimeZone>
#include <QUuid>

namespace qova::history {

TestEntry NewEntry(const QDateTime &takenAt)
{
    TestEntry entry;
    entry.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.takenAt = takenAt;
    return entry;
}

QString NormalisedRegistration(const QString &registration)
{
    QString key;
    key.reserve(registration.size());
    for (const QChar c : registration)
        if (!c.isSpace())
            key.append(c.toUpper());
    return key;
}

QString IsoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QDateTime FromIsoTime(const QString &text)
{
    // Qt reads the offset but gives the time in local time; keep the zone it was taken in.
    const QDateTime read = QDateTime::fromString(text, Qt::ISODate);
    if (!read.isValid() || text.size() < 25)
        return {};
    const int sign = text.at(19) == u'-' ? -1 : 1;
    const int offset = sign * (text.mid(20, 2).toInt() * 3600 + text.mid(23, 2).toInt() * 60);
    return read.toOffsetFromUtc(offset);
}

} // namespace qova::history
