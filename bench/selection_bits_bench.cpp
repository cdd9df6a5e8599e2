// "Save selected" over the whole canvas, against the two repaints it makes
// on the way (grid off, grid back): the sampling and writing must add little
// to them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

// A folder of the benchmark's own holding random data that fills the canvas
// at 80 bytes per row.
const std::string& DataFile() {
    static std::string path;
    if (!path.empty()) return path;
    char name[] = "/tmp/vexelor-selection-bench-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    path = std::string(name) + "/sprites.bin";
    std::vector<unsigned char> bytes(481 * 80);
    std::mt19937 rng(5);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return path;
}

// The viewer at width 80 and the given zoom, with the whole canvas selected
// and the grid on.
void SetUpWholeCanvas(int zoom) {
    StartTestViewer(fullViewer);
    OpenDataFile(DataFile());
    viewerState.currentPath = DataFile();
    TkSetScrollPosition(Ctl(WidthScroll), 80);
    TkSetChecked(Ctl(GridCheck), true);
    viewerState.zoom = zoom;
    viewerState.selStartX = 0;
    viewerState.selStartY = 0;
    viewerState.selEndX = 640;
    viewerState.selEndY = 480;
    Redraw();
}

// The baseline: the two repaints the export cannot do without.
void BM_SelectionTwoRepaints(benchmark::State& state) {
    SetUpWholeCanvas(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TkSetChecked(Ctl(GridCheck), false);
        Redraw();
        TkSetChecked(Ctl(GridCheck), true);
        Redraw();
    }
}
BENCHMARK(BM_SelectionTwoRepaints)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

// The whole export, writing .000 afresh each time.
void BM_SaveSelectionWholeCanvas(benchmark::State& state) {
    SetUpWholeCanvas(static_cast<int>(state.range(0)));
    const std::string target = DataFile() + ".000";
    for (auto _ : state) {
        SaveSelectionBits();
        state.PauseTiming();
        std::remove(target.c_str());
        state.ResumeTiming();
    }
    if (!CurrentTestBackend().messageBoxes.empty()) state.SkipWithError("the export failed");
}
BENCHMARK(BM_SaveSelectionWholeCanvas)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace
