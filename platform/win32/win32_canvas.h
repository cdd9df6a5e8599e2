// Putting the canvas picture on a Windows device context.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/canvas.h"

// The picture as a top-down 32-bit device-independent bitmap (blue, green,
// red, unused), the form GDI copies fastest.
struct CanvasBitmap {
    BITMAPINFO info;
    uint32_t pixels[CanvasImage::kWidth * CanvasImage::kHeight];
};

// Fills the bitmap header for the canvas's size.
void InitCanvasBitmap(CanvasBitmap& bitmap);
// Turns the RGB picture into the bitmap's pixels.
void ConvertCanvas(const CanvasImage& picture, CanvasBitmap& bitmap);
// Copies the whole bitmap to the device context at (x, y), in one piece.
void BlitCanvas(HDC dc, int x, int y, const CanvasBitmap& bitmap);
