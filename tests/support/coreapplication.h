#pragma once

#include <QCoreApplication>

namespace qova::test {

// The one application object of a test program whose code needs one (timers, events) but
// never runs its loop. `name` is the program's name, taken on the first call.
inline QCoreApplication &CoreApplication(const char *name)
{
    static int argc = 1;
    static char *argv[] = {const_cast<char *>(name), nullptr};
    static auto *instance = new QCoreApplication(argc, argv);
    return *instance;
}

} // namespace qova::test
