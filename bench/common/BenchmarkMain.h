// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "support/ProcessHeap.h"

#include <benchmark/benchmark.h>

#include <functional>

// The part of every benchmark's main that follows its own set-up: settles the heap as the
// programs do, reads the command line (1 when it has words Google Benchmark does not know), runs
// prepare, then the benchmarks the command line selects.
inline int runBenchmarks(int &argc, char **argv, const std::function<void()> &prepare = {})
{
    pondrel::configureProcessHeap();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (prepare)
        prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
