// "Save image.." of vexelor-jpeg on its heaviest canvas: zoom 1, every
// column of cells filled with random bits, the rows below the data blue.
// The save must stay within 20 ms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_backend.h"
#include "variant/compact_viewer.h"
#include "variant/jpeg_writer.h"
#include "viewer/viewer.h"

namespace {

std::string folder;

// Removes the folder and what the rounds wrote into it.
void RemoveFolder() {
    for (const char* name : {"/random.bin", "/shot.jpg", "/encoded.jpg"}) std::remove((folder + name).c_str());
    std::remove(folder.c_str());
}

// A folder of the benchmark's own holding the data file.
const std::string& Folder() {
    if (!folder.empty()) return folder;
    char name[] = "/tmp/vexelor-jpeg-bench-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    folder = name;
    std::atexit(RemoveFolder);
    // 80 bytes a row fill the canvas's 640 cell columns; 400 rows of data
    // leave the last 81 rows blue.
    std::vector<unsigned char> bytes(80 * 400);
    std::mt19937 rng(5);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
    FILE* f = std::fopen((folder + "/random.bin").c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return folder;
}

// The compact viewer showing the random file at width 80, zoom 1.
TestBackend& ShowHeaviestCanvas() {
    TestBackend& b = StartTestViewer(compactViewer);
    OpenDataFile(Folder() + "/random.bin");
    TkSetScrollPosition(Ctl(WidthScroll), 80);
    SetZoom(1);
    return b;
}

// The whole menu command: dialog flow, offscreen copy, encoding, and the
// replacement of the file written by the previous round.
void BM_SaveImageJpeg(benchmark::State& state) {
    TestBackend& b = ShowHeaviestCanvas();
    const std::string target = Folder() + "/shot.jpg";
    for (auto _ : state) {
        b.saveAnswers.push_back({target, 1});
        b.yesNoAnswers.push_back(true);
        TkUserMenu(MenuSaveImage);
        DispatchMessage(TkWait());
    }
    if (!b.messageBoxes.empty()) state.SkipWithError("the save failed");
    EndViewer();
}
BENCHMARK(BM_SaveImageJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The encoder alone on the same picture.
void BM_WriteJpeg(benchmark::State& state) {
    ShowHeaviestCanvas();
    const CanvasImage& picture = TkCanvasPicture();
    const std::string target = Folder() + "/encoded.jpg";
    for (auto _ : state)
        if (!WriteJpeg(picture.pixels, CanvasImage::kHeight, CanvasImage::kWidth, CanvasImage::kStride, target, 7))
            state.SkipWithError("the encoder failed");
    EndViewer();
}
BENCHMARK(BM_WriteJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
