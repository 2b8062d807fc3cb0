// The main of benchmarks that need Qt's event loop or its database drivers but no window:
// one core application object for all of them, as in the program.
#include <QCoreApplication>
#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
