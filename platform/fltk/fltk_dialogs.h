// Modal dialogs of the FLTK back end.
#pragma once

#include <string>

// A file dialog on FLTK's own chooser. Patterns are "Name|*.ext|..." pairs;
// the start is a path or a bare name (in the working directory). Returns the
// chosen path, "" when cancelled, and which pattern was selected.
std::string RunFileChooser(const char* title, const std::string& start, const char* patterns, int* chosenPattern);
// Returns the typed text, "" when cancelled.
std::string RunInputBox(const char* title, const char* prompt, const char* initialText);
void RunMessageBox(const std::string& title, const std::string& text);
// Escape and the close box answer No.
bool RunYesNo(const std::string& title, const std::string& text);
