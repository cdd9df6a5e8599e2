// Windows: loading a large file against reading it into memory that is
// already touched, in the same run (bench/redraw_bench.cpp has the same pair
// for POSIX systems). Run it under Wine:
//   tests/win/wine-run.sh build-windows/wineprefix build-windows/bench/benchmarks.exe
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "viewer/viewer.h"

namespace {

// One file of random bytes for the whole run, in the temporary folder.
const std::string& LargeFile(size_t size) {
    static const std::string path = (std::filesystem::temp_directory_path() / "vexelor-bench-large.bin").string();
    if (FileSize(path) != static_cast<int64_t>(size)) {
        std::vector<uint8_t> chunk(1 << 20);
        std::mt19937 gen(7);
        for (auto& b : chunk) b = static_cast<uint8_t>(gen());
        FILE* f = std::fopen(path.c_str(), "wb");
        for (size_t done = 0; done < size; done += chunk.size())
            std::fwrite(chunk.data(), 1, std::min(chunk.size(), size - done), f);
        std::fclose(f);
    }
    return path;
}

// The floor: the same file read through the same layer into a block whose
// pages are all in place already.
void BM_WinReadIntoTouchedBuffer(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) << 20;
    const std::string& path = LargeFile(size);
    std::vector<uint8_t> buffer(size, 1);
    for (auto _ : state) {
        int64_t got = 0;
        const int handle = OpenForReading(path, &got);
        ReadInto(handle, buffer.data(), got);
        CloseFile(handle);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WinReadIntoTouchedBuffer)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole load: the folder change, the size, a fresh zero-filled block,
// the read, the scroll bars, and the release of the previous block.
void BM_WinOpenDataFile(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) << 20;
    const std::string& path = LargeFile(size);
    StartTestViewer(fullViewer);
    for (auto _ : state) OpenDataFile(path);
    EndViewer();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WinOpenDataFile)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
