// Texts between the toolkit layer (UTF-8) and the Windows API (UTF-16).
#pragma once

#include <windows.h>

#include <string>

inline std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

inline std::string WideToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
    return text;
}

// The whole text of a window (an edit's contents, a title).
inline std::wstring WindowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}
