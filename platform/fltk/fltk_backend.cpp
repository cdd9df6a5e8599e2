// The toolkit layer on FLTK 1.3, the Linux build's back end. Widgets only
// show what the layer's models hold and report what the user did; they never
// decide a value.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <cerrno>  // program_invocation_short_name
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app_icon.h"  // made at build time by tools/make_icon.py
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/drop_text.h"
#include "platform/fltk/fltk_dialogs.h"

namespace {

constexpr int kMenuHeight = 25;
constexpr int kStatusHeight = 22;

// --- Widgets ------------------------------------------------------------------------

// The main window: takes dropped files itself, before any child sees them,
// and turns the close box into a close request.
class MainWindow : public Fl_Window {
public:
    MainWindow(int w, int h, const char* title) : Fl_Window(w, h, title) {}
    bool acceptsDrops = false;

    int handle(int event) override {
        switch (event) {
            case FL_DND_ENTER:
            case FL_DND_DRAG:
            case FL_DND_LEAVE:
                if (!acceptsDrops) break;
                Fl::belowmouse(this);
                return 1;
            case FL_DND_RELEASE:
                if (!acceptsDrops) break;
                dropPending_ = true;
                return 1;
            case FL_PASTE:
                if (!dropPending_) break;
                dropPending_ = false;
                TkUserDropped(DecodeDroppedPaths(Fl::event_text() ? Fl::event_text() : ""));
                return 1;
            default:
                break;
        }
        return Fl_Window::handle(event);
    }

private:
    bool dropPending_ = false;
};

// The canvas: shows the layer's picture and reports the mouse.
class CanvasWidget : public Fl_Widget {
public:
    CanvasWidget(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    const CanvasImage* picture = nullptr;

    void draw() override {
        if (picture)
            fl_draw_image(picture->pixels, x(), y(), CanvasImage::kWidth, CanvasImage::kHeight, 3,
                          CanvasImage::kStride);
        else
            fl_rectf(x(), y(), w(), h(), FL_BLACK);
    }

    int handle(int event) override {
        const int ex = Fl::event_x() - x(), ey = Fl::event_y() - y();
        switch (event) {
            case FL_ENTER:
            case FL_LEAVE:
                return 1;  // asked for, so that FL_MOVE comes
            case FL_PUSH:
                if (Fl::event_button() == FL_LEFT_MOUSE) TkUserCanvas(EventLeftDown, ex, ey, Buttons());
                return 1;  // hold the mouse for drags and the right button's release
            case FL_DRAG:
            case FL_MOVE:
                TkUserCanvas(EventMouseMove, ex, ey, Buttons());
                return 1;
            case FL_RELEASE:
                if (Fl::event_button() == FL_LEFT_MOUSE)
                    TkUserCanvas(EventLeftUp, ex, ey, Buttons());
                else if (Fl::event_button() == FL_RIGHT_MOUSE && Fl::event_inside(this))
                    TkUserCanvas(EventRightClick, ex, ey, Buttons());
                return 1;
            default:
                return 0;
        }
    }

private:
    static int Buttons() {
        const int s = Fl::event_state();
        return ((s & FL_BUTTON1) ? ButtonLeft : 0) | ((s & FL_BUTTON3) ? ButtonRight : 0) |
               ((s & FL_BUTTON2) ? ButtonMiddle : 0);
    }
};

// A scroll bar whose presses hold the wait until the button is released,
// as a native scroll bar's own tracking loop does.
class ScrollWidget : public Fl_Scrollbar {
public:
    ScrollWidget(int id, int x, int y, int w, int h) : Fl_Scrollbar(x, y, w, h), id_(id) {}
    int page = 0;

    int handle(int event) override {
        switch (event) {
            case FL_PUSH: {
                const int part = PartUnderMouse();
                if (part == kTrack && page == 0) return 1;  // a track click moves by the page: nothing
                thumb_ = part == kThumb;
                TkHoldWait(true);
                return Fl_Scrollbar::handle(event);
            }
            case FL_RELEASE: {
                const int r = Fl_Scrollbar::handle(event);
                TkHoldWait(false);
                if (thumb_) TkUserEndedDrag(id_);
                thumb_ = false;
                return r;
            }
            case FL_KEYBOARD:
            case FL_SHORTCUT:
                return 0;  // the viewer polls the arrow keys itself
            default:
                return Fl_Scrollbar::handle(event);
        }
    }

private:
    enum { kArrow, kTrack, kThumb };

