// The Win32 back end's canvas bitmap: what SetDIBitsToDevice is handed must be
// the picture, pixel for pixel, top row first.
#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/win32_canvas.h"

namespace {

TEST(Win32CanvasBitmap, HeaderDescribesTheCanvasTopRowFirst) {
    auto bitmap = std::make_unique<CanvasBitmap>();
    InitCanvasBitmap(*bitmap);
    const BITMAPINFOHEADER& h = bitmap->info.bmiHeader;
    EXPECT_EQ(h.biWidth, CanvasImage::kWidth);
    EXPECT_EQ(h.biHeight, -CanvasImage::kHeight);  // negative: top-down
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.biPlanes, 1);
}

// Every pixel lands at its own place as blue, green, red: corners, the odd
// last column and distinct values in each channel catch a swapped order, a
// row stride or a flipped picture.
TEST(Win32CanvasBitmap, ConversionKeepsEveryPixelInPlace) {
    auto picture = std::make_unique<CanvasImage>();
    for (int y = 0; y < CanvasImage::kHeight; ++y)
        for (int x = 0; x < CanvasImage::kWidth; ++x) {
            uint8_t* p = picture->pixels + y * CanvasImage::kStride + x * 3;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x * 7 + y * 13);
        }
    auto bitmap = std::make_unique<CanvasBitmap>();
    InitCanvasBitmap(*bitmap);
    ConvertCanvas(*picture, *bitmap);
    int wrong = 0;
    for (int y = 0; y < CanvasImage::kHeight; ++y)
        for (int x = 0; x < CanvasImage::kWidth; ++x) {
            const uint32_t v = bitmap->pixels[y * CanvasImage::kWidth + x];
            const uint8_t blue = v & 0xFF, green = (v >> 8) & 0xFF, red = (v >> 16) & 0xFF;
            if (red != static_cast<uint8_t>(x) || green != static_cast<uint8_t>(y) ||
                blue != static_cast<uint8_t>(x * 7 + y * 13) || (v >> 24) != 0) {
                if (++wrong <= 5) ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << v;
            }
        }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
