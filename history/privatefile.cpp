#include "history/privatefile.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#endif

namespace qova::history {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

Problem cannotMake(const QString &path, const QString &why)
{
    return Problem{QStringLiteral("The folder %1 cannot be made").arg(QDir::toNativeSeparators(path)), why, {}};
}
} // namespace

Done MakePrivateFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QFileInfo there(path);
    if (there.isDir())
        return {};
    // The system would only say "File exists", which sends the operator looking for a folder.
    if (there.exists())
        return cannotMake(path, QStringLiteral("a file of that name is in its place"));
    const QString parent = there.absolutePath();
    if (parent != path) {
        if (Done above = MakePrivateFolder(parent); !above.ok())
            return above;
    }
#ifdef Q_OS_UNIX
    // Made with its mode, so it is never open to others meanwhile; the system's own call,
    // as it is the one that says why it refused.
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0)
        return {};
    const int error = errno;
    if (error == EEXIST && QFileInfo(path).isDir())
        return {}; // another program made it at the same moment
    return cannotMake(path, qt_error_string(error));
#else
    if (QDir().mkdir(path, kOwnerOnly | QFileDevice::ExeOwner) || QFileInfo(path).isDir())
        return {};
    return cannotMake(path, QFileInfo(parent).isWritable()
                                ? QStringLiteral("the system refused it")
                                : QStringLiteral("%1 cannot be written to").arg(QDir::toNativeSeparators(parent)));
#endif
}

Done KeepPrivate(QFileDevice &file, bool existedBefore)
{
#ifdef Q_OS_UNIX
    if (existedBefore || file.setPermissions(kOwnerOnly))
        return {};
    return Problem{
        QStringLiteral("%1 cannot be made readable by you alone").arg(QDir::toNativeSeparators(file.fileName())),
        file.errorString(),
        {}};
#else
    Q_UNUSED(file);
    Q_UNUSED(existedBefore);
    return {}; // the user's own folders are private on the workstation's system
#endif
}

} // namespace qova::history
