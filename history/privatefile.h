#pragma once

#include <QFileDevice>
#include <QString>

namespace qova::history {

// Makes `folder` and every missing folder above it; those it makes are 0700 on POSIX, the
// ones that were there keep their mode. False when one cannot be made.
bool MakePrivateFolder(const QString &folder);

// Gives a file that `file` has just created the mode 0600 on POSIX; `existedBefore` keeps
// an existing file's mode as its owner set it. False when the mode cannot be set.
bool KeepPrivate(QFileDevice &file, bool existedBefore);

} // namespace qova::history
