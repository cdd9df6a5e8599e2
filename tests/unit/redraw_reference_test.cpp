// The repaint of both programs against a painter that draws the picture the
// plain way, one box per cell and one line per grid line in the order the
// rules give, over a table of random views: sizes, widths, zooms, offsets,
// columns, alignment, inversion, grid spacings and selections.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/canvas.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "variant/compact_viewer.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kBlue{0, 0, 255}, kSel{127, 0, 255};
constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0};

// One view to paint: what the controls and the state are set to.
struct RandomView {
    bool compact;
    int dataSize;  // -1: nothing loaded
    int width, row, offset, zoom, gridX, gridY;
    bool grid, columns, invert, align;
    int selStartX, selStartY, selEndX, selEndY;
};

std::string Describe(const RandomView& v) {
    return std::string(v.compact ? "compact" : "full") + " size " + std::to_string(v.dataSize) + " width " +
           std::to_string(v.width) + " row " + std::to_string(v.row) + " offset " + std::to_string(v.offset) +
           " zoom " + std::to_string(v.zoom) + " grid " + (v.grid ? "on " : "off ") + std::to_string(v.gridX) + "x" +
           std::to_string(v.gridY) + (v.columns ? " columns" : "") + (v.invert ? " invert" : "") +
           (v.align ? " align" : "") + " selection " + std::to_string(v.selStartX) + "," +
           std::to_string(v.selStartY) + " to " + std::to_string(v.selEndX) + "," + std::to_string(v.selEndY);
}

