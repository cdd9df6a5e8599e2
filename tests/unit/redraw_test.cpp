// The repaint, checked pixel by pixel: named cases, and a cell-by-cell
// reference painter over a table of views.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/full_viewer.h"
#include "platform/canvas.h"
#include "tests/support/canvas_check.h"
#include "tests/support/test_backend.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kBlue{0, 0, 255}, kSel{127, 0, 255};
constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0};

// A view to paint: the controls and state the repaint reads.
struct ViewSetup {
    int width = 1, row = 0, offset = 0, zoom = 1, gridX = 8, gridY = 8;
    bool grid = false, columns = false, invert = false, align = false;
};

void Apply(const ViewSetup& v) {
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
    Redraw();
}

// Paints the view cell by cell, one box per cell, straight from the rules.
CanvasImage Reference(const ViewSetup& v, const std::vector<uint8_t>& data, bool loaded) {
    CanvasImage img;
    FillBox(img, 0, 0, 641, 481, kBlack);
    const ViewerState& s = viewerState;
    const int z = v.zoom;
    FillBox(img, z * (s.selStartX / z), z * (s.selStartY / z), ((s.selEndX - s.selStartX) / z) * z,
            ((s.selEndY - s.selStartY) / z) * z, kSel);
    const int columnCount = v.columns ? 641 / (8 * v.width) : 1;
    const int rowLimit = !v.align ? 480 : (v.gridY == 1 ? 0 : (480 / (v.gridY - 1)) * v.gridY);
    const int cell = z == 8 ? 7 : z;
    long long pos = static_cast<long long>(v.row) * v.width + v.offset;
    for (int c = 1; c <= columnCount; c += z) {
        const int edge = (c - 1) * v.width * 8;
        for (int y = 0; y <= rowLimit; y += z)
            for (int j = 0; j < v.width; ++j, ++pos) {
                const bool past = pos >= static_cast<long long>(data.size());
                int value;
                if (!loaded) value = y & 0xFF;
                else if (past || pos < 0) value = 0;
                else value = v.invert ? 255 - data[pos] : data[pos];
                for (int k = 0; k < 8; ++k) {
                    Rgb colour = (value & (128 >> k)) ? kWhite : kBlack;
                    if (past) colour = kBlue;
                    if (colour == kBlack) continue;
                    FillBox(img, edge + j * 8 * z + k * z, y, cell, cell, colour);
                }
            }
    }
    if (v.grid) {
        for (int x = v.gridX; x <= 641; x += v.gridX)
            DrawLine(img, x, 0, x, 481, x % (v.gridX * v.gridX) == 0 ? kGreen : kRed);
        for (int y = v.gridY; y <= 481; y += v.gridY)
            DrawLine(img, 0, y, 641, y, y % (v.gridY * v.gridY) == 0 ? kGreen : kRed);
    }
    return img;
}

class RedrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        StartTestViewer(fullViewer);
    }
    void TearDown() override { RemoveTree(dir); }

    void Load(const std::vector<uint8_t>& bytes) {
        data = bytes;
        const std::string path = dir + "/data.bin";
        WriteFile(path, bytes);
        OpenDataFile(path);
    }
    const CanvasImage& Canvas() { return TkCanvasPicture(); }

    std::string dir;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(gen());
    return v;
}

TEST_F(RedrawTest, EmptyViewIsABlueBand) {
    Redraw();
    ExpectRegion(Canvas(), 0, 0, 8, 481, kBlue);
    ExpectRegion(Canvas(), 8, 0, 633, 481, kBlack);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1 disp:0 zoom:1");
    EXPECT_EQ(TkText(Ctl(DispField)), "0");
    EXPECT_EQ(TkStatusText(), "Invalid Selection,w:0,h:0");
}

TEST_F(RedrawTest, TenBytesAtWidthFour) {
    std::vector<uint8_t> bytes = {0x80, 0x01, 0xFF, 0x00, 0x0F, 0xF0, 0xAA, 0x55, 0xC3, 0x3C};
    Load(bytes);
    Apply(ViewSetup{.width = 4});
    const CanvasImage& c = Canvas();
    EXPECT_EQ(ReadPixel(c, 0, 0), kWhite);   // 0x80: first cell set
    EXPECT_EQ(ReadPixel(c, 1, 0), kBlack);
    EXPECT_EQ(ReadPixel(c, 15, 0), kWhite);  // 0x01: last cell of byte 1
    EXPECT_EQ(ReadPixel(c, 8 + 7, 1), kBlack);  // 0x55 at byte 7 (row 1, j 3): x 31 white
    EXPECT_EQ(ReadPixel(c, 31, 1), kWhite);
    ExpectRegion(c, 16, 2, 16, 1, kBlue);     // row 2: bytes 8, 9, then two blue bytes
    EXPECT_EQ(ReadPixel(c, 0, 2), kWhite);    // 0xC3
    ExpectRegion(c, 0, 3, 32, 478, kBlue);    // every later row is blue
    ExpectRegion(c, 32, 0, 609, 481, kBlack);
    ExpectCanvasEquals(c, Reference(ViewSetup{.width = 4}, bytes, true));
}

TEST_F(RedrawTest, InvertShowsTheComplement) {
    Load({0x0F});
    Apply(ViewSetup{});
    ExpectRegion(Canvas(), 0, 0, 4, 1, kBlack);
    ExpectRegion(Canvas(), 4, 0, 4, 1, kWhite);
    Apply(ViewSetup{.invert = true});
    ExpectRegion(Canvas(), 0, 0, 4, 1, kWhite);
    ExpectRegion(Canvas(), 4, 0, 4, 1, kBlack);
    ExpectRegion(Canvas(), 0, 1, 8, 480, kBlue);  // past the end stays blue, not inverted
}

TEST_F(RedrawTest, ZoomEightLeavesOnePixelGaps) {
    Load(std::vector<uint8_t>(60, 0xFF));  // 61 rows: the last is past the end
    Apply(ViewSetup{.zoom = 8});
    const CanvasImage& c = Canvas();
    ExpectRegion(c, 0, 0, 7, 7, kWhite);
    EXPECT_EQ(ReadPixel(c, 7, 0), kBlack);  // gap column
    EXPECT_EQ(ReadPixel(c, 0, 7), kBlack);  // gap row
    EXPECT_EQ(ReadPixel(c, 8, 8), kWhite);
    ExpectRegion(c, 0, 480, 7, 1, kBlue);   // the last row starts at 480: one pixel row shows
    EXPECT_EQ(ReadPixel(c, 64, 0), kBlack);  // one byte per row: nothing right of it
}

TEST_F(RedrawTest, ColumnsAtEachZoom) {
    std::vector<uint8_t> bytes = RandomBytes(50000, 1);
    Load(bytes);
    // Width 1: the second column at zoom 1 starts with byte 481.
    Apply(ViewSetup{.columns = true});
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(ReadPixel(Canvas(), 8 + k, 0), (bytes[481] & (128 >> k)) ? kWhite : kBlack);
    ExpectCanvasEquals(Canvas(), Reference(ViewSetup{.columns = true}, bytes, true));
    // Zoom 2: 40 columns 16 pixels apart; zoom 8: 10 columns 64 apart, 61 rows each.
    for (int z : {2, 8}) {
        ViewSetup v{.zoom = z, .columns = true};
        Apply(v);
        ExpectCanvasEquals(Canvas(), Reference(v, bytes, true));
    }
    Apply(ViewSetup{.zoom = 8, .columns = true});
    const int secondColumnFirst = 61;  // rows 0..60 of the first column
    EXPECT_EQ(ReadPixel(Canvas(), 64, 0) == kWhite, (bytes[secondColumnFirst] & 0x80) != 0);
}

