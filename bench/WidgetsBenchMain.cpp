// SPDX-License-Identifier: GPL-3.0-or-later
// The main() of the benchmark programs that need widgets: one QApplication, offscreen.
#include "tests/support/OffscreenQt.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    const QTemporaryDir runtime;
    qob::testing::useOffscreenQt(runtime);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
