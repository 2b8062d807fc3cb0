#include "historysettings.h"

#include <QSettings>

namespace qova::app {

HistorySettings ReadHistorySettings()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
    return {s.value(QStringLiteral("database")).toString(), s.value(QStringLiteral("password")).toString()};
}

bool WriteHistorySettings(const HistorySettings &settings)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
    s.setValue(QStringLiteral("database"), settings.url);
    if (settings.password.isEmpty())
        s.remove(QStringLiteral("password"));
    else
        s.setValue(QStringLiteral("password"), settings.password);
    s.sync();
    return s.status() == QSettings::NoError;
}

history::TestArchive::Settings ArchiveSettings(const HistorySettings &settings)
{
    history::TestArchive::Settings out;
    out.url = history::EffectiveDatabaseUrl(settings.url);
    out.password = settings.password;
    out.pendingPath = history::DefaultPendingPath();
    return out;
}

} // namespace qova::app
