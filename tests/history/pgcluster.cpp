#include "tests/history/pgcluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <unistd.h>
#include <vector>
#endif

namespace qova::test {

namespace {
const char kGivenServer[] = "QOVA_TEST_PG_SERVER";

#ifndef _WIN32
QString findBin()
{
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}
#endif
} // namespace

PgCluster::~PgCluster()
{
    if (running_ && controllable())
        stop();
}

bool PgCluster::useGivenServer(const QString &given, QString *why)
{
    const qsizetype colon = given.lastIndexOf(u':');
    bool number = false;
    port_ = colon > 0 ? given.mid(colon + 1).toInt(&number) : 0;
    if (!number || port_ <= 0 || port_ > 65535) {
        port_ = 0;
        *why = QStringLiteral("%1=%2 is not HOST:PORT").arg(QLatin1String(kGivenServer), given);
        return false;
    }
    host_ = given.left(colon);
    // Several test programs share the server, one after another or at once.
    names_ = QStringLiteral("history_%1_").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    running_ = true;
    return true;
}

#ifndef _WIN32
bool PgCluster::run(const QStringList &command, QString *why, int timeoutMs, const QString &input)
{
    QStringList full = command;
    // initdb and the server refuse to run as root.
    if (geteuid() == 0)
        full = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                           QStringLiteral("--")} +
               command;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!input.isEmpty())
        process.setStandardInputFile(input);
    process.start(full.first(), full.mid(1));
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs) || process.exitCode() != 0) {
        if (why)
            *why = QStringLiteral("%1 failed: %2 %3")
                       .arg(full.join(u' '), process.errorString(), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

#endif

QString PgCluster::socketFolder() const
{
    return folder_ ? folder_->path() : QString();
}

bool PgCluster::start(QString *why)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
#ifdef _WIN32
        *why = QStringLiteral("Qt's PostgreSQL driver is missing (scripts/windows-psql/build makes it)");
#else
        *why = QStringLiteral("Qt's PostgreSQL driver is missing (Debian package libqt6sql6-psql)");
#endif
        return false;
    }
    if (qEnvironmentVariableIsSet(kGivenServer))
        return useGivenServer(qEnvironmentVariable(kGivenServer), why);
#ifdef _WIN32
    *why = QStringLiteral("a Windows program cannot start the Linux server's programs: set %1 to HOST:PORT of a "
                          "server that trusts the user qova (scripts/windows starts one)")
               .arg(QLatin1String(kGivenServer));
    return false;
#else
    bin_ = findBin();
    if (bin_.isEmpty()) {
        *why = QStringLiteral("no PostgreSQL server under /usr/lib/postgresql (Debian package postgresql)");
        return false;
    }
    folder_ = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("qova-pg-XXXXXX")));
    if (!folder_->isValid()) {
        *why = QStringLiteral("no temporary folder: ") + folder_->errorString();
        return false;
    }
    if (geteuid() == 0) {
        const passwd *postgres = getpwnam("postgres");
        if (!postgres || chown(folder_->path().toLocal8Bit().constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            *why = QStringLiteral("running as root, but there is no user postgres to run the server");
            return false;
        }
    }
    const QString data = folder_->filePath(QStringLiteral("data"));
    if (!run({bin_ + QStringLiteral("/initdb"), QStringLiteral("-D"), data, QStringLiteral("-U"),
              QStringLiteral("qova"), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
             why))
        return false;
    host_ = folder_->path();
    names_ = QStringLiteral("history_");
    if (resume())
        return true;
    *why = QStringLiteral("the server did not start; its log is in ") + folder_->filePath(QStringLiteral("log"));
    return false;
#endif
}

bool PgCluster::resume()
{
    if (!controllable())
        return false;
#ifdef _WIN32
    return false;
#else
    // A socket in the cluster's folder and no TCP port, so nothing else on the machine
    // can reach it or clash with it; fsync off since the tests' data need not outlive them.
    const QString options =
        QStringLiteral("-k %1 -c listen_addresses= -c fsync=off -c max_connections=40").arg(folder_->path());
    running_ = run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")),
                    QStringLiteral("-l"), folder_->filePath(QStringLiteral("log")), QStringLiteral("-o"), options,
                    QStringLiteral("-w"), QStringLiteral("start")},
                   nullptr);
    return running_;
#endif
}

