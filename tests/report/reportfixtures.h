#pragma once

#include "livereading.h"
#include "textfile.h"

#include <QByteArray>
#include <csignal>
#include <sys/resource.h>

namespace qova::test {

// Expected texts are written with "\n"; the files use the platform's text-mode line end.
inline QByteArray platform(QByteArray text)
{
    return text.replace("\n", report::kLineEnd);
}

// The reading the report and recording tests print and record: CO 1.50 %, CO2 14.5 %,
// O2 20.90 %, HC 57, NOx 12, 850 rpm, oil 25.0 degC, lambda 1.000, petrol.
inline link::LiveReading SampleReading()
{
    link::LiveReading r;
    r.Co = 150;
    r.Co2 = 145;
    r.Hc = 57;
    r.O2 = 2090;
    r.Nox = 12;
    r.Rpm = 850;
    r.OilTemp = 250;
    r.Efficiency = 1000;
    r.FuelCode = 1;
    return r;
}

// Caps the size of files this process writes, so a write past the cap comes back short,
// as on a full disk. The cap binds root too.
class FileSizeCap {
public:
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

} // namespace qova::test
