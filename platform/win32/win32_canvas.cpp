#include "platform/win32/win32_canvas.h"

#include <cstring>

void InitCanvasBitmap(CanvasBitmap& bitmap) {
    std::memset(&bitmap.info, 0, sizeof bitmap.info);
    BITMAPINFOHEADER& h = bitmap.info.bmiHeader;
    h.biSize = sizeof h;
    h.biWidth = CanvasImage::kWidth;
    h.biHeight = -CanvasImage::kHeight;  // top row first, as the picture holds it
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
}

void ConvertCanvas(const CanvasImage& picture, CanvasBitmap& bitmap) {
    const uint8_t* src = picture.pixels;
    uint32_t* dst = bitmap.pixels;
    for (int i = 0; i < CanvasImage::kWidth * CanvasImage::kHeight; ++i, src += 3)
        dst[i] = (static_cast<uint32_t>(src[0]) << 16) | (static_cast<uint32_t>(src[1]) << 8) | src[2];
}

void BlitCanvas(HDC dc, int x, int y, const CanvasBitmap& bitmap) {
    SetDIBitsToDevice(dc, x, y, CanvasImage::kWidth, CanvasImage::kHeight, 0, 0, 0, CanvasImage::kHeight,
                      bitmap.pixels, &bitmap.info, DIB_RGB_COLORS);
}
