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

// Paints a pattern into a pixel row: white bits are OR-ed in (white is all
// ones), blue cells replace what lies beneath. Whole bytes go a machine word
// at a time; `bytes` is a multiple of 8 there.
inline uint64_t Word(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

inline void PutWord(uint8_t* p, uint64_t w) { std::memcpy(p, &w, 8); }

template <int kBytes>
inline void OrWords(uint8_t* dst, const uint8_t* pattern) {
    for (int i = 0; i < kBytes; i += 8) PutWord(dst + i, Word(dst + i) | Word(pattern + i));
}

template <int kBytes>
inline void BlueWords(uint8_t* dst, const uint8_t* mask, const uint8_t* blue) {
    for (int i = 0; i < kBytes; i += 8) PutWord(dst + i, (Word(dst + i) & ~Word(mask + i)) | Word(blue + i));
}

// The same for the last byte of a row, cut at the canvas edge.
inline void OrBytes(uint8_t* dst, const uint8_t* pattern, int bytes) {
    for (int i = 0; i < bytes; ++i) dst[i] |= pattern[i];
}

inline void BlueBytes(uint8_t* dst, const uint8_t* mask, const uint8_t* blue, int bytes) {
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
    int selTop, selBottom;  // pixel rows the selection box covers (bottom exclusive)
};

// The value a byte position shows, or -1 for a position past the end.
inline int ValueAt(const View& v, int64_t position, int y) {
    if (position >= v.size) return -1;
    if (!v.data) return y & 0xFF;  // nothing loaded: a position before the end shows its row
    if (position < 0) return 0;    // before the data: nothing to show
    return v.invert ? 255 - v.data[position] : v.data[position];
}

// Where one column's bytes lie on a pixel row.
struct ColumnSpan {
    int x;        // left edge of the first cell
    int visible;  // bytes that start on the canvas
    int whole;    // of those, the bytes whose cells all lie on the canvas
};

// Paints one column's row of cells into the first of the row's pixel rows
// only, black cells included; the caller copies it down.
template <int Z>
inline void PaintCleanSpan(uint8_t* line, const BytePatterns<Z>& pat, const View& v, int64_t position,
                           const ColumnSpan& span, int y) {
    constexpr int kBytes = BytePatterns<Z>::kBytes;
    uint8_t* dst = line + span.x * 3;
    int j = 0;
    if (v.data && position >= 0 && position + span.whole <= v.size) {
        // All inside the data: no checks per byte.
        const uint8_t flip = v.invert ? 0xFF : 0x00;
        const uint8_t* src = v.data + position;
        for (; j < span.whole; ++j) {
            std::memcpy(dst + j * kBytes, pat.white[src[j] ^ flip], kBytes);
        }
    } else {
        for (; j < span.whole; ++j) {
            const int value = ValueAt(v, position + j, y);
            std::memcpy(dst + j * kBytes, value < 0 ? pat.blue : pat.white[value], kBytes);
        }
    }
    if (j < span.visible) {  // a byte cut by the canvas edge
        const int value = ValueAt(v, position + j, y);
        std::memcpy(dst + j * kBytes, value < 0 ? pat.blue : pat.white[value], (kW - span.x) * 3 - j * kBytes);
    }
}

// The same over the selection box: white bits over it, blue cells replace
// it, in every pixel row of the cells.
template <int Z>
void PaintSpanOverSelection(uint8_t* line, const View& v, int64_t position, int x, int y, int visible, int rows) {
    const BytePatterns<Z>& pat = Patterns<Z>();
    constexpr int kPitch = 8 * Z;
    constexpr int kBytes = BytePatterns<Z>::kBytes;
    for (int j = 0; j < visible; ++j) {
        const int value = ValueAt(v, position + j, y);
        if (value == 0) continue;
        const int bytes = std::min(kBytes, (kW - x - j * kPitch) * 3);
        uint8_t* dst = line + (x + j * kPitch) * 3;
        for (int r = 0; r < rows; ++r) {
            uint8_t* d = dst + r * CanvasImage::kStride;
            if (value < 0 && bytes == kBytes)
                BlueWords<kBytes>(d, pat.cellMask, pat.blue);
            else if (value < 0)
                BlueBytes(d, pat.cellMask, pat.blue, bytes);
            else if (bytes == kBytes)
                OrWords<kBytes>(d, pat.white[value]);
            else
                OrBytes(d, pat.white[value], bytes);
        }
    }
}

// Fills pixel rows from..to-1 black, except those of the selection band,
// which already hold the black background and the selection box.
void BlackRows(CanvasImage& img, int from, int to, const View& v) {
    for (int y = std::max(from, 0); y < std::min(to, kH); ++y)
        if (y < v.selTop || y >= v.selBottom) std::memset(img.pixels + y * CanvasImage::kStride, 0, CanvasImage::kStride);
}

// The bit picture, painted so that every pixel is written once: row by row
// of cells, each across all columns, the first pixel row of a row of cells
// whole (black included) and copied down. Rows of cells that meet the
// selection band are painted over it instead.
template <int Z>
void DrawBits(CanvasImage& img, const View& v, int shift) {
    if (v.rowLimit < 0 || v.columnCount < 1) return BlackRows(img, 0, kH, v);
    const BytePatterns<Z>& pat = Patterns<Z>();
    constexpr int kPitch = 8 * Z;
    const int64_t rowsPerColumn = v.rowLimit / Z + 1;
    const int64_t columnStep = static_cast<int64_t>(v.width) * kPitch;  // pixels between column edges
    // Columns whose edge lies on the canvas; the counter runs 1, 1 + Z, ...
    const int64_t counters = (v.columnCount - 1) / Z + 1;
    const int columns = static_cast<int>(std::min<int64_t>(counters, (kW - 1 - shift) / columnStep + 1));
    ColumnSpan spans[kW];
    for (int c = 0; c < columns; ++c) {
        ColumnSpan& s = spans[c];
        s.x = static_cast<int>(c * columnStep + shift);
        s.visible = static_cast<int>(std::min<int64_t>(v.width, (kW - s.x + kPitch - 1) / kPitch));
        s.whole = std::min(s.visible, (kW - s.x) / kPitch);
    }
    const int rightmost = std::min(kW, spans[columns - 1].x + spans[columns - 1].visible * kPitch);
    // The pattern each data byte shows, inversion folded in.
    const uint8_t* shown[256];
    for (int b = 0; b < 256; ++b) shown[b] = pat.white[v.invert ? 255 - b : b];
    const int64_t columnBytes = rowsPerColumn * v.width;
    const int64_t rowsShown = std::min<int64_t>(rowsPerColumn, (kH - 1) / Z + 1);
    for (int64_t r = 0; r < rowsShown; ++r) {
        const int y = static_cast<int>(r * Z);
        const int rows = std::min(CellSize(Z), kH - y);
        uint8_t* line = img.pixels + y * CanvasImage::kStride;
        const int64_t first = v.displacement + r * v.width;
        if (y + Z <= v.selTop || y >= v.selBottom) {
            std::memset(line, 0, spans[0].x * 3);  // left of the picture
            std::memset(line + rightmost * 3, 0, (kW - rightmost) * 3);
            int c = 0;
            // Columns left of the last lie whole on the canvas: when all of
            // their bytes lie in the data, paint them without any checks.
            const int64_t lastFull = first + (columns - 2) * columnBytes + v.width;
            if (columns > 1 && v.data && first >= 0 && lastFull <= v.size) {
                // Locals, so that the byte stores cannot make the compiler
                // reload them on every byte.
                constexpr int kBytes = BytePatterns<Z>::kBytes;
                const int width = v.width;
                const uint8_t* src = v.data + first;
                uint8_t* dst = line + shift * 3;
                const int64_t step = columnBytes;
                const int pitch = static_cast<int>(columnStep) * 3;
                if (width == 1) {  // the most columns there can be: keep the loop bare
                    for (; c < columns - 1; ++c, src += step, dst += pitch) std::memcpy(dst, shown[*src], kBytes);
                } else {
                    for (; c < columns - 1; ++c, src += step, dst += pitch)
                        for (int j = 0; j < width; ++j) std::memcpy(dst + j * kBytes, shown[src[j]], kBytes);
                }
            }
            for (; c < columns; ++c) PaintCleanSpan<Z>(line, pat, v, first + c * columnBytes, spans[c], y);
            for (int k = 1; k < rows; ++k) std::memcpy(line + k * CanvasImage::kStride, line, CanvasImage::kStride);
            BlackRows(img, y + rows, y + Z, v);  // the gap below the cells
        } else {
            for (int c = 0; c < columns; ++c)
                PaintSpanOverSelection<Z>(line, v, first + c * columnBytes, spans[c].x, y, spans[c].visible, rows);
        }
    }
    BlackRows(img, static_cast<int>(rowsShown * Z), kH, v);  // below the last row of cells
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
    const int32_t zoom = viewerState.zoom;

    // The rows of cells the selection box meets get the black background and
    // the box first; every other pixel the bit picture writes exactly once.
    View v;
    v.selTop = v.selBottom = 0;
    if (program->hasSelection) {
        SnappedSelection sel = SnapSelection(zoom);
        if (sel.selW != 0 && sel.selH != 0) {
            const int top = std::max(std::min(sel.selY, sel.selY + sel.selH), 0);
            const int bottom = std::min(std::max(sel.selY, sel.selY + sel.selH), kH);
            if (top < bottom) {
                v.selTop = top / zoom * zoom;
                v.selBottom = std::min((bottom + zoom - 1) / zoom * zoom, kH);
                std::memset(img.pixels + v.selTop * CanvasImage::kStride, 0,
                            static_cast<size_t>(v.selBottom - v.selTop) * CanvasImage::kStride);
                FillBox(img, sel.selX, sel.selY, sel.selW, sel.selH, kSelection);
            }
        }
        if (program->hasStatusBar) TkSetStatusText(SelectionReport(sel, zoom));
    }

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
