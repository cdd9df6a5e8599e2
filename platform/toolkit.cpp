#include "platform/toolkit.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>

#include "platform/backend.h"

namespace {

struct Message {
    MessageKind kind = MessageOther;
    int id = 0;
    ControlEvent type = EventChanged;
    int x = 0, y = 0, buttons = 0;
    std::string paths;
};

struct Layer {
    Backend* backend = nullptr;
    std::map<int, ControlModel> controls;
    std::map<int, bool> menuEnabled;
    std::deque<Message> queue;
    Message current;
    bool held = false;
    std::string title;
    std::string status;
    bool pressedSince[4] = {};
    bool down[4] = {};
    CanvasImage canvas{};
};

Layer& L() {
    static Layer* layer = new Layer;  // lives to exit; the canvas is large
    return *layer;
}

ControlModel& Model(int id) {
    static ControlModel none;
    auto it = L().controls.find(id);
    if (it == L().controls.end()) {
        none = ControlModel{};
        return none;
    }
    return it->second;
}

int ScrollUpper(const ControlModel& m) { return m.maximum - std::max(m.page - 1, 0); }

void ClampScroll(ControlModel& m) {
    m.position = std::min(m.position, ScrollUpper(m));
    m.position = std::max(m.position, m.minimum);
}

bool IsSpin(const ControlModel& m) { return m.kind == KindSpinBox || m.kind == KindNumericSpinBox; }

// Applies a new spin value within the range; a numeric box shows it as text.
void PutSpinValue(ControlModel& m, long value) {
    value = std::max<long>(value, m.minimum);
    value = std::min<long>(value, m.maximum);
    m.value = static_cast<int>(value);
    if (m.kind == KindNumericSpinBox) m.text = std::to_string(m.value);
}

void Show(int id) {
    ControlModel& m = Model(id);
    if (m.exists && L().backend) L().backend->showControl(id, m);
}

void Queue(Message msg) { L().queue.push_back(std::move(msg)); }

void QueueControl(int id, ControlEvent type) {
    Message msg;
    msg.kind = MessageControl;
    msg.id = id;
    msg.type = type;
    Queue(msg);
}

// A user action on a control: run its bound procedure at once, then queue it.
void Raise(int id, ControlEvent type) {
    ControlModel& m = Model(id);
    if (m.bound) m.bound();
    QueueControl(id, type);
}

int CanvasId() {
    for (auto& [id, m] : L().controls)
        if (m.kind == KindCanvas) return id;
    return -1;
}

}  // namespace

// --- Layer management -------------------------------------------------------------

void TkSetBackend(Backend* backend) { L().backend = backend; }

void TkReset() {
    Backend* b = L().backend;
    Layer& l = L();
    l.controls.clear();
    l.menuEnabled.clear();
    l.queue.clear();
    l.current = Message{};
    l.held = false;
    l.title.clear();
    l.status.clear();
    std::fill(std::begin(l.pressedSince), std::end(l.pressedSince), false);
    std::fill(std::begin(l.down), std::end(l.down), false);
    l.backend = b;
}

const ControlModel& TkModel(int id) { return Model(id); }

std::string TkControlStateLines(int id, const char* shownText) {
    const ControlModel& m = Model(id);
    const std::string key = std::to_string(id);
    std::string s;
    if (shownText) s += "text:" + key + "=" + shownText + "\n";
    if (m.kind == KindHScroll || m.kind == KindVScroll)
        s += "scroll:" + key + "=" + std::to_string(m.position) + "," + std::to_string(m.minimum) + "," +
             std::to_string(m.maximum) + "," + std::to_string(m.page) + "\n";
    if (m.kind == KindCheckBox) s += "check:" + key + "=" + (m.checked ? "1" : "0") + "\n";
    if (m.kind == KindSpinBox || m.kind == KindNumericSpinBox)
        s += "spin:" + key + "=" + std::to_string(m.value) + "," + std::to_string(m.minimum) + "," +
             std::to_string(m.maximum) + "\n";
    return s;
}

// --- Main window ----------------------------------------------------------------

bool TkOpenMainWindow(const char* title, int w, int h) {
    L().title = title;
    return L().backend && L().backend->openWindow(title, w, h);
}

void TkSetTitle(const std::string& title) {
    if (title == L().title) return;
    L().title = title;
    L().backend->setTitle(title);
}

