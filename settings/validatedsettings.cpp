#include "settings/validatedsettings.h"

#include <QLocale>
#include <QMutex>
#include <QSet>
#include <QSettings>

namespace qova::settings {

namespace {

// What a value looks like in a message: as the workshop wrote it, short enough to read.
QString shown(const QVariant &value)
{
    QString text =
        value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", ")) : value.toString();
    if (text.size() > 40)
        text = text.left(40) + QStringLiteral("…");
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QChar(0xFFFD);
    return text;
}

QString withUnit(int value, const QString &unit)
{
    return unit.isEmpty() ? QString::number(value) : QStringLiteral("%1 %2").arg(value).arg(unit);
}

} // namespace

ValidatedSettings::ValidatedSettings(LookUp lookUp, QString where)
    : lookUp_(std::move(lookUp)), where_(std::move(where))
{
}

ValidatedSettings::ValidatedSettings(const QSettings &settings)
    : ValidatedSettings([&settings](const QString &key) { return settings.value(key); }, settings.fileName())
{
}

int ValidatedSettings::wholeNumber(const WholeNumberRule &rule)
{
    const QVariant raw = lookUp_(rule.key);
    if (!raw.isValid())
        return rule.fallback;
    const QString used = withUnit(rule.fallback, rule.unit);
    bool ok = false;
    qlonglong value = 0;
    switch (raw.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        value = raw.toLongLong(&ok);
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        // The C locale, whole digits only: "5s", "5 000", "5e3" and "5000.0" are typos, not 5000.
        value = QLocale::c().toLongLong(raw.toString().trimmed(), &ok);
        break;
    default:
        break;
    }
    if (!ok) {
        problems_.push_back({rule.key, shown(raw), QStringLiteral("is not a whole number"), used});
        return rule.fallback;
    }
    if (value < rule.min || value > rule.max) {
        problems_.push_back(
            {rule.key, shown(raw),
             QStringLiteral("is outside %1 to %2").arg(withUnit(rule.min, rule.unit), withUnit(rule.max, rule.unit)),
             used});
        return rule.fallback;
    }
    return static_cast<int>(value);
}

int ValidatedSettings::refuse(const WholeNumberRule &rule, int found, const QString &why)
{
    problems_.push_back({rule.key, QString::number(found), why, withUnit(rule.fallback, rule.unit)});
    return rule.fallback;
}

QString ValidatedSettings::text(const TextRule &rule)
{
    const QVariant raw = lookUp_(rule.key);
    if (!raw.isValid())
        return rule.fallback;
    const QString used =
        rule.fallback.isEmpty() ? QStringLiteral("nothing") : QStringLiteral("\"%1\"").arg(rule.fallback);
    if (raw.typeId() != QMetaType::QString && raw.typeId() != QMetaType::QByteArray) {
        problems_.push_back({rule.key, shown(raw), QStringLiteral("is not one line of text"), used});
        return rule.fallback;
    }
    const QString value = raw.toString();
    if (value.size() > rule.maxLength) {
        problems_.push_back(
            {rule.key, shown(raw), QStringLiteral("is longer than %1 characters").arg(rule.maxLength), used});
        return rule.fallback;
    }
    for (const QChar c : value)
        if (c.category() == QChar::Other_Control) {
            problems_.push_back({rule.key, shown(raw), QStringLiteral("holds a control character"), used});
            return rule.fallback;
        }
    return value;
}

QStringList ValidatedSettings::messages() const
{
    QStringList out;
    for (const SettingsProblem &p : problems_)
        out << QStringLiteral("%1 = \"%2\" in %3 %4; %5 is used.").arg(p.key, p.found, where_, p.why, p.used);
    return out;
}

QStringList NoticesNotYetGiven(const QStringList &messages)
{
    static QMutex mutex;
    static QSet<QString> given;
    const QMutexLocker lock(&mutex);
    QStringList fresh;
    for (const QString &m : messages)
        if (!given.contains(m)) {
            given.insert(m);
            fresh << m;
        }
    return fresh;
}

} // namespace qova::settings
