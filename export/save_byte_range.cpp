// "Save binary..": a typed number of the loaded bytes, from the first byte
// shown on, as a raw file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "export/export.h"
#include "platform/files.h"
#include "platform/toolkit.h"
#include "viewer/parse_number.h"
#include "viewer/redraw.h"
#include "viewer/viewer_state.h"

namespace {

// Inverted bytes are staged in pieces of this size: large enough that the
// system sees few writes, small enough to need no buffer of the whole range.
constexpr int64_t kChunk = 1 << 20;

// Complements n bytes (255 - b is ~b for a byte), eight at a time: the
// byte-wise loop is not vectorised at -O2 and would double the export's time.
void Complement(uint8_t* out, const uint8_t* in, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        word = ~word;
        std::memcpy(out + i, &word, 8);
    }
    for (; i < n; ++i) out[i] = static_cast<uint8_t>(255 - in[i]);
}

// Writes the bytes, complemented; stops at the first failed write, which the
// writer keeps for the commit to report.
void WriteInverted(SafeWriter* writer, const uint8_t* bytes, int64_t count) {
    std::vector<uint8_t> staged(static_cast<size_t>(std::min(count, kChunk)));
    for (int64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min(count - done, kChunk));
        Complement(staged.data(), bytes + done, n);
        if (!SafeWrite(writer, staged.data(), n)) return;
        done += static_cast<int64_t>(n);
    }
}

// Writes the bytes as they are; stops at the first failed write.
void WritePlain(SafeWriter* writer, const uint8_t* bytes, int64_t count) {
    for (int64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min(count - done, kChunk));
        if (!SafeWrite(writer, bytes + done, n)) return;
        done += static_cast<int64_t>(n);
    }
}

// Writes count bytes of the data from start on into a new file at the path.
// Only positions inside the data are written: the range is cut to the data
// rather than read past either end of it. False with the reason on failure;
// an existing file then stays as it was.
bool WriteRange(const std::string& path, int64_t start, int64_t count, bool invert, std::string* reason) {
    const int64_t from = std::max<int64_t>(start, 0);
    const int64_t to = std::min<int64_t>(start + count, viewerState.fileSize);
    SafeWriter* writer = BeginSafeWrite(path, reason);
    if (!writer) return false;
    if (to > from) {
        const uint8_t* bytes = viewerState.fileData + from;
        if (invert)
            WriteInverted(writer, bytes, to - from);
        else
            WritePlain(writer, bytes, to - from);
    }
    return CommitSafeWrite(writer, reason);
}

}  // namespace

// Asks for a count and a target and writes that many bytes from the first
// byte shown, complemented while the bits are shown inverted.
void SaveByteRange() {
    if (!viewerState.fileData) {
        TkMessageBox("Title", "1st load file!");
        return;
    }
    const int32_t count = ParseNumber32(TkInputBox("Title", "size of the file", "0000"));
    if (count < 1) return;
    std::string binPath;
    if (!ChooseSavePath("Save binary file", "Binary|*.bin|All Files|*.*", ".bin", "save binary", binPath)) return;
    const int64_t start = Displacement();
    const bool invert = TkChecked(Ctl(InvertCheck));
    std::string reason;
    if (!WriteRange(binPath, start, count, invert, &reason))
        TkMessageBox("save binary", "Cannot save " + binPath + ": " + reason);
}
