// "Save selected": numbered names, the cells sampled off the canvas and
// packed eight to a byte, and the failures reported instead of lost.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/unit/export_test_support.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A smiley: the 8 x 8 sprite at the start of the fixture.
const Bytes kSprite = {0x3C, 0x42, 0xA5, 0x81, 0xA5, 0x99, 0x42, 0x3C};

// The fixture: the sprite, then bytes with their top bits set often enough
// that a sample read from the wrong place shows.
Bytes FixtureData() {
    Bytes data = kSprite;
    for (int k = 8; k < 40000; ++k) data.push_back(static_cast<uint8_t>((k * 37 + 0x91) & 0xFF));
    return data;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Names in the folder, hidden ones too (a leftover temporary file shows).
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// While it lives, no file may grow past the limit: writes beyond it fail as
// on a full disk.
struct WriteLimit {
    explicit WriteLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~WriteLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
    }
    rlimit saved;
    void (*savedHandler)(int);
};

class SaveSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexelor-selection-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        oldDir = CurrentDirectory();
        ASSERT_EQ(chdir(dir.c_str()), 0);
        data = FixtureData();
        rom = dir + "/game.rom";
        WriteAll(rom, data);
        backend = &StartTestViewer(fullViewer);
        OpenDataFile(rom);
        viewerState.currentPath = rom;
        Redraw();
    }

    void TearDown() override {
        EndViewer();
        if (chdir(oldDir.c_str()) != 0) ADD_FAILURE() << "cannot return to " << oldDir;
        fs::remove_all(dir);
    }

    // Hands every queued message to the viewer, as its loop would.
    void Pump() {
        while (TkMessagePending()) DispatchMessage(TkWait());
    }

    // A left-button drag on the canvas through the viewer's own handlers.
    void Drag(int x0, int y0, int x1, int y1) {
        TkUserCanvas(EventLeftDown, x0, y0, ButtonLeft);
        TkUserCanvas(EventMouseMove, x1, y1, ButtonLeft);
        TkUserCanvas(EventLeftUp, x1, y1, 0);
        Pump();
    }

    // The selection corners as they would be after a drag, whether or not
    // the drag could have been shown.
    void Select(int x0, int y0, int x1, int y1) {
        viewerState.selStartX = x0;
        viewerState.selStartY = y0;
        viewerState.selEndX = x1;
        viewerState.selEndY = y1;
        Redraw();
    }

    void SetWidth(int width) {
        TkSetScrollPosition(Ctl(WidthScroll), width);
        Redraw();
    }

    // Chooses "Save selected" from the menu bar (it must be enabled).
    void ChooseSaveSelected() {
        ASSERT_TRUE(TkMenuItemEnabled(MenuSaveSelected));
        TkUserMenu(MenuSaveSelected);
        Pump();
    }

    std::string dir, oldDir, rom;
    Bytes data;
    TestBackend* backend = nullptr;
};

