#include "bench_options.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#ifdef KESTREL_BENCH_WINDOW
#include <QApplication>
#endif

int main(int argc, char** argv) {
    // Take our own options out of argv.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--kestrel_binary=", 17) == 0) {
            kestrel::bench::Options().kestrelBinary = arg + 17;
        } else if (std::strncmp(arg, "--x_display=", 12) == 0) {
            kestrel::bench::Options().xDisplay = arg + 12;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;

#ifdef KESTREL_BENCH_WINDOW
    // The in-process window runs on the offscreen platform unless told
    // otherwise, so that no X server is needed for the yield figures.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