bool PgCluster::stop()
{
#ifdef _WIN32
    return false;
#else
    if (!controllable() ||
        !run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")),
              QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
             nullptr))
        return false;
    running_ = false;
    return true;
#endif
}

bool PgCluster::freeze(bool stopped)
{
#ifdef _WIN32
    (void)stopped;
    return false;
#else
    if (!controllable())
        return false;
    QFile pidFile(folder_ ? folder_->filePath(QStringLiteral("data/postmaster.pid")) : QString());
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t server = static_cast<pid_t>(pidFile.readLine().trimmed().toLong());
    if (server <= 0)
        return false;
    std::vector<pid_t> processes{server};
    // Its children (one per connection, and its helpers): the fourth field of /proc/N/stat.
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toLong(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLong() == server)
            processes.push_back(pid);
    }
    // A connection's process may end between the listing and the signal; that is no failure.
    bool all = true;
    for (const pid_t pid : processes)
        all = (::kill(pid, stopped ? SIGSTOP : SIGCONT) == 0 || errno == ESRCH) && all;
    return all;
#endif
}

namespace {
// Runs `sql` (any number of statements) on `database` of the server as the user qova.
bool execute(const QString &host, int port, const QString &database, const QString &sql, QString *why)
{
    const QString connection = QStringLiteral("pg-admin");
    bool done = false;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        admin.setHostName(host);
        if (port)
            admin.setPort(port);
        admin.setUserName(QStringLiteral("qova"));
        admin.setDatabaseName(database);
        if (!admin.open()) {
            if (why)
                *why = admin.lastError().text();
        } else {
            QSqlQuery query(admin);
            done = query.exec(sql);
            if (!done && why)
                *why = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return done;
}
} // namespace

QString PgCluster::newDatabase(QString *why)
{
    const QString name = names_ + QString::number(++databases_);
    if (!execute(host_, port_, QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ") + name, why))
        return {};
    if (!controllable())
        return QStringLiteral("postgresql://qova@%1:%2/%3").arg(host_).arg(port_).arg(name);
    return QStringLiteral("postgresql://qova@/%1?host=%2").arg(name, host_);
}

QString PgCluster::newDatabaseFrom(const QString &sqlFile, QString *why)
{
    const QString url = newDatabase(why);
    if (url.isEmpty())
        return {};
    const QString name = names_ + QString::number(databases_);
    if (!controllable()) {
        // No psql beside a Windows program: the dump goes through the driver, all of it as one
        // simple query, as psql would send it.
        QFile dump(sqlFile);
        if (!dump.open(QIODevice::ReadOnly)) {
            *why = sqlFile + QStringLiteral(": ") + dump.errorString();
            return {};
        }
        return execute(host_, port_, name, QString::fromUtf8(dump.readAll()), why) ? url : QString();
    }
#ifdef _WIN32
    return {};
#else
    if (!run({bin_ + QStringLiteral("/psql"), QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), folder_->path(), QStringLiteral("-U"),
              QStringLiteral("qova"), QStringLiteral("-d"), name},
             why, 60000, sqlFile))
        return {};
    return url;
#endif
}

namespace {
std::unique_ptr<PgCluster> cluster;
QString failure;
} // namespace

void StopSharedPgCluster()
{
    cluster.reset();
}

PgCluster *SharedPgCluster(QString *why)
{
    if (!cluster && failure.isEmpty()) {
        auto made = std::make_unique<PgCluster>();
        if (made->start(&failure))
            cluster = std::move(made);
    }
    if (why)
        *why = failure;
    return cluster.get();
}

CaseDatabase NewCaseDatabase()
{
    CaseDatabase made;
    QString why;
    PgCluster *pg = SharedPgCluster(&why);
    if (!pg) {
        // A server named to the tests must serve them, in CI or not.
        if (qEnvironmentVariable("CI") == QLatin1String("true") || qEnvironmentVariableIsSet(kGivenServer))
            made.failure = QStringLiteral("PostgreSQL is needed in CI and did not start: ") + why;
        else
            made.skip = QStringLiteral("no PostgreSQL: ") + why;
        return made;
    }
    made.url = pg->newDatabase(&why);
    if (made.url.isEmpty())
        made.failure = QStringLiteral("no new database on the test server: ") + why;
    return made;
}

} // namespace qova::test
