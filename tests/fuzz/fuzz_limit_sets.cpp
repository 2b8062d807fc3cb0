// Any bytes as a workshop's limit set file: read or refused with a message, never a crash,
// and never both sets and an error.
#include "limitset.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qova::check::LimitSetsRead read = qova::check::ParseLimitSets(json, QStringLiteral("limitsets.json"));
    if (!read.error.isEmpty() && !read.sets.empty())
        std::abort();
    if (read.error.isEmpty())
        for (const auto &set : read.sets)
            if (set.source.isEmpty())
                std::abort();
    return 0;
}
