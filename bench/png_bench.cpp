// How long "Save image.." takes on the canvases that are hardest to
// compress, under the zlib settings worth considering (level 9 throughout).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "export/export.h"
#include "export/png_writer.h"
#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

// A folder of the benchmark's own holding a file of random bytes (and the
// saved image beside it), removed when the run ends.
struct BenchFolder {
    std::string path;
    BenchFolder() {
        char name[] = "/tmp/vexelor-png-bench-XXXXXX";
        if (!mkdtemp(name)) std::abort();
        path = name;
        std::mt19937 rng(7);
        std::vector<unsigned char> bytes(30000);  // at width 80, 375 rows: the rest of the canvas is blue
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        FILE* f = std::fopen((path + "/random.bin").c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
        std::fclose(f);
    }
    ~BenchFolder() {
        std::remove((path + "/random.bin").c_str());
        std::remove((path + "/random.bin.png").c_str());
        std::remove(path.c_str());
    }
};

std::string RandomDataFile() {
    static BenchFolder folder;
    return folder.path + "/random.bin";
}

// Paints random bits at the zoom, 80 bytes a row, with blue past the data.
void PaintRandomCanvas(int zoom) {
    StartTestViewer(fullViewer);
    OpenDataFile(RandomDataFile());
    TkSetScrollPosition(Ctl(WidthScroll), 80);
    OnWidthScroll();
    SetZoom(zoom);
}

const char* StrategyName(int strategy) {
    switch (strategy) {
        case Z_FILTERED: return "filtered";
        case Z_HUFFMAN_ONLY: return "huffman";
        case Z_RLE: return "rle";
        default: return "default";
    }
}

// Encodes the painted canvas; reports the file size beside the time.
// Arguments: zoom, strategy, memLevel, windowBits.
void BM_EncodeCanvas(benchmark::State& state) {
    const int zoom = static_cast<int>(state.range(0));
    const PngDeflateSettings settings = {static_cast<int>(state.range(1)), static_cast<int>(state.range(2)),
                                         static_cast<int>(state.range(3))};
    PaintRandomCanvas(zoom);
    FILE* out = std::tmpfile();
    long size = 0;
    for (auto _ : state) {
        std::rewind(out);
        if (!WriteCanvasPng(out, TkCanvasPicture(), settings)) state.SkipWithError("encoder failed");
        std::fflush(out);
        size = std::ftell(out);
    }
    std::fclose(out);
    state.counters["bytes"] = static_cast<double>(size);
    state.SetLabel(std::string(StrategyName(settings.strategy)) + " zoom " + std::to_string(zoom));
}

void EncodeArguments(benchmark::internal::Benchmark* b) {
    for (int zoom : {1, 2, 8}) {
        b->Args({zoom, Z_DEFAULT_STRATEGY, 8, 15});  // zlib's defaults
        b->Args({zoom, Z_FILTERED, 8, 15});
        b->Args({zoom, Z_DEFAULT_STRATEGY, 9, 10});  // short chains through a small window
        b->Args({zoom, Z_HUFFMAN_ONLY, 8, 15});
        b->Args({zoom, Z_RLE, 8, 15});
        b->Args({zoom, Z_RLE, 9, 9});  // a small window slides, and clears the hash table, every few hundred bytes
        b->Args({zoom, kCanvasPngSettings.strategy, kCanvasPngSettings.memLevel, kCanvasPngSettings.windowBits});
    }
}
BENCHMARK(BM_EncodeCanvas)->Apply(EncodeArguments)->Unit(benchmark::kMillisecond);

// The whole menu command on the heaviest canvas: dialog answers scripted,
// the file replaced each time through the safe writer.
void BM_SaveCanvasImage(benchmark::State& state) {
    PaintRandomCanvas(1);
    const std::string target = RandomDataFile() + ".png";
    TestBackend& backend = CurrentTestBackend();
    for (auto _ : state) {
        backend.saveAnswers.push_back({RandomDataFile(), 0});
        backend.yesNoAnswers.push_back(true);
        SaveCanvasImage();
    }
    if (!backend.messageBoxes.empty()) state.SkipWithError("the save failed");
    state.counters["bytes"] = static_cast<double>(FileSize(target));
}
BENCHMARK(BM_SaveCanvasImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
