// The toolkit layer: everything the viewer may ask of a window system.
//
// Controls and menu items are addressed by small integer ids chosen by the
// program. The layer keeps the value of every control itself and applies the
// rules the viewer relies on:
//   - a scroll bar's position always lies in min .. max - max(page - 1, 0);
//   - a spin box's value always lies in its range; a numeric spin box shows
//     its value as its text;
//   - changes the program makes raise no event and run no bound procedure;
//   - the wait blocks until one message arrives and returns it.
// A back end (FLTK today) only shows the controls and reports what the user
// did; see backend.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/canvas.h"

enum ControlKind {
    KindCanvas,          // drawing surface that reports mouse events
    KindHScroll,         // horizontal scroll bar
    KindVScroll,         // vertical scroll bar
    KindCheckBox,
    KindLabel,           // right-aligned text
    KindSpinBox,         // editable text with two arrow buttons; text kept apart from value
    KindNumericSpinBox,  // the same, showing its value as its text
    KindDigitsField,     // one-line text that takes only 0..9 when typed into
    KindButton,
};

// Event types carried by a control event.
enum ControlEvent {
    EventChanged,      // value changed (scroll step, check toggle, spin arrow step, button)
    EventTextChanged,  // the user typed into a text part
    EventDragEnd,      // a scroll bar thumb drag ended
    EventLeftDown,     // canvas: left button pressed
    EventLeftUp,       // canvas: left button released
    EventMouseMove,    // canvas: pointer moved (also while the canvas holds the mouse)
    EventRightClick,   // canvas: right button pressed and released over it
};

// Mouse button state bits carried by canvas events.
enum { ButtonLeft = 1, ButtonRight = 2, ButtonMiddle = 4 };

enum MessageKind { MessageDrop, MessageControl, MessageMenu, MessageClose, MessageOther };

enum MenuEntryKind { EntryDropDown, EntryItem, EntrySeparator, EntryBarItem };

// One entry of a menu bar description: a drop-down title, an item of the
// drop-down opened last, a separator in it, or a command on the bar itself.
struct MenuEntry {
    MenuEntryKind kind;
    int id;
    const char* text;
};

enum ArrowKey { KeyLeft, KeyRight, KeyUp, KeyDown };

// --- Main window -----------------------------------------------------------

// Opens the fixed-size main window centred on the screen; false if impossible.
bool TkOpenMainWindow(const char* title, int innerWidth, int innerHeight);
void TkSetTitle(const std::string& title);
std::string TkTitle();
bool TkCreateMenuBar(const MenuEntry* entries, int count);
void TkEnableMenuItem(int id, bool enabled);
bool TkMenuItemEnabled(int id);
void TkAcceptDrops();
void TkCreateStatusBar();
void TkSetStatusText(const std::string& text);
std::string TkStatusText();

// --- Controls ----------------------------------------------------------------

void TkCreateControl(int id, ControlKind kind, int x, int y, int w, int h, const char* text);
// Binds a procedure to all events of a control: it runs the moment the control
// raises an event, before the event reaches the wait.
void TkBindProcedure(int id, void (*procedure)());

int TkScrollPosition(int id);
int TkScrollMinimum(int id);
int TkScrollMaximum(int id);
int TkScrollPage(int id);
void TkSetScrollPosition(int id, int position);
void TkSetScrollMinimum(int id, int minimum);
void TkSetScrollMaximum(int id, int maximum);
void TkSetScrollPage(int id, int page);

int TkSpinValue(int id);
int TkSpinMinimum(int id);
int TkSpinMaximum(int id);
void TkSetSpinValue(int id, int value);
void TkSetSpinMinimum(int id, int minimum);
void TkSetSpinMaximum(int id, int maximum);

bool TkChecked(int id);
void TkSetChecked(int id, bool checked);

// Text of a spin box, text field or label.
std::string TkText(int id);
void TkSetText(int id, const std::string& text);
void TkMoveCursorToEnd(int id);

// --- Canvas ------------------------------------------------------------------

// Drawing goes into the canvas image; ending it shows the image in one piece.
CanvasImage& TkBeginDrawing();
void TkEndDrawing();
const CanvasImage& TkCanvasPicture();

// --- The wait ----------------------------------------------------------------

// Blocks until the next message for the window and returns its kind. The
// details of that message stay readable until the next wait.
MessageKind TkWait();
int TkMessageId();               // control or menu id
ControlEvent TkEventType();      // control events
int TkEventX();                  // canvas events: pointer position
int TkEventY();
int TkEventButtons();            // canvas events: ButtonLeft | ButtonRight | ButtonMiddle
const std::string& TkDroppedPaths();  // drop: one path per line, joined by '\n'

// State of an arrow key as a 16-bit value: 0x8000 while it counts as down,
// 0x0001 when it was pressed since the previous query, which this clears.
int16_t TkKeyState(ArrowKey key);

// --- Dialogs -----------------------------------------------------------------

// Patterns are "Name|*.ext|Name|*.*" pairs. Both return "" when cancelled.
std::string TkOpenFileDialog(const char* title, const std::string& defaultName, const char* patterns);
std::string TkSaveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                             int* chosenPattern);
// Returns the typed text, or "" when cancelled.
std::string TkInputBox(const char* title, const char* prompt, const char* initialText);
void TkMessageBox(const std::string& title, const std::string& text);
// Yes/No question; closing or Escape answers No.
bool TkAskYesNo(const std::string& title, const std::string& text);

// --- Process -----------------------------------------------------------------

// Releases windows and images, then ends the process with the code.
[[noreturn]] void TkEndProcess(int code);
