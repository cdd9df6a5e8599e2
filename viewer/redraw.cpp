#include "viewer/redraw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "viewer/viewer_state.h"

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kSelection{127, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr int kW = CanvasImage::kWidth;
constexpr int kH = CanvasImage::kHeight;
constexpr int kStride = CanvasImage::kStride;

// A box of canvas pixels, right and bottom edges exclusive.
struct Box {
    int x0, y0, x1, y1;
    bool HasRow(int y) const { return x0 < x1 && y >= y0 && y < y1; }
};

// Writes one pixel's three channels.
inline void PutRgb(uint8_t* p, Rgb c) {
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// Which grid column lines cross the pixels of one byte's cells: per pixel
// kNoLine, kRedLine or kGreenLine.
enum : uint8_t { kNoLine, kRedLine, kGreenLine };
typedef std::array<uint8_t, 64> SlotLines;  // the first 8 x zoom entries count

// The pixels of one byte's eight cells at one zoom over one background
// colour, with the grid's column lines that cross them, for every byte value
// and for a position past the end. A row of cells is painted by copying
// these, so every pixel is written once, the background between and around
// the cells and the column lines over them included.
template <int Z>
struct CellPatterns {
    static constexpr int kPitch = 8 * Z;  // pixels from one byte to the next
    static constexpr int kBytes = kPitch * 3;
    static constexpr int kPastEnd = 256;
    uint8_t cells[257][kBytes];
    uint8_t background[kStride];  // a pixel row of the background alone, without lines

    CellPatterns(Rgb ground, const SlotLines& lines) {
        for (int x = 0; x < kW; ++x) PutRgb(background + x * 3, ground);
        for (int v = 0; v <= kPastEnd; ++v)
            for (int x = 0; x < kPitch; ++x) {
                const bool inCell = x % Z < CellSize(Z);  // at zoom 8 the last pixel is the gap
                Rgb c = ground;
                if (inCell && v == kPastEnd)
                    c = kBlue;
                else if (inCell && (v & (0x80 >> (x / Z))))
                    c = kWhite;
                if (lines[x] != kNoLine) c = lines[x] == kGreenLine ? kGreen : kRed;
                PutRgb(cells[v] + x * 3, c);
            }
    }
};

// The most kinds of slots a row may have, by the column lines that cross
// them, for the lines to go into the patterns.
constexpr int kMostSlotKinds = 4;

// The patterns over black, or over the selection colour inside the box (the
// box lies beneath the cells, so white and blue cover it and clear bits and
// gaps let it show), with the given lines. Made when first asked for and
// kept, the most recently used last: one repaint asks for two per kind of
// slot, so the oldest can go without taking any the repaint still holds.
template <int Z>
const CellPatterns<Z>* PatternsWith(bool inSelection, const SlotLines& lines) {
    struct Kept {
        bool inSelection;
        SlotLines lines;
        std::unique_ptr<CellPatterns<Z>> patterns;
    };
    static std::vector<Kept> kept;
    constexpr size_t kKeep = 4 * kMostSlotKinds;
    auto it = std::find_if(kept.begin(), kept.end(),
                           [&](const Kept& k) { return k.inSelection == inSelection && k.lines == lines; });
    if (it != kept.end()) {
        std::rotate(it, it + 1, kept.end());
    } else {
        if (kept.size() == kKeep) kept.erase(kept.begin());
        kept.push_back(Kept{inSelection, lines,
                            std::make_unique<CellPatterns<Z>>(inSelection ? kSelection : kBlack, lines)});
    }
    return kept.back().patterns.get();
}

// What the repaint reads from the controls and the state.
struct View {
    int32_t width;  // bytes per row, 1 or more
    int32_t zoom;
    int32_t columnCount;
    int32_t rowLimit;
    bool invert;
    int64_t displacement;
    const uint8_t* data;
    int64_t size;
    int shift;  // pixels the picture is moved right
};

// The bytes one row of cells shows. Its byte slots run left to right across
// all columns, one byte's pitch apart from x = shift on: slot b shows place
// b % width of column b / width. Positions grow from slot to slot, so the
// slots fall into three runs: before the data, in it, and past its end.
struct RowBytes {
    // The same for every row of a repaint.
    const uint8_t* data;  // the loaded bytes, or nullptr
    int64_t size;
    int64_t columnBytes;  // positions from one column's first byte to the next's
    int width;            // slots per column
    int shift;
    int count;            // slots shown: in drawn columns and at least partly on the canvas
    int64_t lastOffset;   // position of the last slot shown less that of slot 0
    uint8_t flip;         // 0xFF when inverting: for a byte v, 255 - v is v ^ 0xFF
    // The row's own.
    int64_t first;  // position of slot 0
    int before;     // the value shown before the data: 0, or the row's y with nothing loaded
    int dataFrom;   // first slot at position 0 or more
    int endFrom;    // first slot past the end
};

// Byte position a slot shows.
inline int64_t Position(const RowBytes& row, int slot) {
    return row.first + slot / row.width * row.columnBytes + slot % row.width;
}

// The first slot at a position of `target` or more (count when none is).
int FirstSlotFrom(const RowBytes& row, int64_t target) {
    if (row.first >= target) return 0;
    if (row.first + row.lastOffset < target) return row.count;
    const int64_t distance = target - row.first;
    const int64_t column = distance / row.columnBytes, place = distance % row.columnBytes;
    return static_cast<int>(column * row.width + std::min<int64_t>(place, row.width));
}

// The layout of the rows of cells, worked out once per repaint.
RowBytes RowLayout(const View& v) {
    const int pitch = 8 * v.zoom;
    const int64_t rowsPerColumn = v.rowLimit / v.zoom + 1;
    // The column counter runs 1, 1 + zoom, ... up to columnCount.
    const int64_t columnsDrawn = v.columnCount < 1 ? 0 : (v.columnCount - 1) / v.zoom + 1;
    RowBytes row{};
    row.data = v.data;
    row.size = v.size;
    row.columnBytes = rowsPerColumn * v.width;
    row.width = v.width;
    row.shift = v.shift;
    row.count = static_cast<int>(std::min<int64_t>(columnsDrawn * v.width, (kW - v.shift + pitch - 1) / pitch));
    row.lastOffset = row.count > 0 ? Position(row, row.count - 1) : 0;  // first is 0 here
    row.flip = v.invert ? 0xFF : 0x00;
    return row;
}

// Points the layout at row of cells r, whose top lies at y.
void ShowRow(RowBytes& row, int64_t displacement, int64_t r, int y) {
    row.first = displacement + r * row.width;
    row.before = row.data ? 0 : y & 0xFF;
    row.dataFrom = FirstSlotFrom(row, 0);
    row.endFrom = std::max(row.dataFrom, FirstSlotFrom(row, row.size));
}

// What a row is painted from over one background: the patterns of each
// slot, and a pixel row of the background for the pixels beside the slots.
template <int Z>
struct SlotPatterns {
    const CellPatterns<Z>* const* of;  // slot by slot
    bool uniform;                      // every slot's are of[0]: the hot loop need not look them up
    const uint8_t* background;
};

// The pattern of one slot.
template <int Z>
const uint8_t* SlotPattern(SlotPatterns<Z> pats, const RowBytes& row, int slot) {
    const CellPatterns<Z>* own = pats.of[slot];
    if (slot < row.dataFrom) return own->cells[row.before];
    if (slot < row.endFrom) return own->cells[row.data[Position(row, slot)] ^ row.flip];
    return own->cells[CellPatterns<Z>::kPastEnd];
}

// Copies the patterns of two neighbouring slots. At zoom 1 a pattern is 24
// bytes, and the pair goes out as three 16-byte stores instead of four:
// stores are what the repaint spends its time on.
template <int kBytes>
inline void CopyPatternPair(uint8_t* dst, const uint8_t* a, const uint8_t* b) {
    if constexpr (kBytes == 24) {
        typedef uint64_t Halves __attribute__((vector_size(16)));
        uint64_t aTail, bHead;
        std::memcpy(&aTail, a + 16, 8);
        std::memcpy(&bHead, b, 8);
        const Halves middle = {aTail, bHead};
        std::memcpy(dst, a, 16);
        std::memcpy(dst + 16, &middle, 16);
        std::memcpy(dst + 32, b + 8, 16);
    } else {
        std::memcpy(dst, a, kBytes);
        std::memcpy(dst + kBytes, b, kBytes);
    }
}

// Paints n slots showing the bytes src[0], src[step], src[2 x step], ...,
// slot i from pats[i], or all from pats[0] when they are alike; returns
// where the next slot goes. The hot loop of the repaint.
template <int Z, bool kAlike>
uint8_t* PaintRun(uint8_t* dst, const CellPatterns<Z>* const* pats, const uint8_t* src, int n, int64_t step,
                  uint8_t flip) {
    constexpr int kBytes = CellPatterns<Z>::kBytes;
    const auto cells = [&](int i) { return (kAlike ? pats[0] : pats[i])->cells; };
    int64_t at = 0;
    for (int i = 1; i < n; i += 2, at += 2 * step, dst += 2 * kBytes)
        CopyPatternPair<kBytes>(dst, cells(i - 1)[src[at] ^ flip], cells(i)[src[at + step] ^ flip]);
    if (n % 2 == 1) {
        std::memcpy(dst, cells(n - 1)[src[at] ^ flip], kBytes);
        dst += kBytes;
    }
    return dst;
}

// The same, choosing the loop for alike or differing slots.
template <int Z>
uint8_t* PaintRun(uint8_t* dst, SlotPatterns<Z> pats, int from, const uint8_t* src, int n, int64_t step,
                  uint8_t flip) {
    if (pats.uniform) return PaintRun<Z, true>(dst, pats.of + from, src, n, step, flip);
    return PaintRun<Z, false>(dst, pats.of + from, src, n, step, flip);
}

// Paints the slots from..to-1, all of them in the data, from dst on: a run
// per column, or one run across the columns when each holds one byte.
template <int Z>
void PaintDataSlots(uint8_t* dst, SlotPatterns<Z> pats, const RowBytes& row, int from, int to) {
    int64_t position = Position(row, from);
    if (row.width == 1) {
        PaintRun<Z>(dst, pats, from, row.data + position, to - from, row.columnBytes, row.flip);
        return;
    }
    int place = from % row.width;
    for (int b = from; b < to;) {
        const int n = std::min(row.width - place, to - b);
        dst = PaintRun<Z>(dst, pats, b, row.data + position, n, 1, row.flip);
        b += n;
        position += row.columnBytes - place;
        place = 0;
    }
}

// Paints the whole slots from..to-1 from dst on: the three runs in turn.
template <int Z>
void PaintSlots(uint8_t* dst, SlotPatterns<Z> pats, const RowBytes& row, int from, int to) {
    constexpr int kBytes = CellPatterns<Z>::kBytes;
    int b = from;
    for (const int end = std::min(to, row.dataFrom); b < end; ++b, dst += kBytes)
        std::memcpy(dst, pats.of[b]->cells[row.before], kBytes);
    const int dataEnd = std::min(to, row.endFrom);
    if (b < dataEnd) {
        PaintDataSlots<Z>(dst, pats, row, b, dataEnd);
        dst += (dataEnd - b) * kBytes;
        b = dataEnd;
    }
    for (; b < to; ++b, dst += kBytes) std::memcpy(dst, pats.of[b]->cells[CellPatterns<Z>::kPastEnd], kBytes);
}

// Paints pixels x0..x1-1 of one pixel row of a row of cells over one
// background: the slots in the range, cut where the range cuts them, and
// the background beside them.
template <int Z>
void PaintRange(uint8_t* line, SlotPatterns<Z> pats, const RowBytes& row, int x0, int x1) {
    constexpr int kPitch = CellPatterns<Z>::kPitch;
    const int start = std::clamp(row.shift, x0, x1);
    const int end = std::clamp(row.shift + row.count * kPitch, x0, x1);
    const uint8_t* background = pats.background;
    if (start > x0) std::memcpy(line + x0 * 3, background + x0 * 3, (start - x0) * 3);
    if (x1 > end) std::memcpy(line + end * 3, background + end * 3, (x1 - end) * 3);
    if (start >= end) return;
    int x = start, b = (x - row.shift) / kPitch;
    if (const int into = (x - row.shift) % kPitch; into > 0) {  // a slot cut on its left
        const int n = std::min(kPitch - into, end - x);
        std::memcpy(line + x * 3, SlotPattern(pats, row, b) + into * 3, n * 3);
        x += n;
        ++b;
    }
    const int whole = (end - x) / kPitch;
    PaintSlots<Z>(line + x * 3, pats, row, b, b + whole);
    x += whole * kPitch;
    if (x < end) std::memcpy(line + x * 3, SlotPattern(pats, row, b + whole), (end - x) * 3);  // cut on its right
}

// Colour of a grid line at coordinate `at` of a grid of spacing `step`: in
// the full viewer green on multiples of the spacing squared, red elsewhere.
Rgb LineColour(int at, int step, bool major) { return major && at % (step * step) == 0 ? kGreen : kRed; }

// The grid as the repaint draws it: column lines at x = fromX, fromX + gx,
// ... on every pixel row over the cells, then row lines at y = fromY,
// fromY + gy, ... across the canvas over everything.
struct Grid {
    bool on;
    bool major;  // the full viewer's: green lines on multiples of the spacing squared
    int fromX, gx, fromY, gy;
    int columns;              // column lines on the canvas
    uint8_t inkRow[kStride];  // one pixel row of them, set where they lie

    Grid(bool on, GridStyle style, int gx, int gy)
        : on(on), major(style == GridWithMajorLines), fromX(major ? gx : 0), gx(gx), fromY(major ? gy : 0), gy(gy) {
        columns = on ? (kW - 1 - fromX) / gx + 1 : 0;
        for (int i = 0; i < columns; ++i) PutRgb(inkRow + X(i) * 3, LineColour(X(i), gx, major));
    }
    int X(int i) const { return fromX + i * gx; }
    bool HasRowLine(int y) const { return on && y >= fromY && y % gy == 0; }
    // Column lines one pixel apart cover every pixel from the first on.
    int CellsVisibleTo() const { return on && gx == 1 ? fromX : kW; }

    // Draws the column lines into one pixel row.
    void StampColumnLines(uint8_t* line) const {
        if (gx == 1)  // every pixel from the first line on: one copy
            std::memcpy(line + fromX * 3, inkRow + fromX * 3, (kW - fromX) * 3);
        else
            for (int i = 0; i < columns; ++i) std::memcpy(line + X(i) * 3, inkRow + X(i) * 3, 3);
    }
};

// The patterns every slot of a row is painted from, over black and over the
// selection colour, for one repaint. Where few kinds of slots differ in the
// column lines that cross them (the lines repeat with the bytes, as at
// spacing 8), each kind has patterns with its lines in them, and the lines
// cost no stores of their own; otherwise the lines go in after the cells.
template <int Z>
struct RowPatterns {
    static constexpr int kMaxSlots = kW / 8 + 2;
    const CellPatterns<Z>* plain[kMaxSlots];
    const CellPatterns<Z>* selected[kMaxSlots];
    bool linesInPatterns = false;
    bool uniform = true;
    // With the lines in the patterns, the background rows carry them too.
    uint8_t plainGround[kStride], selectedGround[kStride];

    // Sorts the slots into kinds by the column lines that cross them;
    // false when there are more kinds than patterns are kept for.
    static bool SortByLines(const Grid& grid, int shift, SlotLines* kinds, int& kindCount, int* kindOf) {
        constexpr int kPitch = CellPatterns<Z>::kPitch;
        SlotLines lines[kMaxSlots] = {};
        for (int i = 0; i < grid.columns; ++i) {
            const int x = grid.X(i) - shift;
            const bool green = LineColour(grid.X(i), grid.gx, grid.major) == kGreen;
            if (x >= 0) lines[x / kPitch][x % kPitch] = green ? kGreenLine : kRedLine;
        }
        kindCount = 0;
        for (int b = 0; b < kMaxSlots; ++b) {
            kindOf[b] = static_cast<int>(std::find(kinds, kinds + kindCount, lines[b]) - kinds);
            if (kindOf[b] < kindCount) continue;
            if (kindCount == kMostSlotKinds) return false;
            kinds[kindCount++] = lines[b];
        }
        return true;
    }

    SlotPatterns<Z> OverBlack() const { return {plain, uniform, linesInPatterns ? plainGround : plain[0]->background}; }
    SlotPatterns<Z> OverSelection() const {
        return {selected, uniform, linesInPatterns ? selectedGround : selected[0]->background};
    }

    RowPatterns(const Grid& grid, int shift) {
        // Kind 0 has no lines; at spacing 1 the lines cover the cells anyway.
        SlotLines kinds[kMostSlotKinds] = {};
        int kindCount = 1, kindOf[kMaxSlots] = {};
        linesInPatterns = grid.on && grid.gx > 1 && SortByLines(grid, shift, kinds, kindCount, kindOf);
        if (!linesInPatterns) {
            kindCount = 1;
            kinds[0] = SlotLines{};
            std::fill(kindOf, kindOf + kMaxSlots, 0);
        }
        const CellPatterns<Z>* plainOf[kMostSlotKinds];
        const CellPatterns<Z>* selectedOf[kMostSlotKinds];
        for (int k = 0; k < kindCount; ++k) {
            plainOf[k] = PatternsWith<Z>(false, kinds[k]);
            selectedOf[k] = PatternsWith<Z>(true, kinds[k]);
        }
        for (int b = 0; b < kMaxSlots; ++b) {
            plain[b] = plainOf[kindOf[b]];
            selected[b] = selectedOf[kindOf[b]];
        }
        uniform = kindCount == 1;
        if (!linesInPatterns) return;
        std::memcpy(plainGround, PatternsWith<Z>(false, SlotLines{})->background, kStride);
        std::memcpy(selectedGround, PatternsWith<Z>(true, SlotLines{})->background, kStride);
        grid.StampColumnLines(plainGround);
        grid.StampColumnLines(selectedGround);
    }
};

// Paints pixels 0..end-1 of one pixel row of a row of cells: over the
// selection colour inside the box, over black elsewhere.
template <int Z>
void PaintLine(uint8_t* line, const RowBytes& row, const RowPatterns<Z>& pats, const Box& box, bool inBox, int end) {
    if (!inBox) return PaintRange<Z>(line, pats.OverBlack(), row, 0, end);
    const int x0 = std::min(box.x0, end), x1 = std::min(box.x1, end);
    PaintRange<Z>(line, pats.OverBlack(), row, 0, x0);
    PaintRange<Z>(line, pats.OverSelection(), row, x0, x1);
    PaintRange<Z>(line, pats.OverBlack(), row, x1, end);
}

// The bit picture over the black background and the selection box, with
// the grid's column lines over it (in the patterns, or drawn into each
// painted row): pixel row by pixel row, the lower pixel rows of a row of
// cells copied from the one above where the box does not tell them apart.
// Rows that a row line will cover are left as they are.
template <int Z>
void DrawBits(CanvasImage& img, const View& v, const Box& box, const Grid& grid) {
    const int64_t rowsPerColumn = v.rowLimit / Z + 1;
    const int rowsShown = static_cast<int>(std::min<int64_t>(rowsPerColumn, (kH - 1) / Z + 1));
    const int cellsTo = grid.CellsVisibleTo();
    const RowPatterns<Z> pats(grid, v.shift);
    RowBytes row = RowLayout(v), none = row;
    none.count = 0;  // the background alone: gaps and below the last row of cells
    bool aboveDone = false;
    for (int y = 0; y < kH; ++y) {
        const bool cells = y / Z < rowsShown && y % Z < CellSize(Z);
        if (cells && y % Z == 0) ShowRow(row, v.displacement, y / Z, y);
        uint8_t* line = img.pixels + y * kStride;
        const bool inBox = box.HasRow(y);
        if (grid.HasRowLine(y)) {
            aboveDone = false;
        } else if (aboveDone && cells && y % Z > 0 && inBox == box.HasRow(y - 1)) {
            std::memcpy(line, line - kStride, kStride);
        } else {
            PaintLine<Z>(line, cells ? row : none, pats, box, inBox, cellsTo);
            if (grid.on && !pats.linesInPatterns) grid.StampColumnLines(line);
            aboveDone = true;
        }
    }
}

// A pixel row all of one colour, made once.
template <uint8_t R, uint8_t G, uint8_t B>
const uint8_t* SolidRow() {
    static const uint8_t* row = [] {
        uint8_t* p = new uint8_t[kStride];
        for (int x = 0; x < kW; ++x) PutRgb(p + x * 3, Rgb{R, G, B});
        return p;
    }();
    return row;
}

// Draws the grid's row lines across the canvas.
void DrawRowLines(CanvasImage& img, const Grid& grid) {
    for (int y = grid.fromY; y < kH; y += grid.gy) {
        const bool green = LineColour(y, grid.gy, grid.major) == kGreen;
        std::memcpy(img.pixels + y * kStride, green ? SolidRow<0, 255, 0>() : SolidRow<255, 0, 0>(), kStride);
    }
}

// The compact viewer's row labels: on every other row line from 0 on, the
// number of its pixel row times the width, at the picture's edge. Each label
// is drawn before its line and lies beneath the later lines and the next
// label (which is at least as wide), so only its rows up to the next label
// can show; the row lines go over them afterwards.
void DrawRowLabels(CanvasImage& img, const Grid& grid, const View& v) {
    for (int y = 0; y < kH; y += 2 * grid.gy)
        DrawTextRows(img, v.width * 8 * v.zoom, y, std::to_string(static_cast<int64_t>(y) * v.width), kGreen, kBlack,
                     y + 1, y + 2 * grid.gy);
}

// The selection box as the fill would cover it, cut to the canvas: a
// negative extent reaches left of or above the corner.
Box SelectionBox(const SnappedSelection& s) {
    if (s.selW == 0 || s.selH == 0) return Box{0, 0, 0, 0};
    const int64_t x0 = std::min<int64_t>(s.selX, int64_t{s.selX} + s.selW);
    const int64_t y0 = std::min<int64_t>(s.selY, int64_t{s.selY} + s.selH);
    Box b;
    b.x0 = static_cast<int>(std::clamp<int64_t>(x0, 0, kW));
    b.x1 = static_cast<int>(std::clamp<int64_t>(x0 + std::abs(int64_t{s.selW}), 0, kW));
    b.y0 = static_cast<int>(std::clamp<int64_t>(y0, 0, kH));
    b.y1 = static_cast<int>(std::clamp<int64_t>(y0 + std::abs(int64_t{s.selH}), 0, kH));
    if (b.x0 >= b.x1 || b.y0 >= b.y1) return Box{0, 0, 0, 0};
    return b;
}

// The status bar's text for the selection.
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

    Box box{0, 0, 0, 0};
    if (program->hasSelection) {
        const SnappedSelection sel = SnapSelection(zoom);
        box = SelectionBox(sel);
        if (program->hasStatusBar) TkSetStatusText(SelectionReport(sel, zoom));
    }

    viewerState.bytesPerRow = TkScrollPosition(Ctl(WidthScroll));
    View v;
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
    v.shift = program->cellShift;

    const bool gridOn = TkChecked(Ctl(GridCheck));
    const Grid grid(gridOn, program->gridStyle, gx, gy);
    switch (zoom) {
        case 2: DrawBits<2>(img, v, box, grid); break;
        case 8: DrawBits<8>(img, v, box, grid); break;
        default: DrawBits<1>(img, v, box, grid); break;
    }

    std::string title = "Vexelor, sprsize:" + std::to_string(v.width);
    if (gridOn) {
        title += ", grid:" + std::to_string(gx) + "x" + std::to_string(gy);
        if (program->gridStyle == GridWithRowLabels) DrawRowLabels(img, grid, v);
        DrawRowLines(img, grid);
    }
    if (Ctl(DispField) >= 0) TkSetText(Ctl(DispField), std::to_string(v.displacement));
    title += " disp:" + std::to_string(v.displacement) + " zoom:" + std::to_string(zoom);
    TkSetTitle(title);
    TkEndDrawing();
}