// Random views, with the values where the picture changes its shape drawn
// more often than the rest: width 1, the widths around 80 columns' limit,
// grid spacing 1, selections reaching past the canvas or backwards.
std::vector<RandomView> MakeViews(int count, unsigned seed) {
    std::mt19937 gen(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    auto chance = [&](int percent) { return pick(1, 100) <= percent; };
    const int widths[] = {1, 1, 2, 3, 5, 8, 11, 16, 33, 79, 80, 81, 100, 257};
    const int sizes[] = {-1, 1, 10, 700, 5000, 38481, 60000};
    std::vector<RandomView> views;
    for (int i = 0; i < count; ++i) {
        RandomView v{};
        v.compact = i % 3 == 2;
        v.dataSize = sizes[pick(0, 6)];
        v.width = chance(70) ? widths[pick(0, 13)] : pick(1, 300);
        v.zoom = std::vector<int>{1, 2, 8}[pick(0, 2)];
        v.row = chance(30) ? 0 : pick(0, v.dataSize < 0 ? 50 : v.dataSize / v.width + 5);
        v.offset = pick(-v.width, v.width);
        v.grid = chance(50);
        v.gridX = chance(20) ? 1 : pick(1, 25);
        v.gridY = chance(20) ? 1 : pick(1, 25);
        v.columns = chance(50);
        v.invert = chance(30);
        v.align = chance(30);
        switch (pick(0, 4)) {
            case 0: break;  // no selection yet: all corners 0
            case 1: v.selEndX = 641, v.selEndY = 481; break;  // the whole canvas
            default:
                v.selStartX = pick(-20, 660), v.selStartY = pick(-20, 500);
                v.selEndX = pick(-20, 660), v.selEndY = pick(-20, 500);
        }
        views.push_back(v);
    }
    return views;
}

std::vector<uint8_t> RandomBytes(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(gen());
    return bytes;
}

// Paints the picture the plain way, from the values the controls hold.
std::unique_ptr<CanvasImage> ReferencePicture(const RandomView& rv, const std::vector<uint8_t>& data, bool loaded) {
    auto img = std::make_unique<CanvasImage>();
    FillBox(*img, 0, 0, 641, 481, kBlack);
    const int z = viewerState.zoom;
    if (!rv.compact) {
        const ViewerState& s = viewerState;
        FillBox(*img, z * (s.selStartX / z), z * (s.selStartY / z), ((s.selEndX - s.selStartX) / z) * z,
                ((s.selEndY - s.selStartY) / z) * z, kSel);
    }
    const int width = TkScrollPosition(Ctl(WidthScroll));
    const int gx = TkSpinValue(Ctl(GridXSpin)), gy = TkSpinValue(Ctl(GridYSpin));
    const bool invert = TkChecked(Ctl(InvertCheck));
    const int columnCount = TkChecked(Ctl(ColumnsCheck)) ? 641 / (8 * width) : 1;
    const int rowLimit = !TkChecked(Ctl(AlignCheck)) ? 480 : (gy == 1 ? 0 : (480 / (gy - 1)) * gy);
    const int shift = rv.compact ? 1 : 0;
    long long pos = static_cast<long long>(TkScrollPosition(Ctl(RowScroll))) * width + TkSpinValue(Ctl(OffsetSpin));
    for (int c = 1; c <= columnCount; c += z) {
        const int edge = (c - 1) * width * 8;
        for (int y = 0; y <= rowLimit; y += z)
            for (int j = 0; j < width; ++j, ++pos) {
                const bool past = pos >= static_cast<long long>(data.size());
                int value;
                if (!loaded)
                    value = y & 0xFF;
                else if (past || pos < 0)
                    value = 0;
                else
                    value = invert ? 255 - data[pos] : data[pos];
                for (int k = 0; k < 8; ++k) {
                    Rgb colour = (value & (128 >> k)) ? kWhite : kBlack;
                    if (past) colour = kBlue;
                    if (colour != kBlack)
                        FillBox(*img, edge + j * 8 * z + k * z + shift, y, z == 8 ? 7 : z, z == 8 ? 7 : z, colour);
                }
            }
    }
    if (!TkChecked(Ctl(GridCheck))) return img;
    if (!rv.compact) {
        for (int x = gx; x <= 641; x += gx) DrawLine(*img, x, 0, x, 481, x % (gx * gx) == 0 ? kGreen : kRed);
        for (int y = gy; y <= 481; y += gy) DrawLine(*img, 0, y, 641, y, y % (gy * gy) == 0 ? kGreen : kRed);
        return img;
    }
    for (int x = 0; x <= 641; x += gx) DrawLine(*img, x, 0, x, 481, kRed);
    int line = 1;
    for (int y = 0; y <= 481; y += gy, ++line) {
        if (line % 2 == 1)
            DrawText(*img, width * 8 * z, y, std::to_string(static_cast<long long>(y) * width), kGreen, kBlack);
        DrawLine(*img, 0, y, 641, y, kRed);
    }
    return img;
}

// Sets the program's controls and state to the view and repaints.
void Show(const RandomView& v) {
    TkSetScrollPosition(Ctl(WidthScroll), v.width);
    OnWidthScroll();  // gives the offset its range
    TkSetScrollPosition(Ctl(RowScroll), v.row);
    TkSetSpinValue(Ctl(OffsetSpin), v.offset);
    TkSetSpinValue(Ctl(GridXSpin), v.gridX);
    TkSetSpinValue(Ctl(GridYSpin), v.gridY);
    TkSetChecked(Ctl(GridCheck), v.grid);
    TkSetChecked(Ctl(ColumnsCheck), v.columns);
    TkSetChecked(Ctl(InvertCheck), v.invert);
    TkSetChecked(Ctl(AlignCheck), v.align);
    viewerState.zoom = v.zoom;
    if (!v.compact) {
        viewerState.selStartX = v.selStartX, viewerState.selStartY = v.selStartY;
        viewerState.selEndX = v.selEndX, viewerState.selEndY = v.selEndY;
    }
    Redraw();
}

class RedrawReferenceTest : public ::testing::Test {
protected:
    void SetUp() override { dir = MakeTempDir(); }
    void TearDown() override {
        EndViewer();
        RemoveTree(dir);
    }
    // Starts the view's program with its data loaded (or none).
    std::vector<uint8_t> Start(const RandomView& v, unsigned seed) {
        StartTestViewer(v.compact ? compactViewer : fullViewer);
        if (v.dataSize < 0) return {};
        std::vector<uint8_t> bytes = RandomBytes(v.dataSize, seed);
        const std::string path = dir + "/data.bin";
        WriteFile(path, bytes);
        OpenDataFile(path);
        return bytes;
    }
    std::string dir;
};

TEST_F(RedrawReferenceTest, RandomViewsOfBothProgramsMatchThePlainPainter) {
    const std::vector<RandomView> views = MakeViews(150, 12);
    for (size_t i = 0; i < views.size(); ++i) {
        const RandomView& v = views[i];
        SCOPED_TRACE("view " + std::to_string(i) + ": " + Describe(v));
        const std::vector<uint8_t> data = Start(v, static_cast<unsigned>(i));
        Show(v);
        ExpectCanvasEquals(TkCanvasPicture(), *ReferencePicture(v, data, v.dataSize >= 0));
        if (HasFailure()) break;  // one picture's report is enough to go on
    }
}

// Every column spacing up to 25 at each zoom in both programs: the column
// lines go in with the cells by different routes, by how they fall on them.
TEST_F(RedrawReferenceTest, GridsOfEverySpacingMatchThePlainPainter) {
    std::vector<RandomView> views = MakeViews(150, 31);
    for (size_t i = 0; i < views.size(); ++i) {
        RandomView& v = views[i];
        v.grid = true;
        v.gridX = static_cast<int>(i % 25) + 1;
        v.zoom = std::vector<int>{1, 2, 8}[i / 25 % 3];
        v.compact = i / 75 == 1;
        SCOPED_TRACE("view " + std::to_string(i) + ": " + Describe(v));
        const std::vector<uint8_t> data = Start(v, static_cast<unsigned>(i));
        Show(v);
        ExpectCanvasEquals(TkCanvasPicture(), *ReferencePicture(v, data, v.dataSize >= 0));
        if (HasFailure()) break;  // one picture's report is enough to go on
    }
}

}  // namespace
