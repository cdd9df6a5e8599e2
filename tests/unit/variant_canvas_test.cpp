// The compact viewer's repaint, pixel by pixel: the picture one pixel to the
// right, and the red grid whose every other row line carries a green label.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_backend.h"
#include "tests/unit/variant_test_support.h"
#include "variant/compact_viewer.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

using namespace variant_test;

constexpr int kW = CanvasImage::kWidth;
constexpr int kH = CanvasImage::kHeight;
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kBlue{0, 0, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0};

void Deliver() { DispatchMessage(TkWait()); }

Rgb At(int x, int y) { return ReadPixel(TkCanvasPicture(), x, y); }

class VariantCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { StartTestViewer(compactViewer); }
    void TearDown() override { EndViewer(); }

    // Loads a file the way a drop does.
    void Show(const std::vector<uint8_t>& bytes) {
        const std::string path = folder.File("data.bin");
        WriteAll(path, bytes);
        TkUserDropped(path);
        Deliver();
    }
    // Sets the view as the controls' handlers would leave it, then repaints.
    void View(int width, int zoom, int gridX, int gridY) {
        TkSetScrollPosition(Ctl(WidthScroll), width);
        TkSetSpinValue(Ctl(GridXSpin), gridX);
        TkSetSpinValue(Ctl(GridYSpin), gridY);
        TkSetChecked(Ctl(GridCheck), true);
        SetZoom(zoom);
    }
    WorkFolder folder;
};

TEST_F(VariantCanvasTest, EmptyViewIsABlueBandFromX1ToX8) {
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Rgb expected = x >= 1 && x <= 8 ? kBlue : kBlack;
            ASSERT_EQ(At(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:1 disp:0 zoom:1");
}

TEST_F(VariantCanvasTest, BitsStartOnePixelToTheRight) {
    Show({0x80, 0x01, 0xFF});
    EXPECT_EQ(At(0, 0), kBlack);
    EXPECT_EQ(At(1, 0), kWhite);
    for (int x = 2; x <= 8; ++x) EXPECT_EQ(At(x, 0), kBlack) << x;
    // Width 1: byte 1 is the next row, its last bit at x = 8.
    for (int x = 0; x <= 7; ++x) EXPECT_EQ(At(x, 1), kBlack) << x;
    EXPECT_EQ(At(8, 1), kWhite);
    for (int x = 1; x <= 8; ++x) EXPECT_EQ(At(x, 2), kWhite) << x;
    EXPECT_EQ(At(0, 2), kBlack);
    EXPECT_EQ(At(9, 2), kBlack);
    for (int x = 1; x <= 8; ++x) EXPECT_EQ(At(x, 3), kBlue) << x;  // past the end
    EXPECT_EQ(At(0, 3), kBlack);
}

TEST_F(VariantCanvasTest, ShiftHoldsAtEveryZoomAndInColumns) {
    struct Case {
        int zoom, cellSide, pitch;
    } cases[] = {{1, 1, 1}, {2, 2, 2}, {8, 7, 8}};
    for (const Case& c : cases) {
        Show({0x80, 0x40});
        SetZoom(c.zoom);
        // The first bit's cell covers x = 1 .. cellSide, nothing at x = 0.
        for (int y = 0; y < c.cellSide; ++y) {
            EXPECT_EQ(At(0, y), kBlack) << "zoom " << c.zoom;
            for (int x = 1; x <= c.cellSide; ++x) EXPECT_EQ(At(x, y), kWhite) << "zoom " << c.zoom << " " << x;
            EXPECT_EQ(At(c.cellSide + 1, y), kBlack) << "zoom " << c.zoom;
        }
        // The second byte's set bit (k = 1) is one pitch further right, one row of cells lower.
        EXPECT_EQ(At(1 + c.pitch, c.pitch), kWhite) << "zoom " << c.zoom;
        EXPECT_EQ(At(c.pitch, c.pitch), kBlack) << "zoom " << c.zoom;
    }
    // Several columns: each column edge moves along with the first.
    Show(std::vector<uint8_t>(481 * 3, 0x80));
    TkSetChecked(Ctl(ColumnsCheck), true);
    SetZoom(1);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(At(column * 8, 0), kBlack) << column;
        EXPECT_EQ(At(column * 8 + 1, 0), kWhite) << column;
        EXPECT_EQ(At(column * 8 + 1, 480), kWhite) << column;
    }
    EXPECT_EQ(At(3 * 8 + 1, 0), kBlue);  // the fourth column starts past the end
    EXPECT_EQ(At(3 * 8, 0), kBlack);
}

struct GridCase {
    int width, zoom, gridX, gridY;
};

// Checks a labelled grid against its rule, pixel by pixel: every row line is
// red across the canvas; each label box at (width * 8 * zoom, 2k * gridY)
// is opaque black with the label's digits in green, crossed by the row lines
// drawn after it; every column line is red outside the boxes; nothing else
// is red or green.
void ExpectLabelledGrid(const GridCase& c, const std::vector<int>& expectedLabelRows) {
    const CanvasImage& pic = TkCanvasPicture();
    const int labelX = c.width * 8 * c.zoom;
    // What the labels alone look like, drawn by the same font.
    auto labels = std::make_unique<CanvasImage>();
    std::memset(labels->pixels, 0, sizeof labels->pixels);
    std::vector<bool> inBox(static_cast<size_t>(kW) * kH, false);
    std::vector<int> labelRows;
    for (int y = 0; y <= kH; y += 2 * c.gridY) {
        labelRows.push_back(y);
        const std::string text = std::to_string(y * c.width);
        DrawText(*labels, labelX, y, text, kGreen, kBlack);
        for (int yy = y; yy < std::min(y + TextHeight(), kH); ++yy)
            for (int xx = labelX; xx < std::min(labelX + TextWidth(text), kW); ++xx) inBox[yy * kW + xx] = true;
    }
    EXPECT_EQ(labelRows, expectedLabelRows);
    int greenPixels = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Rgb p = ReadPixel(pic, x, y);
            if (y % c.gridY == 0) {
                ASSERT_EQ(p, kRed) << "row line at " << x << "," << y;
            } else if (inBox[y * kW + x]) {
                const Rgb glyph = ReadPixel(*labels, x, y);
                ASSERT_EQ(p, glyph) << "label box at " << x << "," << y;
                if (p == kGreen) ++greenPixels;
            } else if (x % c.gridX == 0) {
                ASSERT_EQ(p, kRed) << "column line at " << x << "," << y;
            } else {
                ASSERT_TRUE(p == kBlack || p == kWhite || p == kBlue) << "cell at " << x << "," << y;
            }
        }
    if (c.gridY > 1) {
        EXPECT_GT(greenPixels, 0);
    }
}

