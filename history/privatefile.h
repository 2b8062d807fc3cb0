#pragma once

#include "result/result.h"

#include <QFileDevice>
#include <QString>

namespace qova::history {

// Makes `folder` and every missing folder above it; those it makes are 0700 on POSIX, the
// ones that were there keep their mode. The problem names the folder that could not be made
// and the system's reason.
qova::Done MakePrivateFolder(const QString &folder);

// Gives a file that `file` has just created the mode 0600 on POSIX; `existedBefore` keeps
// an existing file's mode as its owner set it.
qova::Done KeepPrivate(QFileDevice &file, bool existedBefore);

} // namespace qova::history
