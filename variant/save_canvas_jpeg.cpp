// "Save image.." of the compact viewer: the canvas picture as a JPEG file.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "export/export.h"
#include "platform/toolkit.h"
#include "variant/compact_viewer.h"
#include "variant/jpeg_writer.h"
#include "viewer/viewer_state.h"

namespace {

// The quality every save uses: 70.
constexpr int kQualityLevel = 7;

}  // namespace

// Saves what the canvas shows now, unrepainted, to a file the user picks.
void SaveCanvasJpeg() {
    if (!ChooseSavePath("Save jpg Image...", "JPEG Images|*.jpg|All Files|*.*", ".jpg", "CanvasGadget",
                        viewerState.currentPath))
        return;
    std::unique_ptr<CanvasImage> image(new (std::nothrow) CanvasImage);
    if (!image) return;  // no room for the offscreen copy: nothing written, nothing said
    std::memcpy(image->pixels, TkCanvasPicture().pixels, sizeof image->pixels);
    std::string reason;
    if (!WriteJpeg(image->pixels, CanvasImage::kHeight, CanvasImage::kWidth, CanvasImage::kStride,
                   viewerState.currentPath, kQualityLevel, &reason))
        TkMessageBox("CanvasGadget", "Cannot save image: " + viewerState.currentPath + ": " + reason);
}
