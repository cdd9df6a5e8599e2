// Modal dialogs of the Win32 back end. Texts are UTF-8; every dialog is
// owned by (and disables) the window given.
#pragma once

#include <windows.h>

#include <string>

// The system's open dialog: an existing folder is required, a missing file
// name accepted. Patterns are "Name|*.ext|..." pairs. "" when cancelled.
std::string RunOpenDialog(HWND owner, const char* title, const std::string& defaultName, const char* patterns);
// The system's save dialog: the first pattern preselected, no extension added,
// the working directory left as it was. The start is a path (folder and
// proposed name). Returns the chosen path ("" when cancelled) and the index
// of the pattern selected when it closed.
std::string RunSaveDialog(HWND owner, const char* title, const std::string& start, const char* patterns,
                          int* chosenPattern);
// A small dialog with a prompt, a one-line field holding the initial text
// (selected) and OK / Cancel. Returns the text, "" when cancelled.
std::string RunInputDialog(HWND owner, const char* title, const char* prompt, const char* initialText);
// Message boxes without an icon.
void RunMessageBox(HWND owner, const std::string& title, const std::string& text);
bool RunYesNo(HWND owner, const std::string& title, const std::string& text);
