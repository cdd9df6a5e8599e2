#include "platform/win32/win32_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_text.h"

namespace {

// "Name|*.ext|Name|*.*" as the file dialogs want it: "Name\0*.ext\0...\0\0".
std::wstring FilterOf(const char* patterns) {
    std::wstring filter = Utf8ToWide(patterns ? patterns : "");
    if (filter.empty() || filter.back() != L'|') filter += L'|';
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter += L'\0';
    return filter;
}

constexpr DWORD kPathChars = 32768;

std::string RunFileDialog(HWND owner, const char* title, const std::string& start, const char* patterns,
                          int* chosenPattern, bool save) {
    // The start splits into the folder the dialog opens in and the name it proposes.
    const std::wstring path = Utf8ToWide(start);
    const size_t cut = path.find_last_of(L"\\/");
    // Without a folder of its own the dialog opens in the working directory,
    // not wherever the system's dialog was used last.
    std::wstring folder = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
    if (folder.empty()) {
        const DWORD n = GetCurrentDirectoryW(0, nullptr);
        folder.assign(n, L'\0');
        folder.resize(n ? GetCurrentDirectoryW(n, &folder[0]) : 0);
    }
    const std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    std::vector<wchar_t> file(kPathChars, L'\0');
    name.copy(file.data(), std::min<size_t>(name.size(), kPathChars - 1));
    const std::wstring filter = FilterOf(patterns);
    const std::wstring caption = Utf8ToWide(title ? title : "");

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;  // the first pattern
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = caption.c_str();
    // No default extension and no overwrite prompt: the program decides both.
    // The working directory is the program's to set (the loader does).
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (chosenPattern) *chosenPattern = ofn.nFilterIndex > 0 ? static_cast<int>(ofn.nFilterIndex) - 1 : 0;
    if (!ok) return std::string();
    return WideToUtf8(file.data());
}

// --- The input box, from a dialog template built in memory ---------------------------

class Template {
public:
    void word(WORD w) { words_.push_back(w); }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void text(const std::wstring& s) {
        for (wchar_t c : s) word(static_cast<WORD>(c));
        word(0);
    }
    void align() {
        if (words_.size() % 2) word(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const std::wstring& title) {
        align();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        word(static_cast<WORD>(x));
        word(static_cast<WORD>(y));
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(id);
        word(0xFFFF);
        word(atom);
        text(title);
        word(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

enum : WORD { kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082, kFieldId = 100, kPromptId = 101 };

struct InputAnswer {
    std::wstring text;
    bool ok = false;
};

INT_PTR CALLBACK InputProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            HWND field = GetDlgItem(dialog, kFieldId);
            SendMessageW(field, EM_SETSEL, 0, -1);  // all selected: typing replaces it
            SetFocus(field);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND: {
            auto* answer = reinterpret_cast<InputAnswer*>(GetWindowLongPtrW(dialog, DWLP_USER));
            if (LOWORD(wParam) == IDOK) {
                answer->text = WindowText(GetDlgItem(dialog, kFieldId));
                answer->ok = true;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

std::string RunOpenDialog(HWND owner, const char* title, const std::string& defaultName, const char* patterns) {
    return RunFileDialog(owner, title, defaultName, patterns, nullptr, false);
}

std::string RunSaveDialog(HWND owner, const char* title, const std::string& start, const char* patterns,
                          int* chosenPattern) {
    return RunFileDialog(owner, title, start, patterns, chosenPattern, true);
}

std::string RunInputDialog(HWND owner, const char* title, const char* prompt, const char* initialText) {
    // Sizes in dialog units of the shell's dialog font.
    const std::wstring promptText = Utf8ToWide(prompt ? prompt : "");
    const short width = static_cast<short>(std::max<size_t>(200, std::min<size_t>(promptText.size() * 4 + 20, 400)));
    Template t;
    t.dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(0);
    t.word(4);  // items
    t.word(0);
    t.word(0);
    t.word(static_cast<WORD>(width));
    t.word(62);
    t.word(0);  // no menu
    t.word(0);  // the dialog class
    t.text(Utf8ToWide(title ? title : ""));
    t.word(8);
    t.text(L"MS Shell Dlg");
    t.item(SS_LEFT | SS_NOPREFIX, 7, 7, static_cast<short>(width - 14), 10, kPromptId, kStaticAtom, promptText);
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, static_cast<short>(width - 14), 13, kFieldId, kEditAtom,
           Utf8ToWide(initialText ? initialText : ""));
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, static_cast<short>(width - 114), 41, 50, 14, IDOK, kButtonAtom, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, static_cast<short>(width - 57), 41, 50, 14, IDCANCEL, kButtonAtom, L"Cancel");
    InputAnswer answer;
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), owner, InputProc,
                            reinterpret_cast<LPARAM>(&answer));
    return answer.ok ? WideToUtf8(answer.text) : std::string();
}

void RunMessageBox(HWND owner, const std::string& title, const std::string& text) {
    MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_OK);
}

bool RunYesNo(HWND owner, const std::string& title, const std::string& text) {
    return MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_YESNO) == IDYES;
}
