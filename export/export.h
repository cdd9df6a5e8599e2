// The exports: the save-dialog flow, the canvas image, a byte range and the
// selection as packed bit rows.
#pragma once

#include <string>

// The save-dialog flow shared by the exports: proposes the file-name part of
// the current path, shows the dialog, appends the extension when the first
// pattern was chosen, asks before replacing. The dialog's answer goes into
// target; true means go on and write.
bool ChooseSavePath(const char* dialogTitle, const char* patterns, const char* extension,
                    const char* questionTitle, std::string& target);

// "Save image..": the canvas as a PNG file.
void SaveCanvasImage();
// "Save binary..": a typed number of bytes from the first byte shown.
void SaveByteRange();
// "Save selected": the selection re-packed as bit rows into a numbered file.
void SaveSelectionBits();
