#pragma once

#include "link/livereading.h"
#include "report/textfile.h"
#include "tests/support/filesizecap.h"

#include <QByteArray>

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

} // namespace qova::test