    // Where a press lands, worked out as Fl_Scrollbar does.
    int PartUnderMouse() {
        int X = x(), Y = y(), W = w(), H = h();
        if (horizontal()) {
            if (W >= 3 * H) { X += H; W -= 2 * H; }
        } else {
            if (H >= 3 * W) { Y += W; H -= 2 * W; }
        }
        const int rel = horizontal() ? Fl::event_x() - X : Fl::event_y() - Y;
        const int ww = horizontal() ? W : H;
        if (rel < 0 || rel >= ww) return kArrow;
        int S = static_cast<int>(slider_size() * ww + .5);
        const int T = (horizontal() ? H : W) / 2 + 1;
        if (S < T) S = T;
        const double span = maximum() - minimum();
        const double val = span ? (value() - minimum()) / span : 0.5;
        int sx = val >= 1.0 ? ww - S : val <= 0.0 ? 0 : static_cast<int>(val * (ww - S) + .5);
        if (rel < sx || rel >= sx + S) return kTrack;
        return kThumb;
    }

    int id_;
    bool thumb_ = false;
};

// The text part of a spin box: Up and Down step the box.
class SpinInput : public Fl_Input {
public:
    SpinInput(int id, int x, int y, int w, int h) : Fl_Input(x, y, w, h), id_(id) {}
    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down)) {
            TkUserSteppedSpin(id_, Fl::event_key() == FL_Up ? 1 : -1);
            return 1;
        }
        return Fl_Input::handle(event);
    }

private:
    int id_;
};

// A one-line field that takes only decimal digits, typed or pasted.
class DigitsInput : public Fl_Input {
public:
    DigitsInput(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}
    int handle(int event) override {
        if (event == FL_KEYBOARD || event == FL_PASTE) {
            const char* t = Fl::event_text();
            const int n = Fl::event_length();
            bool text = n > 0 && t && !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META));
            if (event == FL_PASTE || text) {
                std::string digits;
                for (int i = 0; i < n; ++i)
                    if (t[i] >= '0' && t[i] <= '9') digits += t[i];
                if (event == FL_KEYBOARD && digits.empty()) return 1;  // swallow the key
                if (digits.size() != static_cast<size_t>(n)) {
                    replace(position(), mark(), digits.c_str(), static_cast<int>(digits.size()));
                    do_callback();
                    return 1;
                }
            }
        }
        return Fl_Input::handle(event);
    }
};

struct Control {
    ControlKind kind;
    Fl_Widget* widget = nullptr;  // the widget, or the text part of a spin box
    Fl_Input* input = nullptr;
    ScrollWidget* scroll = nullptr;
};

// --- The back end -------------------------------------------------------------------

void OnControl(Fl_Widget* w, void* data);
void OnSpinArrow(Fl_Widget* w, void* data);
void OnMenuItem(Fl_Widget*, void* data);
void OnCloseBox(Fl_Widget*, void*);
int DispatchHook(int event, Fl_Window* window);

class FltkBackend : public Backend {
public:
    MainWindow* window = nullptr;
    Fl_Menu_Bar* menuBar = nullptr;
    Fl_Box* statusBar = nullptr;
    CanvasWidget* canvas = nullptr;
    std::map<int, Control> controls;
    std::map<int, std::string> menuPaths;
    int innerHeight = 0;
    bool stateDirty = true;

    bool openWindow(const char* title, int w, int h) override {
        Fl::visual(FL_RGB);
        if (!fl_display) fl_open_display();
        if (!fl_display) return false;
        innerHeight = h;
        SetWindowIcons();
        window = new MainWindow(w, h, nullptr);
        window->copy_label(title);
        // The program's own name ("vexelor", "vexelor-jpeg"): desktops match
        // the window to its desktop entry's StartupWMClass by it.
        window->xclass(program_invocation_short_name);
        window->size_range(w, h, w, h);
        window->position((Fl::w() - w) / 2, (Fl::h() - h) / 2);
        window->callback(OnCloseBox);
        window->end();
        Fl::event_dispatch(DispatchHook);
        window->show();
        return window->shown();
    }

