// "Save selected": the selected cells of the canvas, read back as bits and
// written eight to a byte into the first free numbered file after the
// current path.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "export/export.h"
#include "platform/canvas.h"
#include "platform/files.h"
#include "platform/toolkit.h"
#include "viewer/redraw.h"
#include "viewer/viewer_state.h"

namespace {

constexpr int kNumbers = 1000;  // .000 to .999
constexpr const char* kTitle = "Save selected";
// Packed rows are handed to the writer in pieces of about this size.
constexpr size_t kChunk = 1 << 16;

// The selection in cells as the export samples it, worked out from the raw
// corners with the zoom in force now.
struct SampleGrid {
    int64_t originX, originY;  // top-left pixel of the cell the drag began in
    int64_t lastColumn;        // W: samples run i = 0 .. W
    int64_t lastRow;           // H: samples run j = 0 .. H
    int64_t rowBytes;          // B: whole bytes of samples per row
    int32_t zoom;
};

// The path followed by "." and the number filled to three digits.
std::string NumberedName(const std::string& base, int n) {
    char suffix[16];  // room for any int, though n stays below 1000
    std::snprintf(suffix, sizeof suffix, ".%03d", n);
    return base + suffix;
}

// The first numbered name with nothing in it (missing, empty or a folder);
// false when every number holds a file with bytes.
bool FindFreeName(const std::string& base, std::string* name) {
    for (int n = 0; n < kNumbers; ++n) {
        std::string candidate = NumberedName(base, n);
        if (FileSize(candidate) <= 0) {
            *name = candidate;
            return true;
        }
    }
    return false;
}

// Quotients truncate toward zero, as C++ division does; the differences are
// taken in 64 bits so that no corner pair can overflow.
SampleGrid MeasureSelection() {
    const ViewerState& s = viewerState;
    SampleGrid g;
    g.zoom = s.zoom;
    g.lastColumn = (static_cast<int64_t>(s.selEndX) - s.selStartX) / s.zoom;
    g.lastRow = (static_cast<int64_t>(s.selEndY) - s.selStartY) / s.zoom;
    g.originX = static_cast<int64_t>(s.zoom) * (s.selStartX / s.zoom);
    g.originY = static_cast<int64_t>(s.zoom) * (s.selStartY / s.zoom);
    g.rowBytes = g.lastColumn < 0 ? 0 : (g.lastColumn + 1) / 8;
    return g;
}

// Packs sample row j into B bytes, first sample in bit 7. Only samples on the
// canvas are read; those left or right of it, and whole rows above or below
// it, give 0.
void PackRow(const CanvasImage& img, const SampleGrid& g, int64_t j, uint8_t* out) {
    std::memset(out, 0, static_cast<size_t>(g.rowBytes));
    const int64_t y = g.originY + j * g.zoom;
    if (y < 0 || y >= CanvasImage::kHeight) return;
    const int64_t samples = g.rowBytes * 8;
    // The samples whose x lies in 0 .. 640.
    int64_t first = 0;
    if (g.originX < 0) first = (-g.originX + g.zoom - 1) / g.zoom;
    const int64_t end =
        g.originX >= CanvasImage::kWidth
            ? 0
            : std::min<int64_t>(samples, (CanvasImage::kWidth - g.originX + g.zoom - 1) / g.zoom);
    if (first >= end) return;
    const uint8_t* row = img.pixels + y * CanvasImage::kStride;
    const int64_t step = static_cast<int64_t>(g.zoom) * 3;
    const uint8_t* p = row + (g.originX + first * g.zoom) * 3;
    // Branch-free: a pixel is white exactly when the AND of its channels is 255.
    for (int64_t i = first; i < end; ++i, p += step) {
        const unsigned white = (p[0] & p[1] & p[2]) == 255;
        out[i >> 3] = static_cast<uint8_t>(out[i >> 3] | (white << (7 - (i & 7))));
    }
}

// Writes the H + 1 packed rows of the canvas as it is now into a new file at
// the path; an existing (empty) file is replaced only once all is written.
// False with the reason; nothing is left behind then.
bool WriteSelection(const std::string& path, const SampleGrid& g, std::string* reason) {
    SafeWriter* writer = BeginSafeWrite(path, reason);
    if (!writer) return false;
    const CanvasImage& img = TkCanvasPicture();
    if (g.rowBytes > 0) {
        std::vector<uint8_t> pending;
        pending.reserve(kChunk + static_cast<size_t>(g.rowBytes));
        bool ok = true;
        for (int64_t j = 0; ok && j <= g.lastRow; ++j) {
            const size_t at = pending.size();
            pending.resize(at + static_cast<size_t>(g.rowBytes));
            PackRow(img, g, j, pending.data() + at);
            if (pending.size() >= kChunk) {
                ok = SafeWrite(writer, pending.data(), pending.size());
                pending.clear();
            }
        }
        if (ok) SafeWrite(writer, pending.data(), pending.size());
    }
    return CommitSafeWrite(writer, reason);  // reports a failed write as well
}

}  // namespace

// Samples the selected cells of the canvas with the grid hidden, writes them
// as packed bit rows to the first free numbered file and shows the grid
// again. A file that cannot be written is reported, never left half done.
void SaveSelectionBits() {
    const int grid = Ctl(GridCheck);
    const bool gridShown = TkChecked(grid);
    TkSetChecked(grid, false);
    Redraw();

    std::string message;
    std::string path;
    if (!FindFreeName(viewerState.currentPath, &path)) {
        message = "Cannot save the selection: " + NumberedName(viewerState.currentPath, 0) + " to " +
                  NumberedName(viewerState.currentPath, kNumbers - 1) + " are all taken.";
    } else {
        std::string reason;
        if (!WriteSelection(path, MeasureSelection(), &reason)) message = "Cannot save " + path + ": " + reason;
    }

    TkSetChecked(grid, gridShown);
    Redraw();
    if (!message.empty()) TkMessageBox(kTitle, message);
}
