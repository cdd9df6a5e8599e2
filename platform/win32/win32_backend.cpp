// The toolkit layer on Win32, the Windows build's back end: real Windows
// controls (common controls 6) that only show what the layer's models hold
// and report what the user did; they never decide a value.
//
// Control ids: a control's window has the id 1000 + its toolkit id; the
// arrows of a spin box 2000 + its toolkit id. Menu commands keep their own
// ids (they arrive without a control window).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_text.h"

namespace {

constexpr int kControlBase = 1000;
constexpr int kArrowsBase = 2000;
constexpr int kStateId = 999;
constexpr int kStatusId = 998;
constexpr int kSpinArrowsWidth = 16;
constexpr WORD kIconId = 101;  // the application icon, where the program has one

const wchar_t kWindowClass[] = L"VexelorWindow";
const wchar_t kCanvasClass[] = L"VexelorCanvas";
const wchar_t kStateClass[] = L"VexelorState";

struct Control {
    ControlKind kind = KindLabel;
    HWND window = nullptr;  // the control, or the text part of a spin box
    HWND arrows = nullptr;  // a spin box's up-down control
};

LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK CanvasProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK DigitsSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK SpinTextSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

bool IsArrowKey(WPARAM key) { return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN; }

class Win32Backend : public Backend {
public:
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = nullptr;
    HWND canvas = nullptr;
    HWND statusBar = nullptr;
    HWND stateWindow = nullptr;
    HMENU menuBar = nullptr;
    HFONT font = nullptr;
    std::map<int, HFONT> smallFonts;  // by pixel height
    HFONT checkFont = nullptr;        // the check boxes' font
    std::map<int, Control> controls;
    std::map<int, std::string> menuPaths;
    std::unique_ptr<CanvasBitmap> bitmap;
    bool hasPicture = false;
    bool settingText = false;  // the program is writing an edit: its EN_CHANGE is no user's
    std::wstring published;

    bool openWindow(const char* title, int innerWidth, int innerHeight) override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        if (!RegisterClasses()) return false;
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            font = CreateFontIndirectW(&metrics.lfMessageFont);
        if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        bitmap.reset(new CanvasBitmap);
        InitCanvasBitmap(*bitmap);

