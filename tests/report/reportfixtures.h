#pragma once

#include "filesizecap.h"
#include "livereading.h"
#include "samplereading.h"
#include "textfile.h"

#include <QByteArray>

namespace qova::test {

// Expected texts are written with "\n"; the files use the platform's text-mode line end.
inline QByteArray platform(QByteArray text)
{
    return text.replace("\n", report::kLineEnd);
}

} // namespace qova::test
