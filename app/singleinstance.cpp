#include "app/singleinstance.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace qova::app {

QString SessionLockFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QDir().mkpath(runtime))
        return runtime;
#ifdef Q_OS_UNIX
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("qova-%1").arg(::getuid()));
#else
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("qova-%1").arg(qEnvironmentVariable("USERNAME")));
#endif
    QDir().mkpath(own);
    QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return own;
}

QString SessionLockName()
{
    // A user logged in twice (at the console and remotely) runs one copy in each session.
    QString session = qEnvironmentVariable("XDG_SESSION_ID", qEnvironmentVariable("SESSIONNAME"));
    session.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return session.isEmpty() ? QStringLiteral("qova.lock") : QStringLiteral("qova-%1.lock").arg(session);
}

SingleInstance::SingleInstance() : SingleInstance(SessionLockFolder()) {}

SingleInstance::SingleInstance(const QString &lockDirectory)
    : path_(QDir(lockDirectory).filePath(SessionLockName())), lock_(std::make_unique<QLockFile>(path_))
{
    // Never stale by age: a running copy may run for weeks. A dead holder is still found
    // through its process id.
    lock_->setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return lock_->tryLock(0);
}

} // namespace qova::app
