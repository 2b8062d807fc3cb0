// The main of benchmarks that make widgets: one application object for all of them.
#include "ui/headless/headlessscreen.h"

#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    qova::headless::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
