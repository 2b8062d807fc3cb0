#include "historysettings.h"

#include "validatedsettings.h"

#include <QSettings>

namespace qova::app {

HistorySettings ReadHistorySettings(QStringList *ignored)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
    settings::ValidatedSettings read(s);
    // A damaged value falls back to the embedded default rather than to a server nobody named.
    HistorySettings out{read.text({QStringLiteral("database"), QString(), 2000}),
                        read.text({QStringLiteral("password"), QString(), 1000})};
    if (ignored)
        *ignored << read.messages();
    return out;
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
