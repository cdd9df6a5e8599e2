// The repaint against the cost of clearing the canvas once, and loading a
// large file against reading it into memory that is already touched.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

std::string TempPath(const char* name) { return std::string(P_tmpdir) + "/vexelor-bench-" + name; }

void WriteRandom(const std::string& path, size_t size) {
    std::vector<uint8_t> chunk(1 << 20);
    std::mt19937 gen(7);
    for (auto& b : chunk) b = static_cast<uint8_t>(gen());
    FILE* f = std::fopen(path.c_str(), "wb");
    for (size_t done = 0; done < size; done += chunk.size())
        std::fwrite(chunk.data(), 1, std::min(chunk.size(), size - done), f);
    std::fclose(f);
}

// A viewer on random bytes, several columns at width 1: every pixel is a cell.
void SetUpHeaviestView(int zoom) {
    static const std::string path = [] {
        std::string p = TempPath("random.bin");
        WriteRandom(p, 1 << 20);
        return p;
    }();
    static bool started = false;
    if (!started) {
        StartTestViewer(fullViewer);
        OpenDataFile(path);
        started = true;
    }
    TkSetChecked(Ctl(ColumnsCheck), true);
    viewerState.zoom = zoom;
}

void BM_ClearCanvas(benchmark::State& state) {
    static CanvasImage img;
    for (auto _ : state) {
        std::memset(img.pixels, 0, sizeof img.pixels);
        benchmark::DoNotOptimize(img.pixels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearCanvas);

void BM_RedrawColumns(benchmark::State& state) {
    SetUpHeaviestView(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Redraw();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RedrawColumns)->Arg(1)->Arg(2)->Arg(8);

// Reading a file into a block that is already faulted in: the floor.
void BM_ReadIntoTouchedBuffer(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) << 20;
    const std::string path = TempPath("large.bin");
    WriteRandom(path, size);
    std::vector<uint8_t> buffer(size, 1);
    for (auto _ : state) {
        int fd = open(path.c_str(), O_RDONLY);
        ReadInto(fd, buffer.data(), static_cast<int64_t>(size));
        close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ReadIntoTouchedBuffer)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenDataFile(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) << 20;
    const std::string path = TempPath("large.bin");
    if (FileSize(path) != static_cast<int64_t>(size)) WriteRandom(path, size);
    StartTestViewer(fullViewer);
    for (auto _ : state) OpenDataFile(path);
    EndViewer();
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_OpenDataFile)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