        // Caption and close box; no resizing, minimising or maximising. The
        // size is that of the inner area as opened: the menu bar and the
        // status bar, attached later, take their height from it.
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        RECT r = {0, 0, innerWidth, innerHeight};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        const int w = r.right - r.left, h = r.bottom - r.top;
        RECT work;
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
            work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        const int x = work.left + (work.right - work.left - w) / 2, y = work.top + (work.bottom - work.top - h) / 2;
        window = CreateWindowExW(0, kWindowClass, Utf8ToWide(title).c_str(), style, x, y, w, h, nullptr, nullptr,
                                 instance, nullptr);
        if (!window) return false;
        stateWindow = CreateWindowExW(0, kStateClass, L"", WS_CHILD, 0, 0, 0, 0, window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStateId)), instance, nullptr);
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        return true;
    }

    void setTitle(const std::string& title) override { SetWindowTextW(window, Utf8ToWide(title).c_str()); }

    bool createMenuBar(const MenuEntry* entries, int count) override {
        menuBar = CreateMenu();
        if (!menuBar) return false;
        HMENU dropDown = nullptr;
        std::string dropDownText;
        for (int i = 0; i < count; ++i) {
            const MenuEntry& e = entries[i];
            switch (e.kind) {
                case EntryDropDown:
                    dropDown = CreatePopupMenu();
                    dropDownText = e.text;
                    AppendMenuW(menuBar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(dropDown),
                                Utf8ToWide(e.text).c_str());
                    break;
                case EntryItem:
                    if (!dropDown) break;
                    AppendMenuW(dropDown, MF_STRING, static_cast<UINT_PTR>(e.id), Utf8ToWide(e.text).c_str());
                    menuPaths[e.id] = dropDownText + "/" + e.text;
                    break;
                case EntrySeparator:
                    if (dropDown) AppendMenuW(dropDown, MF_SEPARATOR, 0, nullptr);
                    break;
                case EntryBarItem:
                    AppendMenuW(menuBar, MF_STRING, static_cast<UINT_PTR>(e.id), Utf8ToWide(e.text).c_str());
                    menuPaths[e.id] = e.text;
                    break;
            }
        }
        if (!SetMenu(window, menuBar)) {
            DestroyMenu(menuBar);
            menuBar = nullptr;
            menuPaths.clear();
            return false;
        }
        return true;
    }

    void setMenuItemEnabled(int id, bool enabled) override {
        if (!menuBar) return;
        EnableMenuItem(menuBar, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        DrawMenuBar(window);
    }

    void acceptDrops() override { DragAcceptFiles(window, TRUE); }

    void createStatusBar() override {
        statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)), instance, nullptr);
        int whole = -1;
        SendMessageW(statusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
    }

    void setStatusText(const std::string& text) override {
        if (statusBar) SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Utf8ToWide(text).c_str()));
    }

    HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y, int w, int h,
               int id) {
        HWND c = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, x, y, w, h,
                                 window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (!c) return c;
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // A control created later lies over the ones before it (the ">"
        // button over the label beside it), and shows at once: the window is
        // already on screen.
        SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        return c;
    }

    // All check boxes share the largest font in which every one's text fits
    // beside its box (the box and the gap after it take a menu check mark's
    // width and a few pixels), down to 9 pixels: smaller is no longer read
    // at a glance, and a last letter cut short is.
    void fitCheckBoxes(HWND box, const std::wstring& text, int width) {
        const int room = width - GetSystemMetrics(SM_CXMENUCHECK) - 5;
        HFONT fitting = fontFitting(text, room);
        if (!checkFont || heightOf(fitting) < heightOf(checkFont)) {
            checkFont = fitting;
            for (const auto& [id, c] : controls)
                if (c.kind == KindCheckBox)
                    SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(checkFont), TRUE);
        }
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(checkFont), TRUE);
    }

    static int heightOf(HFONT f) {
        LOGFONTW lf;
        return GetObjectW(f, sizeof lf, &lf) ? std::abs(lf.lfHeight) : 0;
    }

    // The control font, made smaller where a check box's text would not fit
    // beside its box (the texts are long for their 80 pixels).
    HFONT fontFitting(const std::wstring& text, int width) {
        LOGFONTW lf;
        if (!GetObjectW(font, sizeof lf, &lf)) return font;
        HDC dc = GetDC(window);
        HFONT chosen = font;
        for (int height = std::abs(lf.lfHeight); height >= 9; --height) {
            HFONT f = font;
            if (height != std::abs(lf.lfHeight)) {
                auto it = smallFonts.find(height);
                if (it == smallFonts.end()) {
                    LOGFONTW small = lf;
                    small.lfHeight = lf.lfHeight < 0 ? -height : height;
                    small.lfWidth = 0;
                    it = smallFonts.emplace(height, CreateFontIndirectW(&small)).first;
                }
                f = it->second;
            }
            if (!f) continue;
            HGDIOBJ old = SelectObject(dc, f);
            SIZE size = {};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            SelectObject(dc, old);
            chosen = f;
            if (size.cx <= width) break;
        }
        ReleaseDC(window, dc);
        return chosen;
    }

    void createControl(int id, const ControlModel& m) override {
        Control c;
        c.kind = m.kind;
        const std::wstring text = Utf8ToWide(m.text);
        const int cid = kControlBase + id;
        switch (m.kind) {
            case KindCanvas:
                canvas = c.window = child(kCanvasClass, L"", 0, 0, m.x, m.y, m.w, m.h, cid);
                break;
            case KindHScroll:
            case KindVScroll:
                // No tab stop: a click leaves the keyboard focus where it was,
                // and the arrow keys stay the viewer's.
                c.window = child(L"SCROLLBAR", L"", m.kind == KindHScroll ? SBS_HORZ : SBS_VERT, 0, m.x, m.y, m.w,
                                 m.h, cid);
                SetWindowSubclass(c.window, ScrollSubclass, static_cast<UINT_PTR>(id), 0);
                break;
            case KindCheckBox:
                c.window = child(L"BUTTON", text.c_str(), BS_AUTOCHECKBOX | WS_TABSTOP, 0, m.x, m.y, m.w, m.h, cid);
                fitCheckBoxes(c.window, text, m.w);
                break;
            case KindLabel:
                c.window = child(L"STATIC", text.c_str(), SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX, 0, m.x, m.y, m.w,
                                 m.h, cid);
                break;
            case KindSpinBox:
            case KindNumericSpinBox: {
                // The text is the program's: the arrows change nothing by
                // themselves and only report their steps.
                c.window = child(L"EDIT", text.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, m.x, m.y,
                                 m.w - kSpinArrowsWidth, m.h, cid);
                SetWindowSubclass(c.window, SpinTextSubclass, static_cast<UINT_PTR>(id), 0);
                c.arrows = child(UPDOWN_CLASSW, L"", 0, 0, m.x + m.w - kSpinArrowsWidth, m.y, kSpinArrowsWidth, m.h,
                                 kArrowsBase + id);
                SendMessageW(c.arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(c.window), 0);
                SendMessageW(c.arrows, UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
                SendMessageW(c.arrows, UDM_SETPOS32, 0, 0);
                UDACCEL once = {0, 1};  // a held arrow steps by 1 however long it is held
                SendMessageW(c.arrows, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&once));
                break;
            }
            case KindDigitsField:
                c.window = child(L"EDIT", text.c_str(), ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE,
                                 m.x, m.y, m.w, m.h, cid);
                SetWindowSubclass(c.window, DigitsSubclass, static_cast<UINT_PTR>(id), 0);
                break;
            case KindButton:
                c.window = child(L"BUTTON", text.c_str(), BS_PUSHBUTTON | WS_TABSTOP, 0, m.x, m.y, m.w, m.h, cid);
                break;
        }
        controls[id] = c;
        showControl(id, m);
    }

    void setEditText(HWND edit, const std::wstring& text) {
        if (WindowText(edit) == text) return;
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        settingText = true;
        SetWindowTextW(edit, text.c_str());
        settingText = false;
        const DWORD at = std::min<DWORD>(end, static_cast<DWORD>(text.size()));
        SendMessageW(edit, EM_SETSEL, at, at);  // the cursor stays where it was, as far as the text reaches
    }

    void showControl(int id, const ControlModel& m) override {
        auto it = controls.find(id);
        if (it == controls.end() || !it->second.window) return;
        Control& c = it->second;
        switch (m.kind) {
            case KindHScroll:
            case KindVScroll: {
                // The system's span rule for a page is the layer's: the last
                // position is maximum - (page - 1).
                SCROLLINFO si = {};
                si.cbSize = sizeof si;
                si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
                si.nMin = m.minimum;
                si.nMax = m.maximum;
                si.nPage = static_cast<UINT>(m.page > 0 ? m.page : 0);
                si.nPos = m.position;
                SetScrollInfo(c.window, SB_CTL, &si, TRUE);
                break;
            }
            case KindCheckBox:
                SendMessageW(c.window, BM_SETCHECK, m.checked ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            case KindSpinBox:
            case KindNumericSpinBox:
            case KindDigitsField:
                setEditText(c.window, Utf8ToWide(m.text));
                break;
            case KindLabel:
            case KindButton:
                SetWindowTextW(c.window, Utf8ToWide(m.text).c_str());
                break;
            case KindCanvas:
                break;
        }
    }

    void moveCursorToEnd(int id) override {
        auto it = controls.find(id);
        if (it != controls.end() && it->second.window) SendMessageA(it->second.window, WM_KEYDOWN, VK_END, 0);
    }

    void presentCanvas(const CanvasImage& picture) override {
        if (!canvas) return;
        ConvertCanvas(picture, *bitmap);
        hasPicture = true;
        // On screen at once, also from inside a scroll bar's drag loop.
        HDC dc = GetDC(canvas);
        BlitCanvas(dc, 0, 0, *bitmap);
        ReleaseDC(canvas, dc);
        ValidateRect(canvas, nullptr);
    }

    void paintCanvas(HWND w) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        if (hasPicture)
            BlitCanvas(dc, 0, 0, *bitmap);
        else
            FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(w, &ps);
    }

    void waitOnce() override {
        publishState();
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    bool queryKeyState(ArrowKey key, int16_t* state) override {
        static const int keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
        *state = static_cast<int16_t>(GetAsyncKeyState(keys[key]));
        return true;
    }

    std::string openFileDialog(const char* title, const std::string& defaultName, const char* patterns) override {
        return RunOpenDialog(window, title, defaultName, patterns);
    }

    std::string saveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                               int* chosenPattern) override {
        return RunSaveDialog(window, title, proposedPath, patterns, chosenPattern);
    }

    std::string inputBox(const char* title, const char* prompt, const char* initialText) override {
        return RunInputDialog(window, title, prompt, initialText);
    }

    void messageBox(const std::string& title, const std::string& text) override {
        RunMessageBox(window, title, text);
    }

    bool askYesNo(const std::string& title, const std::string& text) override {
        return RunYesNo(window, title, text);
    }

    void shutdown(int) override {
        if (window) DestroyWindow(window);
        window = nullptr;
        if (menuBar) menuBar = nullptr;  // destroyed with the window
        if (font) DeleteObject(font);
        font = nullptr;
        for (auto& [height, f] : smallFonts) DeleteObject(f);
        smallFonts.clear();
    }

    // Publishes what the window shows as text (status, menu items and their
    // places, control values) as the text of the hidden "VexelorState"
    // window, so that automation can read the screen without guessing at
    // pixels of text.
    void publishState() {
        if (!stateWindow) return;
        std::string s = "status=" + TkStatusText() + "\n";
        if (menuBar) {
            const int n = GetMenuItemCount(menuBar);
            for (int i = 0; i < n; ++i) {
                wchar_t text[128] = {};
                GetMenuStringW(menuBar, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
                RECT r;
                if (!GetMenuItemRect(window, menuBar, static_cast<UINT>(i), &r)) continue;
                s += "menubox:" + WideToUtf8(text) + "=" + std::to_string(r.left) + "," + std::to_string(r.top) +
                     "," + std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top) + "\n";
            }
            for (const auto& [id, path] : menuPaths) {
                const UINT state = GetMenuState(menuBar, static_cast<UINT>(id), MF_BYCOMMAND);
                if (state == static_cast<UINT>(-1)) continue;
                s += "menu:" + path + "=" + ((state & (MF_GRAYED | MF_DISABLED)) ? "off" : "on") + "\n";
            }
        }
        for (const auto& [id, c] : controls) {
            const bool hasText = c.kind == KindSpinBox || c.kind == KindNumericSpinBox || c.kind == KindDigitsField;
            s += TkControlStateLines(id, hasText ? WideToUtf8(WindowText(c.window)).c_str() : nullptr);
        }
        std::wstring wide = Utf8ToWide(s);
        if (wide == published) return;
        published = std::move(wide);
        SetWindowTextW(stateWindow, published.c_str());
    }

    int controlIdOf(HWND w) const {
        const int id = GetDlgCtrlID(w) - kControlBase;
        auto it = controls.find(id);
        return it != controls.end() && it->second.window == w ? id : -1;
    }

    // --- What the user did ------------------------------------------------------------

    void scrolled(HWND bar, int code) {
        const int id = controlIdOf(bar);
        if (id < 0) return;
        const ControlModel& m = TkModel(id);
        int position = m.position;
        switch (code) {
            case SB_LINEUP: position = m.position - 1; break;
            case SB_LINEDOWN: position = m.position + 1; break;
            case SB_PAGEUP: position = m.position - m.page; break;
            case SB_PAGEDOWN: position = m.position + m.page; break;
            case SB_TOP: position = m.minimum; break;
            case SB_BOTTOM: position = m.maximum; break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: {
                // The full 32-bit position: the message itself carries only 16 bits.
                SCROLLINFO si = {};
                si.cbSize = sizeof si;
                si.fMask = SIF_TRACKPOS;
                GetScrollInfo(bar, SB_CTL, &si);
                position = si.nTrackPos;
                break;
            }
            default:
                return;  // SB_ENDSCROLL: nothing moved
        }
        TkUserScrolled(id, position);
        // The bar shows the layer's position; while the thumb is tracked the
        // system draws it under the pointer itself.
        if (code != SB_THUMBTRACK) {
            SCROLLINFO si = {};
            si.cbSize = sizeof si;
            si.fMask = SIF_POS;
            si.nPos = TkModel(id).position;
            SetScrollInfo(bar, SB_CTL, &si, TRUE);
        }
        if (code == SB_THUMBPOSITION) TkUserEndedDrag(id);
    }

    void command(WPARAM wParam, LPARAM lParam) {
        HWND from = reinterpret_cast<HWND>(lParam);
        if (!from) {
            if (HIWORD(wParam) == 0) TkUserMenu(LOWORD(wParam));  // a menu command (accelerators: none)
            return;
        }
        const int id = controlIdOf(from);
        if (id < 0) return;
        const Control& c = controls[id];
        const int code = HIWORD(wParam);
        switch (c.kind) {
            case KindCheckBox:
                if (code == BN_CLICKED)
                    TkUserToggled(id, SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED);
                break;
            case KindButton:
                if (code == BN_CLICKED) TkUserPressedButton(id);
                break;
            case KindSpinBox:
            case KindNumericSpinBox:
                if (code == EN_CHANGE && !settingText) TkUserTyped(id, WideToUtf8(WindowText(from)));
                break;
            case KindDigitsField:
                if (code == EN_CHANGE && !settingText) TkUserTyped(id, WideToUtf8(keepDigitsOnly(id, from)));
                break;
            default:
                break;
        }
    }

    // Whatever way text got into the digits field (typed, pasted, from the
    // edit's own menu), only its digits stay. The program's own text (a
    // displacement may be negative) is left as it was: only what was put in
    // since counts, found as the part between what the old and new texts
    // share at their start and end.
    std::wstring keepDigitsOnly(int id, HWND field) {
        const std::wstring before = Utf8ToWide(TkModel(id).text), now = WindowText(field);
        size_t head = 0;
        while (head < before.size() && head < now.size() && before[head] == now[head]) ++head;
        size_t tail = 0;
        while (tail < before.size() - head && tail < now.size() - head &&
               before[before.size() - 1 - tail] == now[now.size() - 1 - tail])
            ++tail;
        std::wstring digits;
        for (size_t i = head; i < now.size() - tail; ++i)
            if (now[i] >= L'0' && now[i] <= L'9') digits += now[i];
        if (digits.size() == now.size() - tail - head) return now;
        const std::wstring kept = now.substr(0, head) + digits + now.substr(now.size() - tail);
        settingText = true;
        SetWindowTextW(field, kept.c_str());
        settingText = false;
        const WPARAM at = head + digits.size();
        SendMessageW(field, EM_SETSEL, at, static_cast<LPARAM>(at));
        return kept;
    }

    LRESULT notify(const NMHDR* hdr) {
        if (hdr->code != UDN_DELTAPOS) return 0;
        const int id = static_cast<int>(hdr->idFrom) - kArrowsBase;
        auto it = controls.find(id);
        if (it == controls.end() || it->second.arrows != hdr->hwndFrom) return 0;
        const auto* step = reinterpret_cast<const NMUPDOWN*>(hdr);
        if (step->iDelta != 0) TkUserSteppedSpin(id, step->iDelta > 0 ? 1 : -1);
        return TRUE;  // the arrows keep their own position: the value is the layer's
    }

    void dropped(HDROP drop) {
        std::string paths;
        const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            const UINT len = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring path(len + 1, L'\0');
            DragQueryFileW(drop, i, &path[0], len + 1);
            path.resize(len);
            if (i) paths += '\n';
            paths += WideToUtf8(path);
        }
        DragFinish(drop);
        if (n > 0) TkUserDropped(paths);
    }