TEST_F(VariantCanvasTest, Grid8x8AtWidth4LabelsEveryOtherRowLine) {
    View(4, 1, 8, 8);
    std::vector<int> rows;
    for (int y = 0; y <= 480; y += 16) rows.push_back(y);
    ExpectLabelledGrid({4, 1, 8, 8}, rows);
    // Lines from 0 on, the last column line at 640, the last row line at 480.
    for (int x : {0, 8, 320, 640}) EXPECT_EQ(At(x, 100), kRed) << x;
    for (int y : {0, 8, 472, 480}) EXPECT_EQ(At(100, y), kRed) << y;
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:4, grid:8x8 disp:0 zoom:1");
}

TEST_F(VariantCanvasTest, LabelsReadTheRowTimesTheWidth) {
    View(4, 1, 8, 8);
    struct Label {
        int y;
        const char* text;
    } cases[] = {{0, "0"}, {16, "64"}, {32, "128"}, {240, "960"}, {464, "1856"}, {480, "1920"}};
    for (const Label& l : cases) {
        auto expected = std::make_unique<CanvasImage>();
        std::memset(expected->pixels, 0, sizeof expected->pixels);
        DrawText(*expected, 32, l.y, l.text, kGreen, kBlack);
        for (int y = l.y + 1; y < std::min(l.y + 8, kH); ++y)  // below its own line, above the next
            for (int x = 32; x < 32 + TextWidth(l.text); ++x)
                ASSERT_EQ(At(x, y), ReadPixel(*expected, x, y)) << l.text << " at " << x << "," << y;
        // The box ends where the text ends: the column right after shows the cells' background again.
        if (l.y + 4 < kH) {
            EXPECT_NE(At(32 + TextWidth(l.text), l.y + 4), kGreen) << l.text;
        }
    }
    // The row at y = 480 keeps only its top pixel row, which its line covers.
    for (int x = 0; x < kW; ++x) EXPECT_EQ(At(x, 480), kRed) << x;
}

TEST_F(VariantCanvasTest, LabelsMoveWithTheZoom) {
    View(4, 2, 8, 8);
    std::vector<int> rows;
    for (int y = 0; y <= 480; y += 16) rows.push_back(y);
    ExpectLabelledGrid({4, 2, 8, 8}, rows);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:4, grid:8x8 disp:0 zoom:2");
}

