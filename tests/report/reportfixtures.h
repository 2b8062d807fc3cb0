#pragma once

#include "link/livereading.h"
#include "report/textfile.h"
#include "tests/support/filesizecap.h"
#include "tests/support/samplereading.h"

#include <QByteArray>

namespace qova::test {

// Expected texts are written with "\n"; the files use the platform's text-mode line end.
inline QByteArray platform(QByteArray text)
{
    return text.replace("\n", report::kLineEnd);
}

} // namespace qova::test