TEST_F(RedrawTest, ColumnsWiderThanEightyBytesDrawNoCells) {
    Load(std::vector<uint8_t>(5000, 0xFF));
    viewerState.selStartX = 10, viewerState.selStartY = 10, viewerState.selEndX = 30, viewerState.selEndY = 20;
    Apply(ViewSetup{.width = 81, .grid = true, .columns = true});
    ExpectCanvasEquals(Canvas(), Reference(ViewSetup{.width = 81, .grid = true, .columns = true}, data, true));
    EXPECT_EQ(ReadPixel(Canvas(), 10, 10), kSel);  // the selection box still shows
    EXPECT_EQ(ReadPixel(Canvas(), 8, 1), kRed);    // and the grid
    EXPECT_EQ(ReadPixel(Canvas(), 0, 0), kBlack);  // but no cell
}

TEST_F(RedrawTest, AlignToGridRowsPerColumn) {
    std::vector<uint8_t> bytes = RandomBytes(20000, 2);
    Load(bytes);
    // gridY 8: 545 rows per column, so the second column starts 545 bytes on.
    Apply(ViewSetup{.columns = true, .align = true});
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(ReadPixel(Canvas(), 8 + k, 0), (bytes[545] & (128 >> k)) ? kWhite : kBlack);
    ExpectCanvasEquals(Canvas(), Reference(ViewSetup{.columns = true, .align = true}, bytes, true));
    // gridY 1: one row per column.
    ViewSetup one{.gridY = 1, .columns = true, .align = true};
    Apply(one);
    ExpectCanvasEquals(Canvas(), Reference(one, bytes, true));
    ExpectRegion(Canvas(), 0, 1, 641, 480, kBlack);
}

TEST_F(RedrawTest, GridColoursAndTitle) {
    Apply(ViewSetup{.grid = true});
    const CanvasImage& c = Canvas();
    EXPECT_EQ(ReadPixel(c, 8, 100), kRed);
    EXPECT_EQ(ReadPixel(c, 64, 100), kGreen);
    EXPECT_EQ(ReadPixel(c, 640, 100), kGreen);
    EXPECT_EQ(ReadPixel(c, 100, 8), kRed);
    EXPECT_EQ(ReadPixel(c, 100, 64), kGreen);
    EXPECT_EQ(ReadPixel(c, 100, 480), kRed);  // 480 is no multiple of 64
    EXPECT_EQ(ReadPixel(c, 100, 0), kBlack);  // no line at 0
    EXPECT_EQ(ReadPixel(c, 0, 100), kBlue);   // x 0 is a blue cell, no line
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1");

    Apply(ViewSetup{.gridX = 1, .gridY = 1, .grid = true});
    EXPECT_EQ(ReadPixel(Canvas(), 0, 0), kBlue);  // the one pixel no line covers
    ExpectRegion(Canvas(), 1, 0, 640, 481, kGreen);
    ExpectRegion(Canvas(), 0, 1, 1, 480, kGreen);
}

