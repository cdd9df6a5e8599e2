// "Save binary.." of 100 MB against copying the same file with cp: the
// export must cost no more than twice the copy.
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
#include "viewer/viewer.h"

namespace {

constexpr long kBytes = 100L << 20;

// A folder of the benchmark's own with the 100 MB source file in it,
// removed with the copies when the run ends.
struct BenchFolder {
    std::string path;
    BenchFolder() {
        char name[] = "/tmp/vexelor-range-bench-XXXXXX";
        if (!mkdtemp(name)) std::abort();
        path = name;
        std::vector<unsigned char> bytes(kBytes);
        std::mt19937 rng(3);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        FILE* f = std::fopen((path + "/source.bin").c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
        std::fclose(f);
    }
    ~BenchFolder() {
        for (const char* name : {"/source.bin", "/copy.bin", "/export.bin"}) std::remove((path + name).c_str());
        std::remove(path.c_str());
    }
};

const std::string& Folder() {
    static BenchFolder folder;
    return folder.path;
}

// The reference: the system's own copy of the file, replacing the last copy.
void BM_CopyWithCp(benchmark::State& state) {
    const std::string command = "cp " + Folder() + "/source.bin " + Folder() + "/copy.bin";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The menu command with its answers scripted: all 100 MB from byte 0, plain
// (argument 0) or inverted (1), replacing the last export.
void BM_SaveByteRange(benchmark::State& state) {
    StartTestViewer(fullViewer);
    OpenDataFile(Folder() + "/source.bin");
    TkSetChecked(Ctl(InvertCheck), state.range(0) != 0);
    TestBackend& backend = CurrentTestBackend();
    const std::string target = Folder() + "/export.bin";
    for (auto _ : state) {
        backend.inputAnswers.push_back(std::to_string(kBytes));
        backend.saveAnswers.push_back({target, 1});
        backend.yesNoAnswers.push_back(true);
        SaveByteRange();
    }
    if (!backend.messageBoxes.empty() || FileSize(target) != kBytes) state.SkipWithError("the export failed");
    state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_SaveByteRange)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
