// Windows: putting the canvas on screen as the Win32 back end repaints (the
// RGB picture turned into a 32-bit bitmap, then one SetDIBitsToDevice to a
// window), against a plain memcpy of the picture, in the same run. Run it
// under Wine in an X server (the window needs a display):
//   DISPLAY=... tests/win/wine-run.sh build-windows/wineprefix build-windows/bench/benchmarks.exe
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/canvas.h"
#include "platform/win32/win32_canvas.h"

namespace {

// A few busy pictures (random bits in two colours), cycled so that no repaint
// copies what the one before it did.
constexpr int kPictures = 4;

const CanvasImage* Pictures() {
    static const std::unique_ptr<CanvasImage[]> pictures = [] {
        std::unique_ptr<CanvasImage[]> p(new CanvasImage[kPictures]);
        unsigned v = 1;
        for (int k = 0; k < kPictures; ++k)
            for (size_t i = 0; i < sizeof p[k].pixels; i += 3) {
                v = v * 1103515245u + 12345u;
                const uint8_t c = (v >> 16) & 1 ? 255 : 0;
                p[k].pixels[i] = c;
                p[k].pixels[i + 1] = c;
                p[k].pixels[i + 2] = static_cast<uint8_t>(c | ((v >> 20) & 1 ? 255 : 0));
            }
        return p;
    }();
    return pictures.get();
}

// A shown window of the canvas's size, made once for the run.
HWND Window() {
    static HWND window = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VexelorPresentBench";
        RegisterClassW(&wc);
        RECT r = {0, 0, CanvasImage::kWidth, CanvasImage::kHeight};
        AdjustWindowRect(&r, WS_OVERLAPPED | WS_CAPTION, FALSE);
        return CreateWindowW(wc.lpszClassName, L"present bench", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, 0,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// The floor: the picture copied once, byte for byte.
void BM_WinMemcpyPicture(benchmark::State& state) {
    const CanvasImage* pictures = Pictures();
    auto copy = std::make_unique<CanvasImage>();
    int i = 0;
    for (auto _ : state) {
        std::memcpy(copy->pixels, pictures[i++ % kPictures].pixels, sizeof copy->pixels);
        benchmark::DoNotOptimize(copy->pixels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WinMemcpyPicture)->Unit(benchmark::kMillisecond);

// What a repaint puts on screen: conversion plus the one copy to the window.
void BM_WinPresentCanvas(benchmark::State& state) {
    const CanvasImage* pictures = Pictures();
    HWND window = Window();
    if (!window) {
        state.SkipWithError("no window (no display?)");
        return;
    }
    Pump();
    auto bitmap = std::make_unique<CanvasBitmap>();
    InitCanvasBitmap(*bitmap);
    int i = 0;
    for (auto _ : state) {
        ConvertCanvas(pictures[i++ % kPictures], *bitmap);
        HDC dc = GetDC(window);
        BlitCanvas(dc, 0, 0, *bitmap);
        ReleaseDC(window, dc);
        GdiFlush();
    }
}
BENCHMARK(BM_WinPresentCanvas)->Unit(benchmark::kMillisecond);

// The same followed by the message pass in which the system (under Wine, its
// X11 driver) hands the window's new contents to the display.
void BM_WinPresentCanvasAndPump(benchmark::State& state) {
    const CanvasImage* pictures = Pictures();
    HWND window = Window();
    if (!window) {
        state.SkipWithError("no window (no display?)");
        return;
    }
    auto bitmap = std::make_unique<CanvasBitmap>();
    InitCanvasBitmap(*bitmap);
    int i = 0;
    for (auto _ : state) {
        ConvertCanvas(pictures[i++ % kPictures], *bitmap);
        HDC dc = GetDC(window);
        BlitCanvas(dc, 0, 0, *bitmap);
        ReleaseDC(window, dc);
        GdiFlush();
        Pump();
    }
}
BENCHMARK(BM_WinPresentCanvasAndPump)->Unit(benchmark::kMillisecond);

}  // namespace