// The sampling rules over a table of views and drags: each case names what
// the file must hold, worked out from the fixture's bytes by hand.
TEST_F(SaveSelectionTest, WritesTheSampledCellsAsPackedRows) {
    struct Case {
        const char* what;
        int zoom, width;
        bool invert;
        bool zoomAfterDrag;  // drag at zoom 1, then switch to the case's zoom
        int x0, y0, x1, y1;
        Bytes expected;
    };
    const Bytes& d = data;
    auto shifted = [&](int rows) {  // zoom 8, width 2: samples x = 8 .. 64 of each row
        Bytes out;
        for (int r = 0; r < rows; ++r) out.push_back(static_cast<uint8_t>((d[2 * r] << 1) | (d[2 * r + 1] >> 7)));
        return out;
    };
    Bytes inverted;
    for (uint8_t b : kSprite) inverted.push_back(static_cast<uint8_t>(~b));
    Bytes belowCanvas(d.begin() + 470, d.begin() + 481);  // rows 470 .. 480, then 10 rows under the canvas
    belowCanvas.resize(belowCanvas.size() + 10, 0x00);
    Bytes withNextRow = kSprite;
    withNextRow.push_back(d[8]);
    // Width 81: x 632..639 show byte 79, x 640 the top bit of byte 80; the
    // samples at x 641..655 lie right of the canvas.
    const Bytes rightEdge = {d[79], static_cast<uint8_t>(d[80] & 0x80), 0x00};
    // From x = -20: 41 samples, the last dropped; x = -4..3 holds the top
    // half of the sprite's first row, x = 4..11 its bottom half.
    const Bytes leftEdge = {0x00, 0x00, static_cast<uint8_t>(d[0] >> 4), static_cast<uint8_t>(d[0] << 4), 0x00};

    const Case cases[] = {
        {"the sprite itself", 1, 1, false, false, 0, 0, 7, 7, kSprite},
        {"one more row and column: the ninth column dropped", 1, 1, false, false, 0, 0, 8, 8, withNextRow},
        {"zoom 8 from (13,5): origin (8,0), 9 x 9 samples", 8, 2, false, false, 13, 5, 80, 70, shifted(9)},
        {"dragged at zoom 1, saved at zoom 8", 8, 2, false, true, 13, 5, 80, 70, shifted(9)},
        {"rows under the canvas give 0x00", 1, 1, false, false, 0, 470, 7, 490, belowCanvas},
        {"inverted bits, as shown", 1, 1, true, false, 0, 0, 7, 7, inverted},
        {"samples right of the canvas give 0", 1, 81, false, false, 632, 0, 660, 0, rightEdge},
        {"samples left of the canvas give 0", 1, 1, false, false, -20, 0, 20, 0, leftEdge},
        {"fewer than 8 columns: an empty file", 1, 1, false, false, 0, 0, 6, 7, {}},
        {"dragged up: an empty file", 1, 1, false, false, 0, 9, 7, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetWidth(c.width);
        TkSetChecked(Ctl(InvertCheck), c.invert);
        SetZoom(c.zoomAfterDrag ? 1 : c.zoom);
        Drag(c.x0, c.y0, c.x1, c.y1);
        if (c.zoomAfterDrag) SetZoom(c.zoom);
        SaveSelectionBits();
        const std::string out = rom + ".000";
        EXPECT_EQ(FileSize(out), static_cast<int64_t>(c.expected.size()));
        EXPECT_EQ(ReadAll(out), c.expected);
        EXPECT_TRUE(backend->messageBoxes.empty());
        fs::remove(out);
    }
}

TEST_F(SaveSelectionTest, GridIsHiddenWhileSampledAndShownAgain) {
    // A 1 x 1 grid turns every pixel but (0, 0) green: any grid line left
    // on the canvas would clear the sampled bits.
    TkSetSpinValue(Ctl(GridXSpin), 1);
    TkSetSpinValue(Ctl(GridYSpin), 1);
    TkSetChecked(Ctl(GridCheck), true);
    Redraw();
    Drag(0, 0, 7, 7);
    ChooseSaveSelected();
    EXPECT_EQ(ReadAll(rom + ".000"), kSprite);
    EXPECT_TRUE(TkChecked(Ctl(GridCheck)));
    EXPECT_EQ(ReadPixel(TkCanvasPicture(), 3, 3), (Rgb{0, 255, 0}));
    EXPECT_NE(backend->titles.back().find(", grid:1x1"), std::string::npos) << backend->titles.back();

    // Unchecked stays unchecked.
    TkSetChecked(Ctl(GridCheck), false);
    Redraw();
    ChooseSaveSelected();
    EXPECT_FALSE(TkChecked(Ctl(GridCheck)));
    EXPECT_EQ(ReadAll(rom + ".001"), kSprite);
}

TEST_F(SaveSelectionTest, TakesTheFirstNameWithoutBytes) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, Bytes>> present;  // suffix, contents
        std::string expected;
    };
    const Case cases[] = {
        {"none present", {}, ".000"},
        {"000 and 001 taken", {{".000", {1}}, {".001", {2, 3}}}, ".002"},
        {"an empty 000 is replaced", {{".000", {}}, {".001", {9}}}, ".000"},
        {"a gap is filled", {{".000", {1}}, {".002", {2}}}, ".001"},
    };
    Drag(0, 0, 7, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& p : c.present) WriteAll(rom + p.first, p.second);
        ChooseSaveSelected();
        EXPECT_EQ(ReadAll(rom + c.expected), kSprite);
        for (const auto& p : c.present) {
            if (p.first != c.expected) {
                EXPECT_EQ(ReadAll(rom + p.first), p.second) << p.first;
            }
        }
        EXPECT_TRUE(backend->messageBoxes.empty());
        std::vector<std::string> expectedEntries = {"game.rom", "game.rom" + c.expected};
        for (const auto& p : c.present) {
            if (p.first != c.expected) expectedEntries.push_back("game.rom" + p.first);
        }
        std::sort(expectedEntries.begin(), expectedEntries.end());
        EXPECT_EQ(Entries(dir), expectedEntries) << "no temporary file is left";
        for (const auto& p : c.present) fs::remove(rom + p.first);
        fs::remove(rom + c.expected);
    }
}