private:
    bool RegisterClasses() {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = MainProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        if (!RegisterClassExW(&wc)) return false;

        // No CS_DBLCLKS: the second press of a double click arrives as a press.
        WNDCLASSEXW cc = {};
        cc.cbSize = sizeof cc;
        cc.lpfnWndProc = CanvasProc;
        cc.hInstance = instance;
        cc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        cc.lpszClassName = kCanvasClass;
        if (!RegisterClassExW(&cc)) return false;

        WNDCLASSEXW sc = {};
        sc.cbSize = sizeof sc;
        sc.lpfnWndProc = DefWindowProcW;
        sc.hInstance = instance;
        sc.lpszClassName = kStateClass;
        return RegisterClassExW(&sc) != 0;
    }
};

Win32Backend* backend = nullptr;

LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (backend && backend->window == w) {
        switch (msg) {
            case WM_CLOSE:
                TkUserClosed();  // the program decides; the window stays until it ends
                return 0;
            case WM_COMMAND:
                backend->command(wParam, lParam);
                return 0;
            case WM_NOTIFY:
                return backend->notify(reinterpret_cast<const NMHDR*>(lParam));
            case WM_HSCROLL:
            case WM_VSCROLL:
                // The arrows of a spin box report here too; only scroll bars count.
                if (lParam) backend->scrolled(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
                return 0;
            case WM_DROPFILES:
                backend->dropped(reinterpret_cast<HDROP>(wParam));
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(w, msg, wParam, lParam);
}

int Buttons(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? ButtonLeft : 0) | ((keys & MK_RBUTTON) ? ButtonRight : 0) |
           ((keys & MK_MBUTTON) ? ButtonMiddle : 0);
}

LRESULT CALLBACK CanvasProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Positions are signed: while the canvas holds the mouse they may lie
    // left of or above it.
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (msg) {
        case WM_PAINT:
            backend->paintCanvas(w);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the picture covers it all
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetCapture(w);  // moves keep coming, anywhere on the screen, until the release
            TkUserCanvas(EventLeftDown, x, y, Buttons(wParam));
            return 0;
        case WM_RBUTTONDOWN:
            SetCapture(w);  // the release decides whether it was a click on the canvas
            return 0;
        case WM_MOUSEMOVE:
            TkUserCanvas(EventMouseMove, x, y, Buttons(wParam));
            return 0;
        case WM_LBUTTONUP:
            TkUserCanvas(EventLeftUp, x, y, Buttons(wParam));
            if (!(wParam & (MK_LBUTTON | MK_RBUTTON)) && GetCapture() == w) ReleaseCapture();
            return 0;
        case WM_RBUTTONUP: {
            RECT r;
            GetClientRect(w, &r);
            const POINT p = {x, y};
            if (PtInRect(&r, p)) TkUserCanvas(EventRightClick, x, y, Buttons(wParam));
            if (!(wParam & (MK_LBUTTON | MK_RBUTTON)) && GetCapture() == w) ReleaseCapture();
            return 0;
        }
        default:
            return DefWindowProcW(w, msg, wParam, lParam);
    }
}

