#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qova::test {

// Whether a folder made read-only keeps this process from writing into it. Root writes
// anywhere, and Windows reads a folder's read-only mark as "special to Explorer", never as a
// bar to new files (Wine gives root that too), so such cases have nothing to show there.
inline bool ReadOnlyFolderKeepsUsOut()
{
#ifdef _WIN32
    return false;
#else
    return ::geteuid() != 0;
#endif
}

} // namespace qova::test
