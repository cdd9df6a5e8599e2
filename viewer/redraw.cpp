#include "viewer/redraw.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/toolkit.h"
#include "viewer/viewer_state.h"

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kSelection{127, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr int kW = CanvasImage::kWidth;
constexpr int kH = CanvasImage::kHeight;

// Pixel patterns of one byte's eight cells at one zoom: for every byte value
// the channels its set bits cover (white is all ones, so OR-ing them in
// paints white and leaves clear bits as they were), and for a position past
// the end the channels of all eight cells with the blue to put there.
template <int Z>
struct BytePatterns {
    static constexpr int kBytes = 8 * Z * 3;
    uint8_t white[256][kBytes];
    uint8_t cellMask[kBytes];
    uint8_t blue[kBytes];

    BytePatterns() {
        std::memset(this, 0, sizeof *this);
        const int cell = CellSize(Z);
        for (int k = 0; k < 8; ++k)
            for (int p = 0; p < cell; ++p) {
                int at = (k * Z + p) * 3;
                std::memset(cellMask + at, 0xFF, 3);
                blue[at + 2] = 255;
                for (int v = 0; v < 256; ++v)
                    if (v & (0x80 >> k)) std::memset(white[v] + at, 0xFF, 3);
            }
    }
};

template <int Z>
const BytePatterns<Z>& Patterns() {
    static const BytePatterns<Z>* patterns = new BytePatterns<Z>;
    return *patterns;
}

// Paints `bytes` channels of a pattern into a pixel row: white bits over
// whatever lies beneath (the background or the selection box).
inline void OrInto(uint8_t* dst, const uint8_t* pattern, int bytes) {
    for (int i = 0; i < bytes; ++i) dst[i] |= pattern[i];
}

inline void PutBlue(uint8_t* dst, const uint8_t* mask, const uint8_t* blue, int bytes) {
    for (int i = 0; i < bytes; ++i) dst[i] = static_cast<uint8_t>((dst[i] & ~mask[i]) | blue[i]);
}

// What the repaint reads from the controls and the state.
struct View {
    int32_t width;    // bytes per row, 1 or more
    int32_t zoom;
    int32_t columnCount;
    int32_t rowLimit;
    bool invert;
    int64_t displacement;
    const uint8_t* data;
    int64_t size;
};

// One row of cells of one column: the bytes from `position` on, drawn from
// x on at canvas row y (its cellSize pixel rows, cut at the canvas edges).
template <int Z>
void DrawRow(CanvasImage& img, const View& v, int64_t position, int x, int y) {
    const BytePatterns<Z>& pat = Patterns<Z>();
    constexpr int kPitch = 8 * Z;  // pixels per byte
    const int rows = std::min(CellSize(Z), kH - y);
    int visible = (kW - x + kPitch - 1) / kPitch;  // bytes that start on the canvas
    if (visible > v.width) visible = v.width;
    uint8_t* rowStart = img.pixels + y * CanvasImage::kStride + x * 3;
    for (int j = 0; j < visible; ++j, ++position) {
        const int px = x + j * kPitch;
        const int bytes = std::min(kPitch, kW - px) * 3;
        uint8_t* dst = rowStart + j * kPitch * 3;
        if (position >= v.size) {
            for (int r = 0; r < rows; ++r) PutBlue(dst + r * CanvasImage::kStride, pat.cellMask, pat.blue, bytes);
            continue;
        }
        int value;
        if (!v.data)
            value = y & 0xFF;  // nothing loaded: a position before the end shows its row
        else if (position < 0)
            value = 0;  // before the data: nothing to show
        else
            value = v.invert ? 255 - v.data[position] : v.data[position];
        if (value == 0) continue;
        const uint8_t* pattern = pat.white[value];
        for (int r = 0; r < rows; ++r) OrInto(dst + r * CanvasImage::kStride, pattern, bytes);
    }
}

template <int Z>
void DrawBits(CanvasImage& img, const View& v, int shift) {
    if (v.rowLimit < 0) return;
    const int64_t rowsPerColumn = v.rowLimit / Z + 1;
    const int64_t columnPitch = static_cast<int64_t>(v.width) * 8;  // column edge step per counter step
    int64_t columnIndex = 0;
    for (int64_t counter = 1; counter <= v.columnCount; counter += Z, ++columnIndex) {
        const int64_t edge = (counter - 1) * columnPitch + shift;
        if (edge >= kW) break;  // this column and all after it lie right of the canvas
        const int64_t first = v.displacement + columnIndex * rowsPerColumn * v.width;
        for (int64_t r = 0; r < rowsPerColumn; ++r) {
            const int64_t y = r * Z;
            if (y >= kH) break;
            DrawRow<Z>(img, v, first + r * v.width, static_cast<int>(edge), static_cast<int>(y));
        }
    }
}

// The full viewer's grid: lines from the first spacing on, green where the
// coordinate is a multiple of the spacing squared.
void DrawMajorGrid(CanvasImage& img, int gx, int gy) {
    for (int x = gx; x <= kW; x += gx) DrawLine(img, x, 0, x, kH, x % (gx * gx) == 0 ? kGreen : kRed);
    for (int y = gy; y <= kH; y += gy) DrawLine(img, 0, y, kW, y, y % (gy * gy) == 0 ? kGreen : kRed);
}

// The compact viewer's grid: red lines from 0 on; every other row line
// carries the number of its pixel row times the width, at the picture's edge.
void DrawLabelledGrid(CanvasImage& img, int gx, int gy, const View& v) {
    for (int x = 0; x <= kW; x += gx) DrawLine(img, x, 0, x, kH, kRed);
    int line = 1;
    for (int y = 0; y <= kH; y += gy, ++line) {
        if (line % 2 == 1)
            DrawText(img, v.width * 8 * v.zoom, y, std::to_string(static_cast<int64_t>(y) * v.width), kGreen, kBlack);
        DrawLine(img, 0, y, kW, y, kRed);
    }
}

std::string SelectionReport(const SnappedSelection& s, int32_t zoom) {
    if (s.selW <= 0 || s.selH <= 0)
        return "Invalid Selection,w:" + std::to_string(s.selW) + ",h:" + std::to_string(s.selH);
    return "x:" + std::to_string(s.selX) + " y:" + std::to_string(s.selY) + " w:" + std::to_string(s.selW / zoom / 8) +
           " h:" + std::to_string(s.selH / zoom);
}

}  // namespace

