#include "singleinstance.h"

#include <QDir>

namespace qova::app {

SingleInstance::SingleInstance(const QString &lockDirectory)
    : lock_(std::make_unique<QLockFile>(QDir(lockDirectory).filePath(QStringLiteral("ZELQUIN.lock"))))
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