    // The application icon for every window the program opens (_NET_WM_ICON).
    static void SetWindowIcons() {
        static bool done = false;
        if (done) return;
        done = true;
        const Fl_RGB_Image* images[kAppIconCount];
        for (int i = 0; i < kAppIconCount; ++i)
            images[i] = new Fl_RGB_Image(kAppIcons[i].rgba, kAppIcons[i].size, kAppIcons[i].size, 4);
        Fl_Window::default_icons(images, kAppIconCount);  // copies them
        for (const Fl_RGB_Image* image : images) delete image;
    }

    void setTitle(const std::string& title) override { window->copy_label(title.c_str()); }

    bool createMenuBar(const MenuEntry* entries, int count) override {
        window->begin();
        menuBar = new Fl_Menu_Bar(0, 0, window->w(), kMenuHeight);
        window->end();
        std::string dropDown;
        for (int i = 0; i < count; ++i) {
            const MenuEntry& e = entries[i];
            void* data = reinterpret_cast<void*>(static_cast<intptr_t>(e.id));
            switch (e.kind) {
                case EntryDropDown:
                    dropDown = e.text;
                    menuBar->add(dropDown.c_str(), 0, nullptr, nullptr, FL_SUBMENU);
                    break;
                case EntryItem:
                    menuPaths[e.id] = dropDown + "/" + e.text;
                    menuBar->add(menuPaths[e.id].c_str(), 0, OnMenuItem, data);
                    break;
                case EntrySeparator: {
                    // FLTK draws a divider below an item: mark the item before.
                    const int last = menuBar->size() - 2;  // the terminator of the drop-down comes after it
                    Fl_Menu_Item* items = const_cast<Fl_Menu_Item*>(menuBar->menu());
                    for (int k = last; k >= 0; --k)
                        if (items[k].label()) {
                            items[k].flags |= FL_MENU_DIVIDER;
                            break;
                        }
                    break;
                }
                case EntryBarItem:
                    menuPaths[e.id] = e.text;
                    menuBar->add(e.text, 0, OnMenuItem, data);
                    break;
            }
        }
        return true;
    }

    void setMenuItemEnabled(int id, bool enabled) override {
        auto it = menuPaths.find(id);
        if (it == menuPaths.end() || !menuBar) return;
        Fl_Menu_Item* item = const_cast<Fl_Menu_Item*>(menuBar->find_item(it->second.c_str()));
        if (!item) return;
        if (enabled)
            item->activate();
        else
            item->deactivate();
        menuBar->redraw();
        stateDirty = true;
    }

    void acceptDrops() override { window->acceptsDrops = true; }

    void createStatusBar() override {
        window->begin();
        statusBar = new Fl_Box(0, innerHeight - kStatusHeight, window->w(), kStatusHeight);
        window->end();
        statusBar->box(FL_THIN_DOWN_BOX);
        statusBar->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        statusBar->labelsize(13);
    }

    void setStatusText(const std::string& text) override {
        statusBar->copy_label((" " + text).c_str());
        stateDirty = true;
    }

