#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace qova::app {

// One copy of the program per user session. The lock is a file in the user's own runtime
// folder (no other user can make or hold it there) that names the holder's process, so a
// copy that crashed never blocks the next.
class SingleInstance {
public:
    // The lock of this user's session.
    SingleInstance();
    explicit SingleInstance(const QString &lockDirectory);
    // Tries once, without waiting.
    bool acquire();
    QString lockPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

// Where this user's session keeps its lock: the runtime folder (XDG_RUNTIME_DIR, which Qt
// makes 0700 when the session has none), else a folder of the user's own in the temporary
// folder.
QString SessionLockFolder();
// The lock's file name: one per login session where the system names it.
QString SessionLockName();

} // namespace qova::app
