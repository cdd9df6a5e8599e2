// Placeholder; the benchmarks land with the rendering tests.
#include <benchmark/benchmark.h>
