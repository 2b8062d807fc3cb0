#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace qova::app {

// One copy of the program per user session. The lock is a file in the temporary
// folder that names the holder's process, so a copy that crashed never blocks the next.
class SingleInstance {
public:
    explicit SingleInstance(const QString &lockDirectory);
    // Tries once, without waiting.
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace qova::app
