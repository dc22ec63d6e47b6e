// Baseline of the benchmark harness: measures nothing but the harness itself.
#include <benchmark/benchmark.h>

static void BM_Harness(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(state.iterations());
}
BENCHMARK(BM_Harness);
BENCHMARK_MAIN();
