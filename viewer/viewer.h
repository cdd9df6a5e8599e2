// The viewer's procedures: start-up, the event loop, loading, and the
// handlers of the controls, keys, menu and canvas.
#pragma once

#include <string>

#include "platform/toolkit.h"
#include "viewer/viewer_state.h"

// Start-up up to the first repaint: state, window, menu, controls, drops,
// status bar, the command-line file. False when the window cannot be opened.
bool StartViewer(const ProgramDescription& description, const std::string& commandLineFile);
// Runs until a close request or "Quit".
void RunEventLoop();
// Hands one message, already taken by the wait, to its handler.
void DispatchMessage(MessageKind kind);
// Releases the data block.
void EndViewer();
// The whole program: start-up, loop, shutdown; returns the exit code.
int RunViewer(const ProgramDescription& description, int argc, char** argv);

// Loads the file whole as the viewer's data and resets the row scroll bar;
// ends the program when the file exists but cannot be opened.
void OpenDataFile(const std::string& path);

// Handlers.
void OnWidthScroll();
void OnOffsetSpin();
void OnGridSpin(GadgetId box);
void OnDispGo();
void OnMenuOpen();
void SetZoom(int zoom);
void PollArrowKeys();
void OnCanvasEvent();
