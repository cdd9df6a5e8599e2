// What a window-system back end provides to the toolkit layer, and the calls
// through which it reports what the user did. The layer (toolkit.cpp) owns
// every control's value; a back end shows it and never decides it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/toolkit.h"

// The layer's record of one control.
struct ControlModel {
    bool exists = false;
    ControlKind kind = KindLabel;
    int x = 0, y = 0, w = 0, h = 0;
    std::string text;
    int minimum = 0, maximum = 0, page = 0, position = 0;  // scroll bars
    int value = 0;                                         // spin boxes (range in minimum/maximum)
    bool checked = false;
    void (*bound)() = nullptr;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool openWindow(const char* title, int innerWidth, int innerHeight) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual bool createMenuBar(const MenuEntry* entries, int count) = 0;
    virtual void setMenuItemEnabled(int id, bool enabled) = 0;
    virtual void acceptDrops() = 0;
    virtual void createStatusBar() = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void createControl(int id, const ControlModel& model) = 0;
    // The program changed a control: show the model as it now is, raising nothing.
    virtual void showControl(int id, const ControlModel& model) = 0;
    virtual void moveCursorToEnd(int id) = 0;
    virtual void presentCanvas(const CanvasImage& picture) = 0;
    // Blocks until at least one message has been handled; reports through the
    // Tk*User* calls below (anything that woke it and reported nothing counts
    // as an "other" message).
    virtual void waitOnce() = 0;
    virtual std::string openFileDialog(const char* title, const std::string& defaultName, const char* patterns) = 0;
    virtual std::string saveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                                       int* chosenPattern) = 0;
    virtual std::string inputBox(const char* title, const char* prompt, const char* initialText) = 0;
    virtual void messageBox(const std::string& title, const std::string& text) = 0;
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // The state of an arrow key as the system's own asynchronous query gives
    // it (0x8000 down, 0x0001 pressed since the last query, which this
    // clears), for systems that have one. Others answer false, and the layer
    // answers from the presses and releases reported to it.
    virtual bool queryKeyState(ArrowKey key, int16_t* state) {
        (void)key;
        (void)state;
        return false;
    }
    // Releases windows and images before the process ends with the code.
    virtual void shutdown(int code) = 0;
};

// Installs the back end; the layer does not own it.
void TkSetBackend(Backend* backend);
// Creates the window system's back end of this build and installs it; each
// back end (platform/fltk, platform/win32) defines it.
void InstallPlatformBackend();
// Forgets every control, menu state, message and key state (tests start afresh with it).
void TkReset();
const ControlModel& TkModel(int id);
// The lines by which automation reads a control's values ("text:", "scroll:",
// "check:", "spin:"), given the text its widget shows (nullptr when it has no
// text part): one format for every back end's published state.
std::string TkControlStateLines(int id, const char* shownText);

// --- Reports from the back end -------------------------------------------------
// Each queues one message for the wait (after running a bound procedure).

void TkUserScrolled(int id, int position);          // arrow, track or drag step
void TkUserEndedDrag(int id);                       // thumb released
void TkUserToggled(int id, bool checked);
void TkUserSteppedSpin(int id, int delta);          // arrow button or Up/Down key
void TkUserTyped(int id, const std::string& text);  // the text part's new text
void TkUserPressedButton(int id);
void TkUserCanvas(ControlEvent type, int x, int y, int buttons);
void TkUserMenu(int id);
void TkUserDropped(const std::string& paths);
void TkUserClosed();
void TkUserOther();
void TkUserArrowDown(ArrowKey key);
void TkUserArrowUp(ArrowKey key);
// While held (a thumb is being dragged) the wait does not return; bound
// procedures still run at once.
void TkHoldWait(bool held);
bool TkMessagePending();
