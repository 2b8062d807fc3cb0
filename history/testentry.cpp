#include "testentry.h"

#include <QJsonArray>
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

namespace {
QJsonObject valuesJson(const Values &v)
{
    return {{"co", v.co},   {"co2", v.co2}, {"hc", v.hc},           {"o2", v.o2},
            {"nox", v.nox}, {"rpm", v.rpm}, {"oilTemp", v.oilTemp}, {"efficiency", v.efficiency}};
}

bool valuesFrom(const QJsonValue &value, Values &v)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    for (const char *name : {"co", "co2", "hc", "o2", "nox", "rpm", "oilTemp", "efficiency"})
        if (!o.value(QLatin1String(name)).isDouble())
            return false;
    v = {o["co"].toInt(),  o["co2"].toInt(), o["hc"].toInt(),      o["o2"].toInt(),
         o["nox"].toInt(), o["rpm"].toInt(), o["oilTemp"].toInt(), o["efficiency"].toInt()};
    return true;
}
} // namespace

QJsonObject ToJson(const TestEntry &e)
{
    return {{"uid", e.uid},
            {"kind", e.kind},
            {"takenAt", IsoTime(e.takenAt)},
            {"registration", e.registration},
            {"vehicle", e.vehicle},
            {"companyHeader", e.companyHeader},
            {"fuel", e.fuel},
            {"fuelCode", e.fuelCode},
            {"modeFlags", e.modeFlags},
            {"afr", e.afr},
            {"fahrenheit", e.fahrenheit},
            {"printed", valuesJson(e.printed)},
            {"received", valuesJson(e.received)},
            {"pageLines", QJsonArray::fromStringList(e.pageLines)},
            {"verdict", e.verdict.isNull() ? QJsonValue() : QJsonValue(e.verdict)}};
}

bool FromJson(const QJsonObject &o, TestEntry &e)
{
    for (const char *name : {"uid", "kind", "takenAt", "registration", "vehicle", "companyHeader", "fuel"})
        if (!o.value(QLatin1String(name)).isString())
            return false;
    if (!o["afr"].isBool() || !o["fahrenheit"].isBool() || !o["pageLines"].isArray())
        return false;
    TestEntry read;
    read.uid = o["uid"].toString();
    read.kind = o["kind"].toString();
    read.takenAt = FromIsoTime(o["takenAt"].toString());
    read.registration = o["registration"].toString();
    read.vehicle = o["vehicle"].toString();
    read.companyHeader = o["companyHeader"].toString();
    read.fuel = o["fuel"].toString();
    read.fuelCode = o["fuelCode"].toInt();
    read.modeFlags = o["modeFlags"].toInt();
    read.afr = o["afr"].toBool();
    read.fahrenheit = o["fahrenheit"].toBool();
    if (!read.takenAt.isValid() || !valuesFrom(o["printed"], read.printed) || !valuesFrom(o["received"], read.received))
        return false;
    for (const QJsonValue line : o["pageLines"].toArray())
        read.pageLines.append(line.toString());
    if (o["verdict"].isString())
        read.verdict = o["verdict"].toString();
    e = read;
    return true;
}

} // namespace qova::history