SnappedSelection SnapSelection(int32_t zoom) {
    const ViewerState& s = viewerState;
    SnappedSelection r;
    r.selX = zoom * (s.selStartX / zoom);
    r.selY = zoom * (s.selStartY / zoom);
    r.selW = ((s.selEndX - s.selStartX) / zoom) * zoom;
    r.selH = ((s.selEndY - s.selStartY) / zoom) * zoom;
    return r;
}

int64_t Displacement() {
    return static_cast<int64_t>(TkScrollPosition(Ctl(RowScroll))) * TkScrollPosition(Ctl(WidthScroll)) +
           TkSpinValue(Ctl(OffsetSpin));
}

void Redraw() {
    CanvasImage& img = TkBeginDrawing();
    std::memset(img.pixels, 0, sizeof img.pixels);
    const int32_t zoom = viewerState.zoom;

    if (program->hasSelection) {
        SnappedSelection sel = SnapSelection(zoom);
        FillBox(img, sel.selX, sel.selY, sel.selW, sel.selH, kSelection);
        if (program->hasStatusBar) TkSetStatusText(SelectionReport(sel, zoom));
    }

    View v;
    viewerState.bytesPerRow = TkScrollPosition(Ctl(WidthScroll));
    v.width = viewerState.bytesPerRow;
    v.zoom = zoom;
    const int gx = TkSpinValue(Ctl(GridXSpin)), gy = TkSpinValue(Ctl(GridYSpin));
    v.columnCount = TkChecked(Ctl(ColumnsCheck)) ? 641 / (8 * v.width) : 1;
    v.invert = TkChecked(Ctl(InvertCheck));
    if (!TkChecked(Ctl(AlignCheck)))
        v.rowLimit = 480;
    else
        v.rowLimit = gy == 1 ? 0 : (480 / (gy - 1)) * gy;
    v.displacement = Displacement();
    v.data = viewerState.fileData;
    v.size = viewerState.fileSize;

    switch (zoom) {
        case 2: DrawBits<2>(img, v, program->cellShift); break;
        case 8: DrawBits<8>(img, v, program->cellShift); break;
        default: DrawBits<1>(img, v, program->cellShift); break;
    }

    std::string title = "Vexelor, sprsize:" + std::to_string(v.width);
    if (TkChecked(Ctl(GridCheck))) {
        title += ", grid:" + std::to_string(gx) + "x" + std::to_string(gy);
        if (program->gridStyle == GridWithMajorLines)
            DrawMajorGrid(img, gx, gy);
        else
            DrawLabelledGrid(img, gx, gy, v);
    }
    if (Ctl(DispField) >= 0) TkSetText(Ctl(DispField), std::to_string(v.displacement));
    title += " disp:" + std::to_string(v.displacement) + " zoom:" + std::to_string(zoom);
    TkSetTitle(title);
    TkEndDrawing();
}
