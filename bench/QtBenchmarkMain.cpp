// main() of the benchmarks that need Qt running: an application object, and
// settings and data in folders of the run's own, never the user's.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vorbel");
    QCoreApplication::setApplicationName("Vorbel");

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
