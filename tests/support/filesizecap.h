#pragma once

#include <csignal>
#ifdef _WIN32
// Windows has no cap on the size of a process's files: the tests that need one say so and skip.
using rlim_t = unsigned long long;
#else
#include <sys/resource.h>
#endif

namespace qova::test {

#ifdef _WIN32
class FileSizeCap {
public:
    static constexpr bool kAvailable = false;
    static constexpr const char *kMissing = "Windows has no per-process file size cap to stand in for a full disk";
    explicit FileSizeCap(rlim_t) {}
    FileSizeCap(const FileSizeCap &) = delete;
    FileSizeCap &operator=(const FileSizeCap &) = delete;
};
#else

// Caps the size of files this process writes, so a write past the cap comes back short,
// as on a full disk. The cap binds root too.
class FileSizeCap {
public:
    static constexpr bool kAvailable = true;
    static constexpr const char *kMissing = "";
    explicit FileSizeCap(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cap = old_;
        cap.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeCap(const FileSizeCap &) = delete;
    FileSizeCap &operator=(const FileSizeCap &) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};
#endif

} // namespace qova::test