std::string TkTitle() { return L().title; }

bool TkCreateMenuBar(const MenuEntry* entries, int count) {
    if (!L().backend->createMenuBar(entries, count)) return false;
    for (int i = 0; i < count; ++i)
        if (entries[i].kind == EntryItem || entries[i].kind == EntryBarItem) L().menuEnabled[entries[i].id] = true;
    return true;
}

void TkEnableMenuItem(int id, bool enabled) {
    auto it = L().menuEnabled.find(id);
    if (it == L().menuEnabled.end() || it->second == enabled) return;
    it->second = enabled;
    L().backend->setMenuItemEnabled(id, enabled);
}

bool TkMenuItemEnabled(int id) {
    auto it = L().menuEnabled.find(id);
    return it != L().menuEnabled.end() && it->second;
}

void TkAcceptDrops() { L().backend->acceptDrops(); }
void TkCreateStatusBar() { L().backend->createStatusBar(); }

void TkSetStatusText(const std::string& text) {
    if (text == L().status) return;
    L().status = text;
    L().backend->setStatusText(text);
}

std::string TkStatusText() { return L().status; }

// --- Controls ---------------------------------------------------------------------

void TkCreateControl(int id, ControlKind kind, int x, int y, int w, int h, const char* text) {
    ControlModel m;
    m.exists = true;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.w = w;
    m.h = h;
    m.text = text ? text : "";
    L().controls[id] = m;
    L().backend->createControl(id, m);
}

void TkBindProcedure(int id, void (*procedure)()) { Model(id).bound = procedure; }

int TkScrollPosition(int id) { return Model(id).position; }
int TkScrollMinimum(int id) { return Model(id).minimum; }
int TkScrollMaximum(int id) { return Model(id).maximum; }
int TkScrollPage(int id) { return Model(id).page; }

void TkSetScrollPosition(int id, int position) {
    ControlModel& m = Model(id);
    m.position = position;
    ClampScroll(m);
    Show(id);
}

void TkSetScrollMinimum(int id, int minimum) {
    ControlModel& m = Model(id);
    m.minimum = minimum;
    ClampScroll(m);
    Show(id);
}

void TkSetScrollMaximum(int id, int maximum) {
    ControlModel& m = Model(id);
    m.maximum = maximum;
    ClampScroll(m);
    Show(id);
}

void TkSetScrollPage(int id, int page) {
    ControlModel& m = Model(id);
    m.page = page;
    ClampScroll(m);
    Show(id);
}

int TkSpinValue(int id) { return Model(id).value; }
int TkSpinMinimum(int id) { return Model(id).minimum; }
int TkSpinMaximum(int id) { return Model(id).maximum; }

void TkSetSpinValue(int id, int value) {
    ControlModel& m = Model(id);
    PutSpinValue(m, value);
    Show(id);
}

void TkSetSpinMinimum(int id, int minimum) {
    ControlModel& m = Model(id);
    m.minimum = minimum;
    if (m.maximum < minimum) m.maximum = minimum;
    PutSpinValue(m, m.value);
    Show(id);
}

void TkSetSpinMaximum(int id, int maximum) {
    ControlModel& m = Model(id);
    m.maximum = maximum;
    if (m.minimum > maximum) m.minimum = maximum;
    PutSpinValue(m, m.value);
    Show(id);
}

bool TkChecked(int id) { return Model(id).checked; }

void TkSetChecked(int id, bool checked) {
    Model(id).checked = checked;
    Show(id);
}

std::string TkText(int id) { return Model(id).text; }

void TkSetText(int id, const std::string& text) {
    Model(id).text = text;
    Show(id);
}

void TkMoveCursorToEnd(int id) {
    if (Model(id).exists) L().backend->moveCursorToEnd(id);
}

// --- Canvas -----------------------------------------------------------------------

CanvasImage& TkBeginDrawing() { return L().canvas; }

void TkEndDrawing() {
    if (L().backend) L().backend->presentCanvas(L().canvas);
}

const CanvasImage& TkCanvasPicture() { return L().canvas; }

// --- The wait ---------------------------------------------------------------------