TEST_F(VariantCanvasTest, GridSpacingsAndZooms) {
    struct Case {
        GridCase grid;
        std::vector<int> labelRows;
    } cases[] = {
        {{1, 1, 25, 25}, {0, 50, 100, 150, 200, 250, 300, 350, 400, 450}},
        {{4, 8, 25, 25}, {0, 50, 100, 150, 200, 250, 300, 350, 400, 450}},
        {{3, 1, 5, 7}, {0, 14, 28, 42, 56, 70, 84, 98, 112, 126, 140, 154, 168, 182, 196, 210, 224, 238, 252,
                        266, 280, 294, 308, 322, 336, 350, 364, 378, 392, 406, 420, 434, 448, 462, 476}},
        {{80, 1, 16, 12}, {0, 24, 48, 72, 96, 120, 144, 168, 192, 216, 240, 264, 288, 312, 336, 360, 384, 408,
                           432, 456, 480}},  // labels past the canvas edge at x = 640
        {{1, 1, 1, 1}, {}},
    };
    for (Case& c : cases) {
        if (c.grid.gridY == 1)
            for (int y = 0; y <= 480; y += 2) c.labelRows.push_back(y);
        Show(std::vector<uint8_t>(3000, 0x5A));
        View(c.grid.width, c.grid.zoom, c.grid.gridX, c.grid.gridY);
        SCOPED_TRACE("grid " + std::to_string(c.grid.gridX) + "x" + std::to_string(c.grid.gridY) + " width " +
                     std::to_string(c.grid.width) + " zoom " + std::to_string(c.grid.zoom));
        ExpectLabelledGrid(c.grid, c.labelRows);
    }
}

TEST_F(VariantCanvasTest, Grid25LinesStopInsideTheCanvas) {
    View(1, 1, 25, 25);
    for (int x = 0; x <= 625; x += 25) EXPECT_EQ(At(x, 30), kRed) << x;
    for (int y = 1; y < kH; ++y)  // 650 would be the next column line
        if (y % 25 != 0) {
            EXPECT_NE(At(640, y), kRed) << y;
        }
    for (int y = 0; y <= 475; y += 25) EXPECT_EQ(At(300, y), kRed) << y;
    for (int x = 1; x < kW; ++x)  // 500 would be the next row line
        if (x % 25 != 0) {
            EXPECT_NE(At(x, 480), kRed) << x;
        }
    // Labels stand at x = 8: "50" ends before the line at x = 25, "400" and "450" cover it.
    EXPECT_EQ(At(25, 52), kRed);
    EXPECT_EQ(At(25, 402), kBlack);
    EXPECT_EQ(At(25, 452), kBlack);
}

TEST_F(VariantCanvasTest, Grid1x1TurnsTheWholeCanvasRed) {
    // The full viewer's rule would make every line green; here no line is.
    View(1, 1, 1, 1);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(At(x, y), kRed) << x << "," << y;
}

TEST_F(VariantCanvasTest, NoGreenLineWhateverTheSpacing) {
    for (int gx = 1; gx <= 25; ++gx) {
        const int gy = 26 - gx;
        View(1, 1, gx, gy);
        const CanvasImage& pic = TkCanvasPicture();
        // The labels sit at x = 8; right of the widest ("3840") nothing can be green.
        for (int y = 0; y < kH; ++y)
            for (int x = 8 + TextWidth("3840"); x < kW; ++x)
                ASSERT_NE(ReadPixel(pic, x, y), kGreen) << gx << "x" << gy << " at " << x << "," << y;
        // Left of the labels, the lines at the spacings' squares stay red too.
        for (int y = gy; y < kH; y += gy) ASSERT_EQ(At(0, y), kRed);
    }
}

TEST_F(VariantCanvasTest, GridOffPaintsNoLinesAndNoLabels) {
    View(4, 1, 8, 8);
    TkSetChecked(Ctl(GridCheck), false);
    Redraw();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Rgb expected = x >= 1 && x <= 32 ? kBlue : kBlack;
            ASSERT_EQ(At(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:4 disp:0 zoom:1");
}

TEST_F(VariantCanvasTest, TitleAsInTheFullViewer) {
    Show(std::vector<uint8_t>(5000, 1));
    TkSetScrollPosition(Ctl(WidthScroll), 7);
    TkSetScrollPosition(Ctl(RowScroll), 3);
    TkSetSpinMinimum(Ctl(OffsetSpin), -7);
    TkSetSpinValue(Ctl(OffsetSpin), -2);
    TkSetSpinValue(Ctl(GridXSpin), 5);
    TkSetSpinValue(Ctl(GridYSpin), 12);
    TkSetChecked(Ctl(GridCheck), true);
    SetZoom(8);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:7, grid:5x12 disp:19 zoom:8");
    TkSetChecked(Ctl(GridCheck), false);
    TkSetScrollPosition(Ctl(RowScroll), 0);
    Redraw();
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:7 disp:-2 zoom:8");
}

}  // namespace