    void createControl(int id, const ControlModel& m) override {
        Control c;
        c.kind = m.kind;
        const int x = m.x, y = m.y + kMenuHeight, w = m.w, h = m.h;
        void* data = reinterpret_cast<void*>(static_cast<intptr_t>(id));
        window->begin();
        switch (m.kind) {
            case KindCanvas:
                canvas = new CanvasWidget(x, y, w, h);
                c.widget = canvas;
                break;
            case KindHScroll:
            case KindVScroll:
                c.scroll = new ScrollWidget(id, x, y, w, h);
                c.scroll->type(m.kind == KindHScroll ? FL_HORIZONTAL : FL_VERTICAL);
                c.scroll->linesize(1);
                c.scroll->clear_visible_focus();
                c.widget = c.scroll;
                break;
            case KindCheckBox:
                c.widget = new Fl_Check_Button(x, y, w, h);
                c.widget->copy_label(m.text.c_str());
                c.widget->labelsize(12);
                c.widget->clear_visible_focus();
                break;
            case KindLabel:
                c.widget = new Fl_Box(x, y, w, h);
                c.widget->copy_label(m.text.c_str());
                c.widget->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
                c.widget->labelsize(12);
                break;
            case KindSpinBox:
            case KindNumericSpinBox: {
                const int bw = 16;
                c.input = new SpinInput(id, x, y, w - bw, h);
                auto* up = new Fl_Repeat_Button(x + w - bw, y, bw, h / 2, "@8>");
                auto* down = new Fl_Repeat_Button(x + w - bw, y + h / 2, bw, h - h / 2, "@2>");
                up->labelsize(7);
                down->labelsize(7);
                up->clear_visible_focus();
                down->clear_visible_focus();
                // The arrow's user data is the box's id times two, plus one for up.
                up->callback(OnSpinArrow, reinterpret_cast<void*>(static_cast<intptr_t>(id * 2 + 1)));
                down->callback(OnSpinArrow, reinterpret_cast<void*>(static_cast<intptr_t>(id * 2)));
                c.widget = c.input;
                break;
            }
            case KindDigitsField:
                c.input = new DigitsInput(x, y, w, h);
                c.widget = c.input;
                break;
            case KindButton:
                c.widget = new Fl_Button(x, y, w, h);
                c.widget->copy_label(m.text.c_str());
                c.widget->clear_visible_focus();
                break;
        }
        window->end();
        if (c.input) {
            c.input->textsize(12);
            c.input->when(FL_WHEN_CHANGED);
        }
        if (c.widget && m.kind != KindCanvas && m.kind != KindLabel) c.widget->callback(OnControl, data);
        controls[id] = c;
        showControl(id, m);
    }

    void showControl(int id, const ControlModel& m) override {
        auto it = controls.find(id);
        if (it == controls.end()) return;
        stateDirty = true;
        Control& c = it->second;
        switch (m.kind) {
            case KindHScroll:
            case KindVScroll: {
                const int window = m.page > 1 ? m.page : 1;
                const int total = m.maximum - m.minimum + 1;
                c.scroll->page = m.page;
                c.scroll->value(m.position, window, m.minimum, total > window ? total : window);
                break;
            }
            case KindCheckBox:
                static_cast<Fl_Check_Button*>(c.widget)->value(m.checked ? 1 : 0);
                break;
            case KindSpinBox:
            case KindNumericSpinBox:
            case KindDigitsField:
                if (m.text != c.input->value()) {
                    const int at = c.input->position();
                    c.input->value(m.text.c_str());
                    c.input->position(at < c.input->size() ? at : c.input->size());
                }
                break;
            case KindLabel:
            case KindButton:
                c.widget->copy_label(m.text.c_str());
                break;
            case KindCanvas:
                break;
        }
    }

    // Publishes what the window shows as text (status, menu items and their
    // places, control values) in the window property _VEXELOR_STATE, so that
    // automation can read the screen without guessing at pixels of text.
    void publishState() {
        stateDirty = false;
        if (!window || !window->shown()) return;
        std::string s = "status=" + TkStatusText() + "\n";
        if (menuBar && menuBar->menu()) {
            int X = menuBar->x() + 6;  // as Fl_Menu_Bar lays out its items
            for (const Fl_Menu_Item* m = menuBar->menu()->first(); m && m->text; m = m->next()) {
                const int W = m->measure(nullptr, menuBar) + 16;
                s += "menubox:" + std::string(m->text) + "=" + std::to_string(X) + "," + std::to_string(menuBar->y()) +
                     "," + std::to_string(W) + "," + std::to_string(menuBar->h()) + "\n";
                X += W;
            }
        }
        for (const auto& [id, path] : menuPaths) {
            const Fl_Menu_Item* item = menuBar ? menuBar->find_item(path.c_str()) : nullptr;
            if (item) s += "menu:" + path + "=" + (item->active() ? "on" : "off") + "\n";
        }
        for (const auto& [id, c] : controls) s += TkControlStateLines(id, c.input ? c.input->value() : nullptr);
        static Atom atom = XInternAtom(fl_display, "_VEXELOR_STATE", False);
        XChangeProperty(fl_display, fl_xid(window), atom, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
        XFlush(fl_display);
    }

    void moveCursorToEnd(int id) override {
        auto it = controls.find(id);
        if (it != controls.end() && it->second.input) it->second.input->position(it->second.input->size());
    }

    void presentCanvas(const CanvasImage& picture) override {
        if (!canvas) return;
        canvas->picture = &picture;
        canvas->redraw();
    }

    void waitOnce() override {
        if (stateDirty) publishState();
        Fl::wait(1e20);
    }

    std::string openFileDialog(const char* title, const std::string& defaultName, const char* patterns) override {
        int chosen = 0;
        return RunFileChooser(title, defaultName, patterns, &chosen);
    }

    std::string saveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                               int* chosenPattern) override {
        return RunFileChooser(title, proposedPath, patterns, chosenPattern);
    }

