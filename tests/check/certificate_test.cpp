#include "certificate.h"
#include "certificateplot.h"
#include "checkrecords.h"

#include <gtest/gtest.h>
#include <cstdio>

using namespace qova;

TEST(Dump, Lines)
{
    for (int i = 0; i <= 7; ++i) {
        auto r = test::SampleRecord(static_cast<test::SampleCheck>(i));
        std::printf("=== %d\n", i);
        for (const QString &l : check::CertificateLines(r, QLocale(QLocale::English, QLocale::UnitedKingdom)))
            std::printf("%s\n", qPrintable(l));
        for (auto s : check::StageSpans(r.state.trace))
            std::printf("span %lld %lld %d %d\n", (long long)s.fromMs, (long long)s.toMs, s.stage, s.recheck);
        for (auto s : check::DecidingWindows(r.state))
            std::printf("win %lld %lld %d %d\n", (long long)s.fromMs, (long long)s.toMs, s.stage, s.recheck);
    }
}
