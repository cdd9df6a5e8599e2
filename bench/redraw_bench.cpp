// Each repaint case against the cost of clearing the canvas once, and loading a
// large file against reading it into memory that is already touched.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "variant/compact_viewer.h"
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

// The yardstick: clearing the canvas once.
void BM_ClearCanvas(benchmark::State& state) {
    static CanvasImage img;
    for (auto _ : state) {
        std::memset(img.pixels, 0, sizeof img.pixels);
        benchmark::DoNotOptimize(img.pixels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearCanvas);

// One repaint case: the program and the controls it paints with. Every
// case shows the same random megabyte.
struct RepaintCase {
    const char* name;
    const ProgramDescription* program;
    int zoom, width;
    bool columns;
    int gridX, gridY;  // 0: grid off
    bool wholeSelection;
};

const RepaintCase kRepaintCases[] = {
    {"zoom1", &fullViewer, 1, 80, false, 0, 0, false},
    {"zoom2", &fullViewer, 2, 80, false, 0, 0, false},
    {"zoom8", &fullViewer, 8, 80, false, 0, 0, false},
    // Width 1 in columns: every pixel is a cell, the heaviest picture.
    {"columns1", &fullViewer, 1, 1, true, 0, 0, false},
    {"columns2", &fullViewer, 2, 1, true, 0, 0, false},
    {"columns8", &fullViewer, 8, 1, true, 0, 0, false},
    {"grid8x8", &fullViewer, 1, 80, false, 8, 8, false},
    {"grid8x8zoom2", &fullViewer, 2, 80, false, 8, 8, false},
    {"grid8x8zoom8", &fullViewer, 8, 80, false, 8, 8, false},
    // Spacing 7: the lines do not repeat with the bytes and are drawn after the cells.
    {"grid7x7", &fullViewer, 1, 80, false, 7, 7, false},
    {"grid1x1", &fullViewer, 1, 80, false, 1, 1, false},
    {"grid1x25", &fullViewer, 1, 80, false, 1, 25, false},
    {"selection1", &fullViewer, 1, 80, false, 0, 0, true},
    {"selection8", &fullViewer, 8, 80, false, 0, 0, true},
    {"selection1columns", &fullViewer, 1, 1, true, 0, 0, true},
    {"selection1grid8x8", &fullViewer, 1, 80, false, 8, 8, true},
    {"compact1columns", &compactViewer, 1, 1, true, 0, 0, false},
    {"compact8", &compactViewer, 8, 80, false, 0, 0, false},
    {"compactgrid8x8", &compactViewer, 1, 10, false, 8, 8, false},
    {"compactgrid1x2", &compactViewer, 1, 10, false, 1, 2, false},
};

const std::string& RandomFile() {
    static const std::string path = [] {
        std::string p = TempPath("random.bin");
        WriteRandom(p, 1 << 20);
        return p;
    }();
    return path;
}

// Starts the case's program on the random file and sets its controls.
void SetUpRepaint(const RepaintCase& c) {
    StartTestViewer(*c.program);
    OpenDataFile(RandomFile());
    TkSetScrollPosition(Ctl(WidthScroll), c.width);
    TkSetChecked(Ctl(ColumnsCheck), c.columns);
    TkSetChecked(Ctl(GridCheck), c.gridX > 0);
    if (c.gridX > 0) {
        TkSetSpinValue(Ctl(GridXSpin), c.gridX);
        TkSetSpinValue(Ctl(GridYSpin), c.gridY);
    }
    viewerState.zoom = c.zoom;
    if (c.wholeSelection) {
        viewerState.selStartX = viewerState.selStartY = 0;
        viewerState.selEndX = 641;
        viewerState.selEndY = 481;
    }
}

// Processor time of this thread, in microseconds: other work on the
// machine does not count against the repaint.
double ThreadMicros() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// Microseconds of one memset of the canvas, the yardstick of every case:
// the median of 21 rounds of 100.
double MemsetMicros() {
    static CanvasImage img;
    std::vector<double> rounds;
    for (int round = 0; round < 21; ++round) {
        const double start = ThreadMicros();
        for (int i = 0; i < 100; ++i) {
            std::memset(img.pixels, i, sizeof img.pixels);
            benchmark::DoNotOptimize(img.pixels);
            benchmark::ClobberMemory();
        }
        rounds.push_back((ThreadMicros() - start) / 100);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

// One repaint of the case; the counter "memsets" is its processor time over
// that of a memset of the canvas measured just before it.
void BM_Repaint(benchmark::State& state, const RepaintCase* c) {
    SetUpRepaint(*c);
    const double memset = MemsetMicros();
    const double start = ThreadMicros();
    for (auto _ : state) {
        Redraw();
        benchmark::ClobberMemory();
    }
    state.counters["memsets"] = (ThreadMicros() - start) / static_cast<double>(state.iterations()) / memset;
    EndViewer();
}

const bool kRegistered = [] {
    for (const RepaintCase& c : kRepaintCases)
        benchmark::RegisterBenchmark((std::string("BM_Repaint/") + c.name).c_str(), BM_Repaint, &c)
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

// Every grid spacing up to 25 at zooms 1 and 2 in both programs: the column
// lines fall differently on the cells at each.
const bool kGridSweepRegistered = [] {
    static std::vector<RepaintCase> cases;
    static std::vector<std::string> names;
    cases.reserve(100);
    names.reserve(100);
    for (const ProgramDescription* program : {&fullViewer, &compactViewer})
        for (int zoom : {1, 2})
            for (int g = 1; g <= 25; ++g) {
                names.push_back(std::string(program == &fullViewer ? "full" : "compact") + "/zoom" +
                                std::to_string(zoom) + "/grid" + std::to_string(g));
                cases.push_back({names.back().c_str(), program, zoom, 80, false, g, g, false});
            }
    for (const RepaintCase& c : cases)
        benchmark::RegisterBenchmark((std::string("BM_RepaintGrid/") + c.name).c_str(), BM_Repaint, &c)
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

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