TEST_F(RedrawTest, SelectionSnapsAndIsReported) {
    struct Case {
        int zoom, sx, sy, ex, ey;
        int selX, selY, selW, selH;
        const char* status;
    } cases[] = {
        {2, 13, 7, 60, 30, 12, 6, 46, 22, "x:12 y:6 w:2 h:11"},
        {8, 20, 20, 15, 40, 16, 16, 0, 16, "Invalid Selection,w:0,h:16"},
        {8, 20, 20, 11, 40, 16, 16, -8, 16, "Invalid Selection,w:-8,h:16"},
        {1, 100, 50, 140, 66, 100, 50, 40, 16, "x:100 y:50 w:5 h:16"},
        {1, 100, 50, 0, 0, 100, 50, -100, -50, "Invalid Selection,w:-100,h:-50"},
    };
    Load(std::vector<uint8_t>(80 * 481, 0));  // black cells let the box show through
    for (const Case& k : cases) {
        viewerState.selStartX = k.sx, viewerState.selStartY = k.sy;
        viewerState.selEndX = k.ex, viewerState.selEndY = k.ey;
        ViewSetup v{.width = 80, .zoom = k.zoom};
        Apply(v);
        SnappedSelection s = SnapSelection(k.zoom);
        EXPECT_EQ(s.selX, k.selX);
        EXPECT_EQ(s.selY, k.selY);
        EXPECT_EQ(s.selW, k.selW);
        EXPECT_EQ(s.selH, k.selH);
        EXPECT_EQ(TkStatusText(), k.status);
        ExpectCanvasEquals(Canvas(), Reference(v, data, true));
    }
    // The pressed state draws from the origin to the press point.
    viewerState.selStartX = 100, viewerState.selStartY = 50, viewerState.selEndX = 0, viewerState.selEndY = 0;
    Apply(ViewSetup{.width = 80});
    EXPECT_EQ(ReadPixel(Canvas(), 99, 49), kSel);
    EXPECT_EQ(ReadPixel(Canvas(), 100, 49), kBlack);
    EXPECT_EQ(ReadPixel(Canvas(), 99, 50), kBlack);
}

TEST_F(RedrawTest, NegativeDisplacementShowsNothingBeforeTheData) {
    // No file: positions before 0 show their row's y, which is 0 on the top row.
    Apply(ViewSetup{.width = 4, .offset = -2});
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:4 disp:-2 zoom:1");
    EXPECT_EQ(TkText(Ctl(DispField)), "-2");
    ExpectRegion(Canvas(), 0, 0, 16, 1, kBlack);
    ExpectRegion(Canvas(), 16, 0, 16, 1, kBlue);
    // A file: positions before its first byte are black, never read.
    Load({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    Apply(ViewSetup{.width = 4, .offset = -3});
    ExpectRegion(Canvas(), 0, 0, 24, 1, kBlack);
    ExpectRegion(Canvas(), 24, 0, 8, 1, kWhite);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:4 disp:-3 zoom:1");
}

// Every combination the repaint distinguishes, against the reference painter.
TEST_F(RedrawTest, MatchesReferenceAcrossViews) {
    std::vector<uint8_t> bytes = RandomBytes(3000, 3);
    Load(bytes);
    viewerState.selStartX = 33, viewerState.selStartY = 21, viewerState.selEndX = 97, viewerState.selEndY = 70;
    std::vector<ViewSetup> views;
    for (int zoom : {1, 2, 8})
        for (int width : {1, 3, 11, 80, 81, 257})
            for (bool columns : {false, true}) {
                ViewSetup v{.width = width, .row = 2, .offset = width > 2 ? -2 : 1, .zoom = zoom, .gridX = 7,
                            .gridY = 5, .grid = width == 11, .columns = columns, .invert = width == 3,
                            .align = width == 80};
                views.push_back(v);
            }
    for (const ViewSetup& v : views) {
        SCOPED_TRACE("zoom " + std::to_string(v.zoom) + " width " + std::to_string(v.width) +
                     (v.columns ? " columns" : ""));
        Apply(v);
        ExpectCanvasEquals(Canvas(), Reference(v, bytes, true));
    }
}

TEST_F(RedrawTest, LargeDisplacementDoesNotWrap) {
    // 8 MiB at width 257 reaches positions beyond 2^31.
    const int64_t size = 8 << 20;
    const std::string path = dir + "/big.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fseek(f, size - 1, SEEK_SET);
    std::fputc(0, f);
    std::fclose(f);
    OpenDataFile(path);
    TkSetScrollPosition(Ctl(WidthScroll), 257);
    OnWidthScroll();
    TkSetScrollPosition(Ctl(RowScroll), size);
    Redraw();
    const int64_t row = TkScrollPosition(Ctl(RowScroll));
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:257 disp:" + std::to_string(row * 257) + " zoom:1");
    ExpectRegion(Canvas(), 0, 0, 641, 481, kBlue);
}

}  // namespace
