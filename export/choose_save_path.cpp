// The save-dialog flow that every export with a dialog goes through.
#include <string>

#include "export/export.h"
#include "platform/files.h"
#include "platform/toolkit.h"
#include "viewer/viewer_state.h"

namespace {

// The file-name part of a path: what follows its last "\" or "/". Paths may
// come from either convention (a drop, a dialog, a command line).
std::string FileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

// Asks for the target of an export; false when nothing must be written.
bool ChooseSavePath(const char* dialogTitle, const char* patterns, const char* extension,
                    const char* questionTitle, std::string& target) {
    // Taken before the dialog: the caller's target may be currentPath itself.
    const std::string proposed = CurrentDirectory() + kPathSeparator + FileNamePart(viewerState.currentPath);
    int chosenPattern = 0;
    target = TkSaveFileDialog(dialogTitle, proposed, patterns, &chosenPattern);
    if (target.empty()) return false;
    if (chosenPattern == 0) target += extension;  // also over a name that has it already
    // Any existing entry counts, empty files and folders too: asking costs
    // little, replacing unasked costs the user's file.
    if (FileSize(target) != -1 && !TkAskYesNo(questionTitle, "Overwrite this file? " + target)) return false;
    return true;
}
