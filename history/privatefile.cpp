#include "history/privatefile.h"

#include <QDir>
#include <QFileInfo>

namespace qova::history {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

bool MakePrivateFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !MakePrivateFolder(parent))
        return false;
    // Qt applies the mode as the folder is made, so it is never open to others meanwhile.
    return QDir().mkdir(path, kOwnerOnly | QFileDevice::ExeOwner) || QFileInfo(path).isDir();
}

bool KeepPrivate(QFileDevice &file, bool existedBefore)
{
#ifdef Q_OS_UNIX
    if (existedBefore)
        return true;
    return file.setPermissions(kOwnerOnly);
#else
    Q_UNUSED(file);
    Q_UNUSED(existedBefore);
    return true; // the user's own folders are private on the workstation's system
#endif
}

} // namespace qova::history
