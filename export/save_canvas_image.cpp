// "Save image..": the canvas, exactly as last painted, as a PNG file.
#include <cstring>
#include <new>
#include <string>

#include "export/export.h"
#include "export/png_writer.h"
#include "platform/files.h"
#include "platform/toolkit.h"
#include "viewer/viewer_state.h"

namespace {

// Encodes the picture in place of the file at the path; the old file stays
// untouched unless the new one is complete. False with the reason.
bool WritePngFile(const std::string& path, const CanvasImage& picture, std::string* reason) {
    SafeWriter* writer = BeginSafeWrite(path, reason);
    if (!writer) return false;
    if (!WriteCanvasPng(SafeWriterStream(writer), picture, kCanvasPngSettings)) {
        *reason = "the image could not be encoded";  // unless a failed write tells more
        AbortSafeWrite(writer, reason);
        return false;
    }
    return CommitSafeWrite(writer, reason);
}

}  // namespace

// Asks for the target and writes the canvas picture there as PNG.
void SaveCanvasImage() {
    if (!ChooseSavePath("Save PNG Image AS...", "PNG Images|*.png|All Files|*.*", ".png", "CanvasGadget",
                        viewerState.currentPath))
        return;
    // The picture is taken as it is on screen, without a repaint.
    CanvasImage* offscreen = new (std::nothrow) CanvasImage;
    if (!offscreen) return;
    std::memcpy(offscreen->pixels, TkCanvasPicture().pixels, sizeof offscreen->pixels);
    std::string reason;
    if (!WritePngFile(viewerState.currentPath, *offscreen, &reason))
        TkMessageBox("CanvasGadget", "Cannot save image: " + viewerState.currentPath + ": " + reason);
    delete offscreen;
}