TEST_F(SaveSelectionTest, EveryExportTakesTheNextNumberAndTheItemStaysEnabled) {
    Drag(0, 0, 7, 7);
    ChooseSaveSelected();
    ChooseSaveSelected();
    ChooseSaveSelected();
    EXPECT_TRUE(TkMenuItemEnabled(MenuSaveSelected));
    for (const char* suffix : {".000", ".001", ".002"}) EXPECT_EQ(ReadAll(rom + suffix), kSprite) << suffix;
    EXPECT_EQ(FileSize(rom + ".003"), -1);
}

TEST_F(SaveSelectionTest, AnEmptyFileLeavesItsNumberFree) {
    Drag(0, 0, 5, 7);  // 6 columns: no whole byte
    ChooseSaveSelected();
    EXPECT_EQ(FileSize(rom + ".000"), 0);
    ChooseSaveSelected();
    EXPECT_EQ(FileSize(rom + ".001"), -1);
    Drag(0, 0, 7, 7);
    ChooseSaveSelected();
    EXPECT_EQ(ReadAll(rom + ".000"), kSprite);
}

TEST_F(SaveSelectionTest, WithoutACurrentPathTheFilesGoToTheWorkingDirectory) {
    viewerState.currentPath.clear();
    Drag(0, 0, 7, 7);
    ChooseSaveSelected();
    ChooseSaveSelected();
    EXPECT_EQ(ReadAll(dir + "/.000"), kSprite);
    EXPECT_EQ(ReadAll(dir + "/.001"), kSprite);
    EXPECT_TRUE(backend->messageBoxes.empty());
}

// Every way the file cannot be written ends in a message naming the path,
// with nothing written, the grid as it was and the canvas repainted.
TEST_F(SaveSelectionTest, FailuresAreReportedAndLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::string named;   // must appear in the message
        std::string reason;  // likewise
    };
    const Case cases[] = {
        {"a folder bears the first free number", [&] { fs::create_directory(rom + ".000"); }, rom + ".000",
         exporttest::FolderReason()},
        {"the folder of the path is missing", [&] { viewerState.currentPath = dir + "/gone/game.rom"; },
         dir + "/gone/game.rom.000", exporttest::MissingFolderReason()},
        {"all of 000 to 999 are taken",
         [&] {
             for (int n = 0; n < 1000; ++n) {
                 char suffix[8];
                 std::snprintf(suffix, sizeof suffix, ".%03d", n);
                 WriteAll(rom + suffix, {static_cast<uint8_t>(n)});
             }
         },
         rom + ".000", rom + ".999"},
    };
    TkSetChecked(Ctl(GridCheck), true);
    Redraw();
    Drag(0, 0, 7, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        backend->messageBoxes.clear();
        viewerState.currentPath = rom;
        c.prepare();
        const std::vector<std::string> before = Entries(dir);
        const int presentsBefore = backend->presents;
        ChooseSaveSelected();
        ASSERT_EQ(backend->messageBoxes.size(), 1u);
        EXPECT_EQ(backend->messageBoxes[0].first, "Save selected");
        EXPECT_NE(backend->messageBoxes[0].second.find(c.named), std::string::npos) << backend->messageBoxes[0].second;
        EXPECT_NE(backend->messageBoxes[0].second.find(c.reason), std::string::npos)
            << backend->messageBoxes[0].second;
        EXPECT_EQ(Entries(dir), before);
        EXPECT_TRUE(TkChecked(Ctl(GridCheck)));
        EXPECT_GE(backend->presents, presentsBefore + 2);
        EXPECT_NE(backend->titles.back().find(", grid:"), std::string::npos);
        EXPECT_TRUE(TkMenuItemEnabled(MenuSaveSelected));
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path() != rom) fs::remove_all(e.path());
        }
    }
}

TEST_F(SaveSelectionTest, AFailedWriteKeepsTheEmptyFileItWasToReplace) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process limit on file sizes";
#endif
    WriteAll(rom + ".000", {});
    SetWidth(80);
    Drag(0, 0, 639, 480);  // the whole canvas: 481 rows of 80 bytes
    {
        WriteLimit limit(1000);
        ChooseSaveSelected();
    }
    ASSERT_EQ(backend->messageBoxes.size(), 1u);
    EXPECT_NE(backend->messageBoxes[0].second.find(rom + ".000"), std::string::npos);
    EXPECT_EQ(FileSize(rom + ".000"), 0);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"game.rom", "game.rom.000"}));

    // With room to write, the whole canvas arrives: row y, byte j is the
    // data byte at y * 80 + j.
    ChooseSaveSelected();
    const Bytes file = ReadAll(rom + ".000");
    ASSERT_EQ(file.size(), 481u * 80u);
    for (size_t k = 0; k < file.size(); ++k) {
        ASSERT_EQ(file[k], data[k]) << "row " << k / 80 << " byte " << k % 80;
    }
}

}  // namespace
