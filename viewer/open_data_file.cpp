// Loading a data file whole into the viewer.
#include <cstdint>

#include "platform/files.h"
#include "viewer/viewer.h"

namespace {

// The folder part of a path, up to and including its last separator; empty
// when it has none.
std::string FolderPart(const std::string& path) {
    size_t cut = path.rfind(kPathSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

void ResetRowScroll() {
    const int id = Ctl(RowScroll);
    TkSetScrollPosition(id, 0);
    TkSetScrollMaximum(id, viewerState.fileSize);
    TkSetScrollMinimum(id, 0);
    TkSetScrollPage(id, static_cast<int>(viewerState.fileSize / 481.0));
}

// Reads the opened file into a fresh block; false (with a message) when the
// file cannot be held.
bool ReadWhole(int handle, int64_t size) {
    if (size > INT32_MAX) {
        TkMessageBox("Information", "The file is too large: files of 2 GiB and more cannot be shown.");
        return false;
    }
    uint8_t* block = AllocateZeroedBlock(size);
    if (!block && size > 0) {
        TkMessageBox("Information", "The file is too large for the memory available.");
        return false;
    }
    viewerState.fileData = block;
    viewerState.fileSize = static_cast<int32_t>(size);
    ReadInto(handle, block, size);  // bytes that could not be read stay 0
    return true;
}

}  // namespace

void OpenDataFile(const std::string& given) {
    // A relative path names a file as seen from where the caller stood: pin
    // it down before the folder change below moves the current directory.
    const std::string path = AbsolutePath(given);
    SetCurrentDirectory(FolderPart(given));  // an empty or unreachable folder changes nothing

    ReleaseBlock(viewerState.fileData, viewerState.fileSize);
    viewerState.fileData = nullptr;
    viewerState.fileSize = 0;

    if (FileSize(path) != -1) {
        int64_t size = 0;
        const int handle = OpenForReading(path, &size);
        if (handle == kNotAFile) {
            // A pipe, socket or device chosen or dropped by mistake: its size
            // reads as 0 and it holds no bytes to show, so it loads as an
            // empty file would. Ending the program over it would cost the
            // user the whole view for a slip of the hand.
            TkSetScrollPosition(Ctl(WidthScroll), 0);
        } else {
            if (handle < 0) {
                TkMessageBox("Information", "Couldn't open the file!");
                TkEndProcess(1);
            }
            // The size comes from the opened file: it is the one read, even
            // if the path has been given to another file meanwhile.
            const bool read = ReadWhole(handle, size);
            CloseFile(handle);
            if (read) TkSetScrollPosition(Ctl(WidthScroll), 0);  // held at its minimum: width 1
        }
    }
    ResetRowScroll();
}
