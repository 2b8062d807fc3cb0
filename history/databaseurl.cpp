#include "databaseurl.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace qova::history {

namespace {
const QString kSqlitePrefix = QStringLiteral("sqlite://");
}

DatabaseLocation ParseDatabaseUrl(const QString &text)
{
    DatabaseLocation where;
    const QString url = text.trimmed();
    if (url.startsWith(kSqlitePrefix, Qt::CaseInsensitive)) {
        QString path = QUrl::fromPercentEncoding(url.mid(kSqlitePrefix.size()).toUtf8());
        // sqlite:///C:/Users/... names a Windows drive.
        if (path.size() > 3 && path[0] == u'/' && path[2] == u':' && path[1].isLetter())
            path.remove(0, 1);
        if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
            where.problem = QStringLiteral("an SQLite URL needs an absolute path, as in sqlite:///home/me/history.db");
            return where;
        }
        where.kind = DatabaseLocation::Kind::Sqlite;
        where.path = QDir::cleanPath(path);
        where.shown = kSqlitePrefix + where.path;
        return where;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))) {
        where.problem = QStringLiteral("it is neither sqlite:///path nor postgresql://user@host:port/dbname");
        return where;
    }
    where.database = parsed.path().mid(1);
    if (where.database.isEmpty() || where.database.contains(u'/')) {
        where.problem = QStringLiteral("it names no database, as in postgresql://user@host:5432/qova");
        return where;
    }
    where.kind = DatabaseLocation::Kind::Postgresql;
    where.host = parsed.host();
    where.port = parsed.port();
    where.user = parsed.userName();
    where.password = parsed.password();
    QStringList options;
    const QUrlQuery query(parsed);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            where.host = value;
        else if (key == QLatin1String("port"))
            where.port = value.toInt();
        else if (key == QLatin1String("password"))
            where.password = value; // as the server's own client library takes it
        else if (key != QLatin1String("connect_timeout"))
            options.append(key + u'=' + value);
    }
    // A connection attempt runs in the background, but the program waits for one still
    // under way when it ends, and a save waits that long to hear the server is gone: so
    // never longer than 3 s, and never "forever" (0).
    bool number = false;
    const int asked = query.queryItemValue(QStringLiteral("connect_timeout")).toInt(&number);
    options.append(QStringLiteral("connect_timeout=%1")
                       .arg(number && asked > 0 ? std::min(asked, kMaxConnectSeconds) : kMaxConnectSeconds));
    where.options = options.join(u';');
    // A password never goes into a message, from either place a URL can carry one.
    QUrl shown = parsed;
    shown.setPassword({});
    QUrlQuery shownQuery(query);
    shownQuery.removeAllQueryItems(QStringLiteral("password"));
    shown.setQuery(shownQuery);
    where.shown = shown.toString();
    return where;
}

QString DefaultDatabaseUrl()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return kSqlitePrefix + QDir(folder).filePath(QStringLiteral("history.db"));
}

QString EffectiveDatabaseUrl(const QString &fromSettings)
{
    const QString fromEnvironment = qEnvironmentVariable("QOVA_DATABASE").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (!fromSettings.trimmed().isEmpty())
        return fromSettings.trimmed();
    return DefaultDatabaseUrl();
}

} // namespace qova::history