MessageKind TkWait() {
    Layer& l = L();
    while (l.queue.empty() || l.held) {
        size_t before = l.queue.size();
        l.backend->waitOnce();
        if (!l.held && l.queue.size() == before) TkUserOther();
    }
    l.current = std::move(l.queue.front());
    l.queue.pop_front();
    return l.current.kind;
}

int TkMessageId() { return L().current.id; }
ControlEvent TkEventType() { return L().current.type; }
int TkEventX() { return L().current.x; }
int TkEventY() { return L().current.y; }
int TkEventButtons() { return L().current.buttons; }
const std::string& TkDroppedPaths() { return L().current.paths; }

int16_t TkKeyState(ArrowKey key) {
    Layer& l = L();
    int16_t system = 0;
    if (l.backend && l.backend->queryKeyState(key, &system)) return system;
    // A press since the last query counts as down now: on X11 a short tap's
    // release often arrives in the same batch as its press.
    int state = (l.down[key] || l.pressedSince[key]) ? 0x8000 : 0;
    if (l.pressedSince[key]) state |= 1;
    l.pressedSince[key] = false;
    return static_cast<int16_t>(static_cast<uint16_t>(state));
}

// --- Dialogs ----------------------------------------------------------------------

std::string TkOpenFileDialog(const char* title, const std::string& defaultName, const char* patterns) {
    return L().backend->openFileDialog(title, defaultName, patterns);
}

std::string TkSaveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                             int* chosenPattern) {
    *chosenPattern = 0;
    return L().backend->saveFileDialog(title, proposedPath, patterns, chosenPattern);
}

std::string TkInputBox(const char* title, const char* prompt, const char* initialText) {
    return L().backend->inputBox(title, prompt, initialText);
}

void TkMessageBox(const std::string& title, const std::string& text) { L().backend->messageBox(title, text); }

bool TkAskYesNo(const std::string& title, const std::string& text) { return L().backend->askYesNo(title, text); }

// --- Process ----------------------------------------------------------------------

void TkEndProcess(int code) {
    if (L().backend) L().backend->shutdown(code);
    std::exit(code);
}

// --- Reports from the back end --------------------------------------------------------

void TkUserScrolled(int id, int position) {
    ControlModel& m = Model(id);
    int before = m.position;
    m.position = position;
    ClampScroll(m);
    if (m.position != position) Show(id);  // the widget went past the span
    if (m.position != before) Raise(id, EventChanged);
}

void TkUserEndedDrag(int id) { Raise(id, EventDragEnd); }

void TkUserToggled(int id, bool checked) {
    Model(id).checked = checked;
    Raise(id, EventChanged);
}

void TkUserSteppedSpin(int id, int delta) {
    ControlModel& m = Model(id);
    if (!IsSpin(m)) return;
    int before = m.value;
    PutSpinValue(m, static_cast<long>(m.value) + delta);
    if (m.value == before) return;  // at a bound: nothing changed
    if (m.kind == KindNumericSpinBox) Show(id);
    Raise(id, EventChanged);
}

void TkUserTyped(int id, const std::string& text) {
    ControlModel& m = Model(id);
    m.text = text;
    if (m.kind == KindDigitsField) return;  // raises no action in this program
    Raise(id, EventTextChanged);
}

void TkUserPressedButton(int id) { Raise(id, EventChanged); }

void TkUserCanvas(ControlEvent type, int x, int y, int buttons) {
    Message msg;
    msg.kind = MessageControl;
    msg.id = CanvasId();
    msg.type = type;
    msg.x = x;
    msg.y = y;
    msg.buttons = buttons;
    Queue(msg);
}

void TkUserMenu(int id) {
    if (!TkMenuItemEnabled(id)) return;
    Message msg;
    msg.kind = MessageMenu;
    msg.id = id;
    Queue(msg);
}

void TkUserDropped(const std::string& paths) {
    Message msg;
    msg.kind = MessageDrop;
    msg.paths = paths;
    Queue(msg);
}

void TkUserClosed() {
    Message msg;
    msg.kind = MessageClose;
    Queue(msg);
}

void TkUserOther() { Queue(Message{}); }

void TkUserArrowDown(ArrowKey key) {
    L().down[key] = true;
    L().pressedSince[key] = true;
}

void TkUserArrowUp(ArrowKey key) { L().down[key] = false; }

void TkHoldWait(bool held) { L().held = held; }

bool TkMessagePending() { return !L().queue.empty(); }
