#include "app/historysettings.h"

#include "credentials/credentialstore.h"
#include "settings/validatedsettings.h"

#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace qova::app {

namespace {
const QString kPasswordKey = QStringLiteral("history-database");

} // namespace

HistorySettings WithoutPasswordInUrl(const HistorySettings &typed)
{
    HistorySettings out{typed.url.trimmed(), typed.password};
    if (!out.url.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive))
        return out;
    QUrl url(out.url, QUrl::StrictMode);
    if (!url.isValid())
        return out;
    QUrlQuery query(url);
    QString inUrl = url.password(QUrl::FullyDecoded);
    if (query.hasQueryItem(QStringLiteral("password"))) {
        inUrl = query.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
        query.removeAllQueryItems(QStringLiteral("password"));
    }
    if (inUrl.isEmpty() && url.password().isNull())
        return out;
    url.setPassword({});
    url.setQuery(query);
    out.url = url.toString();
    if (!inUrl.isEmpty())
        out.password = inUrl;
    return out;
}

HistorySettings ReadHistorySettingsFrom(credentials::CredentialStore &store, QStringList *ignored)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
    settings::ValidatedSettings read(s);
    // A damaged value falls back to the embedded default rather than to a server nobody named.
    const QString url = read.text({QStringLiteral("database"), QString(), 2000});
    const QString oldPassword = read.text({QStringLiteral("password"), QString(), 1000});
    if (ignored)
        *ignored << read.messages();
    HistorySettings settings = WithoutPasswordInUrl({url, oldPassword});
    const bool oldOne = s.contains(QStringLiteral("password")) || settings.url != url.trimmed();
    if (oldOne) {
        // Moved only once the store has it, so the password is never lost on the way.
        if (settings.password.isEmpty() || store.write(kPasswordKey, settings.password).ok()) {
            s.remove(QStringLiteral("password"));
            s.setValue(QStringLiteral("database"), settings.url);
            s.sync();
        }
        return settings;
    }
    // Only a server takes a password: a workstation on its own file never asks the store
    // (which may want the operator to unlock it first).
    if (history::ParseDatabaseUrl(history::EffectiveDatabaseUrl(settings.url)).kind ==
        history::DatabaseLocation::Kind::Postgresql)
        settings.password = store.read(kPasswordKey).valueOr(QString());
    return settings;
}

HistorySettings ReadHistorySettings(QStringList *ignored)
{
    return ReadHistorySettingsFrom(credentials::ProgramCredentials(), ignored);
}

Done WriteHistorySettingsTo(const HistorySettings &typed, credentials::CredentialStore &store)
{
    const HistorySettings settings = WithoutPasswordInUrl(typed);
    if (Done kept = store.write(kPasswordKey, settings.password); !kept.ok())
        return kept;
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("history"));
    s.setValue(QStringLiteral("database"), settings.url);
    s.remove(QStringLiteral("password"));
    s.sync();
    if (s.status() != QSettings::NoError)
        return Problem{QStringLiteral("%1 cannot be written").arg(s.fileName()),
                       s.status() == QSettings::AccessError ? QStringLiteral("the system refused access to it")
                                                            : QStringLiteral("it is not in the settings format"),
                       {}};
    return {};
}

Done WriteHistorySettings(const HistorySettings &settings)
{
    return WriteHistorySettingsTo(settings, credentials::ProgramCredentials());
}

QString HistoryPasswordPlace()
{
    return credentials::ProgramCredentials().where();
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
