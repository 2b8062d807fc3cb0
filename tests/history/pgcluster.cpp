#include "tests/history/pgcluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace qova::test {

namespace {
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
} // namespace

PgCluster::~PgCluster()
{
    if (running_)
        stop();
}

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

QString PgCluster::socketFolder() const
{
    return folder_ ? folder_->path() : QString();
}

bool PgCluster::start(QString *why)
{
    bin_ = findBin();
    if (bin_.isEmpty()) {
        *why = QStringLiteral("no PostgreSQL server under /usr/lib/postgresql (Debian package postgresql)");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *why = QStringLiteral("Qt's PostgreSQL driver is missing (Debian package libqt6sql6-psql)");
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
    if (resume())
        return true;
    *why = QStringLiteral("the server did not start; its log is in ") + folder_->filePath(QStringLiteral("log"));
    return false;
}

bool PgCluster::resume()
{
    // A socket in the cluster's folder and no TCP port, so nothing else on the machine
    // can reach it or clash with it; fsync off since the tests' data need not outlive them.
    const QString options =
        QStringLiteral("-k %1 -c listen_addresses= -c fsync=off -c max_connections=40").arg(folder_->path());
    running_ = run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")),
                    QStringLiteral("-l"), folder_->filePath(QStringLiteral("log")), QStringLiteral("-o"), options,
                    QStringLiteral("-w"), QStringLiteral("start")},
                   nullptr);
    return running_;
}

bool PgCluster::stop()
{
    if (!run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")),
              QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
             nullptr))
        return false;
    running_ = false;
    return true;
}

bool PgCluster::freeze(bool stopped)
{
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
}

QString PgCluster::newDatabase(QString *why)
{
    const QString name = QStringLiteral("history_%1").arg(++databases_);
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pg-admin"));
        admin.setHostName(folder_->path());
        admin.setUserName(QStringLiteral("qova"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open() || !QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE ") + name)) {
            if (why)
                *why = admin.lastError().text();
            admin = {};
            QSqlDatabase::removeDatabase(QStringLiteral("pg-admin"));
            return {};
        }
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pg-admin"));
    return QStringLiteral("postgresql://qova@/%1?host=%2").arg(name, folder_->path());
}

QString PgCluster::newDatabaseFrom(const QString &sqlFile, QString *why)
{
    const QString url = newDatabase(why);
    if (url.isEmpty())
        return {};
    const QString name = QStringLiteral("history_%1").arg(databases_);
    if (!run({bin_ + QStringLiteral("/psql"), QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), folder_->path(), QStringLiteral("-U"),
              QStringLiteral("qova"), QStringLiteral("-d"), name},
             why, 60000, sqlFile))
        return {};
    return url;
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

} // namespace qova::test
