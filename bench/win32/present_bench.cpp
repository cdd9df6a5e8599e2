// How long putting the canvas on screen takes on Windows: the picture turned
// into the bitmap the back end hands to GDI and copied to a window with one
// SetDIBitsToDevice, as the back end's repaint does, against a plain memcpy
// of the picture in the same run. A small program of its own (run it under
// Wine or on Windows): Google Benchmark is not part of the Windows build.
//
//   win32_present_bench [repaints]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/canvas.h"
#include "platform/win32/win32_canvas.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A picture like a busy canvas: random bits, each a different colour pattern.
void Fill(CanvasImage& picture, unsigned seed) {
    unsigned v = seed * 2654435761u + 1;
    for (size_t i = 0; i < sizeof picture.pixels; i += 3) {
        v = v * 1103515245u + 12345u;
        const uint8_t c = (v >> 16) & 1 ? 255 : 0;
        picture.pixels[i] = c;
        picture.pixels[i + 1] = c;
        picture.pixels[i + 2] = static_cast<uint8_t>(c | ((v >> 20) & 1 ? 255 : 0));
    }
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

struct Figures {
    double median, best;
};

template <typename Step>
Figures Time(int repaints, Step step) {
    std::vector<double> times;
    for (int i = 0; i < repaints; ++i) {
        const double t0 = Now();
        step(i);
        times.push_back(Now() - t0);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2] * 1e3, times.front() * 1e3};
}

void Report(const char* name, const Figures& f, int repaints) {
    std::printf("%-40s %9.3f ms median %9.3f ms best  (%d runs)\n", name, f.median, f.best, repaints);
}

}  // namespace

int main(int argc, char** argv) {
    const int repaints = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VexelorPresentBench";
    RegisterClassW(&wc);
    RECT r = {0, 0, CanvasImage::kWidth, CanvasImage::kHeight};
    AdjustWindowRect(&r, WS_OVERLAPPED | WS_CAPTION, FALSE);
    HWND window = CreateWindowW(wc.lpszClassName, L"present bench", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, 0,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    Pump();

    constexpr int kPictures = 4;
    std::unique_ptr<CanvasImage[]> pictures(new CanvasImage[kPictures]);
    for (int i = 0; i < kPictures; ++i) Fill(pictures[i], static_cast<unsigned>(i));
    std::unique_ptr<CanvasBitmap> bitmap(new CanvasBitmap);
    InitCanvasBitmap(*bitmap);
    std::unique_ptr<CanvasImage> copy(new CanvasImage);

    const Figures memcpyFigures = Time(repaints, [&](int i) {
        std::memcpy(copy->pixels, pictures[i % kPictures].pixels, sizeof copy->pixels);
    });
    const Figures convertFigures = Time(repaints, [&](int i) { ConvertCanvas(pictures[i % kPictures], *bitmap); });
    // The back end's repaint: convert, then one SetDIBitsToDevice to the window.
    const Figures presentFigures = Time(repaints, [&](int i) {
        ConvertCanvas(pictures[i % kPictures], *bitmap);
        HDC dc = GetDC(window);
        BlitCanvas(dc, 0, 0, *bitmap);
        ReleaseDC(window, dc);
        GdiFlush();
    });
    // The same followed by the message pass in which the system (Wine: its
    // X11 driver) hands the window's new contents to the display.
    const Figures shownFigures = Time(repaints, [&](int i) {
        ConvertCanvas(pictures[i % kPictures], *bitmap);
        HDC dc = GetDC(window);
        BlitCanvas(dc, 0, 0, *bitmap);
        ReleaseDC(window, dc);
        GdiFlush();
        Pump();
    });

    unsigned sum = 0;  // the copies are used: no compiler may drop them
    for (size_t i = 0; i < sizeof copy->pixels; i += 4096) sum += copy->pixels[i];
    std::printf("picture checksum %u\n", sum);
    Report("memcpy of the picture (925 KB)", memcpyFigures, repaints);
    Report("RGB to bitmap conversion", convertFigures, repaints);
    Report("present: conversion + SetDIBitsToDevice", presentFigures, repaints);
    Report("present + message pass (on the display)", shownFigures, repaints);
    DestroyWindow(window);
    return 0;
}
