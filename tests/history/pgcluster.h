#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace qova::test {

// A PostgreSQL server of the tests' own: a cluster made with initdb in a temporary folder,
// listening on a socket in that folder only (no TCP port), stopped and removed at the end.
// Run as root, the server runs as the "postgres" user the Debian package makes.
//
// Where QOVA_TEST_PG_SERVER names a running server instead ("HOST:PORT", trusting the user
// qova), the tests use that one: the Windows build's tests, which cannot start the Linux
// server's programs, reach the server scripts/windows starts. Such a server is not this
// process's to stop, start or freeze (controllable() is false).
class PgCluster {
public:
    ~PgCluster();
    // False with `why` when the server's programs are missing or it does not start.
    bool start(QString *why);
    bool controllable() const { return port_ == 0; }
    bool stop();
    bool resume(); // starts the stopped server again
    bool running() const { return running_; }
    // Stops (SIGSTOP) or lets go on (SIGCONT) the server and every process of it, as a
    // machine that stops answering without closing a connection does.
    bool freeze(bool stopped);
    // A new empty database and its URL.
    QString newDatabase(QString *why);
    // A new database holding what `sqlFile` (as pg_dump writes it) makes, and its URL.
    QString newDatabaseFrom(const QString &sqlFile, QString *why);
    QString socketFolder() const;

private:
    bool run(const QStringList &command, QString *why, int timeoutMs = 60000, const QString &input = {});
    bool useGivenServer(const QString &given, QString *why);
    std::unique_ptr<QTemporaryDir> folder_;
    QString bin_;
    QString host_;  // the socket folder, or the given server's host
    int port_ = 0;  // the given server's; 0 for a cluster of our own
    QString names_; // what this process's database names start with
    bool running_ = false;
    int databases_ = 0;
};

// The one cluster of this test process, started on first use.
PgCluster *SharedPgCluster(QString *why);
// Stops it, before the application object goes.
void StopSharedPgCluster();

// A new empty database on the shared server, for a case that needs one. Without the server
// the URL is empty and the case ends: skipped with `skip`, or failed with `failure` in CI
// (CI=true), where the server must start.
struct CaseDatabase {
    QString url;
    QString skip;
    QString failure;
};
CaseDatabase NewCaseDatabase();

} // namespace qova::test