// Scroll bars: a press runs the system's own tracking loop inside this call
// (the bound repaint follows the thumb from there); the wait is held for its
// length. The arrow keys are the viewer's, never the bar's.
LRESULT CALLBACK ScrollSubclass(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            TkHoldWait(true);
            const LRESULT r = DefSubclassProc(w, msg, wParam, lParam);
            TkHoldWait(false);
            return r;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (IsArrowKey(wParam)) return 0;
            break;
        default:
            break;
    }
    return DefSubclassProc(w, msg, wParam, lParam);
}

// The text part of a spin box: Up and Down step the box (by 1, also when
// repeated). Done here rather than by the arrows' own key handling, whose
// press timer steps once more, backwards, while the pointer rests on them.
LRESULT CALLBACK SpinTextSubclass(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        TkUserSteppedSpin(static_cast<int>(id), wParam == VK_UP ? 1 : -1);
        return 0;
    }
    return DefSubclassProc(w, msg, wParam, lParam);
}

// The digits field: only 0 to 9 get in, typed or pasted.
LRESULT CALLBACK DigitsSubclass(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
        case WM_CHAR:
            if (wParam >= 0x20 && !(wParam >= L'0' && wParam <= L'9')) return 0;  // control keys pass
            break;
        case WM_PASTE: {
            std::wstring digits;
            if (OpenClipboard(w)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                        for (const wchar_t* p = text; *p; ++p)
                            if (*p >= L'0' && *p <= L'9') digits += *p;
                        GlobalUnlock(data);
                    }
                }
                CloseClipboard();
            }
            if (!digits.empty()) SendMessageW(w, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits.c_str()));
            return 0;
        }
        default:
            break;
    }
    return DefSubclassProc(w, msg, wParam, lParam);
}

}  // namespace

void InstallPlatformBackend() {
    backend = new Win32Backend;
    TkSetBackend(backend);
}