    std::string inputBox(const char* title, const char* prompt, const char* initialText) override {
        return RunInputBox(title, prompt, initialText);
    }

    void messageBox(const std::string& title, const std::string& text) override { RunMessageBox(title, text); }

    bool askYesNo(const std::string& title, const std::string& text) override { return RunYesNo(title, text); }

    void shutdown(int) override {
        while (Fl_Window* w = Fl::first_window()) w->hide();
        Fl::flush();
    }

    int idOf(Fl_Widget* w) const {
        for (const auto& [id, c] : controls)
            if (c.widget == w) return id;
        return -1;
    }
};

FltkBackend* backend = nullptr;

void OnControl(Fl_Widget* w, void* data) {
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(data));
    backend->stateDirty = true;
    const ControlModel& m = TkModel(id);
    switch (m.kind) {
        case KindHScroll:
        case KindVScroll:
            TkUserScrolled(id, static_cast<int>(static_cast<Fl_Scrollbar*>(w)->value()));
            break;
        case KindCheckBox:
            TkUserToggled(id, static_cast<Fl_Check_Button*>(w)->value() != 0);
            break;
        case KindSpinBox:
        case KindNumericSpinBox:
        case KindDigitsField:
            TkUserTyped(id, static_cast<Fl_Input*>(w)->value());
            break;
        case KindButton:
            TkUserPressedButton(id);
            break;
        default:
            break;
    }
}

void OnSpinArrow(Fl_Widget*, void* data) {
    const int code = static_cast<int>(reinterpret_cast<intptr_t>(data));
    TkUserSteppedSpin(code / 2, (code & 1) ? 1 : -1);
}

void OnMenuItem(Fl_Widget*, void* data) { TkUserMenu(static_cast<int>(reinterpret_cast<intptr_t>(data))); }

void OnCloseBox(Fl_Widget*, void*) {
    // Escape is no way to close the viewer; the close box and the window
    // manager's close command are.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    TkUserClosed();
}

bool ArrowOf(int key, ArrowKey* arrow) {
    switch (key) {
        case FL_Left: *arrow = KeyLeft; return true;
        case FL_Right: *arrow = KeyRight; return true;
        case FL_Up: *arrow = KeyUp; return true;
        case FL_Down: *arrow = KeyDown; return true;
        default: return false;
    }
}

// Sees every event before any widget: the arrow keys are noted for the
// viewer's poll and given only to a focused text part, never offered to
// other widgets as shortcuts or used to move the focus.
int DispatchHook(int event, Fl_Window* window) {
    ArrowKey arrow;
    if (backend && window == backend->window && (event == FL_KEYDOWN || event == FL_KEYUP) &&
        ArrowOf(Fl::event_key(), &arrow)) {
        if (event == FL_KEYUP) {
            TkUserArrowUp(arrow);
            return Fl::handle_(event, window);
        }
        TkUserArrowDown(arrow);
        Fl_Widget* focus = Fl::focus();
        for (const auto& [id, c] : backend->controls)
            if (c.input && c.input == focus) {
                focus->handle(FL_KEYBOARD);
                break;
            }
        return 1;
    }
    return Fl::handle_(event, window);
}

}  // namespace

void InstallPlatformBackend() {
    backend = new FltkBackend;
    TkSetBackend(backend);
}
