#include "history/databaseurl.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace qova::history {

namespace {
const QString kSqlitePrefix = QStringLiteral("sqlite://");
}

namespace {

// What a URL may pass on to the server's client library besides host, port, user and
// password. A parameter that would move the connection elsewhere behind the host the
// messages name (hostaddr, service) or change what the program relies on (dbname,
// client_encoding, options) is not among them.
const QStringList kPassedOn = {
    QStringLiteral("application_name"), QStringLiteral("sslmode"),          QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),          QStringLiteral("sslkey"),           QStringLiteral("sslcrl"),
    QStringLiteral("channel_binding"),  QStringLiteral("gssencmode"),       QStringLiteral("target_session_attrs"),
    QStringLiteral("keepalives"),       QStringLiteral("keepalives_idle"),  QStringLiteral("keepalives_interval"),
    QStringLiteral("keepalives_count"), QStringLiteral("tcp_user_timeout"), QStringLiteral("connect_timeout"),
};

// A connection-string value in single quotes, its backslashes and quotes escaped, so a
// blank or a "key=" inside it stays part of the value.
QString quoted(const QString &value)
{
    QString out = value;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + out + u'\'';
}

// The text as typed with any password taken out, for a message about a location that
// cannot be used.
QString withoutPassword(const QString &text)
{
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return text;
    url.setPassword({});
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString();
}

DatabaseLocation invalid(const QString &text, const QString &problem)
{
    DatabaseLocation where;
    where.problem = problem;
    where.shown = withoutPassword(text);
    return where;
}

} // namespace

DatabaseLocation ParseDatabaseUrl(const QString &text)
{
    DatabaseLocation where;
    const QString url = text.trimmed();
    if (url.startsWith(kSqlitePrefix, Qt::CaseInsensitive)) {
        QString path = QUrl::fromPercentEncoding(url.mid(kSqlitePrefix.size()).toUtf8());
        // sqlite:///C:/Users/... names a Windows drive.
        if (path.size() > 3 && path[0] == u'/' && path[2] == u':' && path[1].isLetter())
            path.remove(0, 1);
        if (path.isEmpty() || !QDir::isAbsolutePath(path))
            return invalid(url,
                           QStringLiteral("an SQLite URL needs an absolute path, as in sqlite:///home/me/history.db"));
        where.kind = DatabaseLocation::Kind::Sqlite;
        where.path = QDir::cleanPath(path);
        where.shown = kSqlitePrefix + where.path;
        return where;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
        return invalid(url, QStringLiteral("it is neither sqlite:///path nor postgresql://user@host:port/dbname"));
    where.database = parsed.path().mid(1);
    if (where.database.isEmpty() || where.database.contains(u'/'))
        return invalid(url, QStringLiteral("it names no database, as in postgresql://user@host:5432/qova"));
    where.host = parsed.host();
    where.port = parsed.port();
    where.user = parsed.userName();
    where.password = parsed.password();
    QStringList options;
    const QUrlQuery query(parsed);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            where.host = value;
        } else if (key == QLatin1String("port")) {
            bool number = false;
            where.port = value.toInt(&number);
            if (!number || where.port < 1 || where.port > 65535)
                return invalid(url, QStringLiteral("its port \"%1\" is not a number from 1 to 65535").arg(value));
        } else if (key == QLatin1String("user")) {
            where.user = value;
        } else if (key == QLatin1String("password")) {
            where.password = value; // as the server's own client library takes it
        } else if (!kPassedOn.contains(key)) {
            return invalid(url, QStringLiteral("the parameter \"%1\" is not one the program passes on to the server "
                                               "(it takes host, port, user, password, %2)")
                                    .arg(key, kPassedOn.join(QStringLiteral(", "))));
        } else if (value.contains(u';')) {
            // Qt's driver turns every ';' of the options into a blank, inside a quoted value too.
            return invalid(url, QStringLiteral("the value of %1 holds a ';', which cannot be passed on").arg(key));
        } else if (key != QLatin1String("connect_timeout")) {
            options.append(key + u'=' + quoted(value));
        }
    }
    where.kind = DatabaseLocation::Kind::Postgresql;
    // A connection attempt runs in the background, but the program waits for one still
    // under way when it ends, and a save waits that long to hear the server is gone: so
    // never longer than 3 s, and never "forever" (0).
    bool number = false;
    const int asked = query.queryItemValue(QStringLiteral("connect_timeout")).toInt(&number);
    options.append(QStringLiteral("connect_timeout=%1")
                       .arg(number && asked > 0 ? std::min(asked, kMaxConnectSeconds) : kMaxConnectSeconds));
    where.options = options.join(u';');
    // A password never goes into a message, from either place a URL can carry one; and
    // the message names the host, port and user the connection goes to, wherever in the
    // URL they were set.
    QUrl shown = parsed;
    shown.setPassword({});
    QUrlQuery shownQuery(query);
    shownQuery.removeAllQueryItems(QStringLiteral("password"));
    shownQuery.removeAllQueryItems(QStringLiteral("user"));
    shown.setUserName(where.user);
    // A socket's folder (libpq's test: /… anywhere, or C:/… on Windows) stays in the query, as
    // no URL's host can hold it.
    const bool socketFolder =
        where.host.startsWith(u'/') || (where.host.size() > 2 && where.host[0].isLetter() && where.host[1] == u':' &&
                                        (where.host[2] == u'/' || where.host[2] == u'\\'));
    if (!socketFolder) {
        shownQuery.removeAllQueryItems(QStringLiteral("host"));
        shownQuery.removeAllQueryItems(QStringLiteral("port"));
        shown.setHost(where.host);
        shown.setPort(where.port);
    } else {
        shown.setHost({});
    }
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
