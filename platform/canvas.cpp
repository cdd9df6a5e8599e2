#include "platform/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace {

inline void PutPixel(CanvasImage& img, int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= CanvasImage::kWidth || y >= CanvasImage::kHeight) return;
    uint8_t* p = img.pixels + y * CanvasImage::kStride + x * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// 5 x 7 glyphs in a 6 x 9 cell: digits, minus, and a box for anything else.
// Each glyph is seven rows of five bits, most significant bit leftmost.
constexpr int kGlyphW = 5, kGlyphH = 7, kCellW = 6, kCellH = 9;

const uint8_t* Glyph(char ch) {
    static const uint8_t digits[10][kGlyphH] = {
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
        {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
        {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
        {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
        {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
        {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
    };
    static const uint8_t minus[kGlyphH] = {0, 0, 0, 0x1F, 0, 0, 0};
    static const uint8_t blank[kGlyphH] = {0, 0, 0, 0, 0, 0, 0};
    static const uint8_t other[kGlyphH] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};
    if (ch >= '0' && ch <= '9') return digits[ch - '0'];
    if (ch == '-') return minus;
    if (ch == ' ') return blank;
    return other;
}

}  // namespace

void FillBox(CanvasImage& img, int x, int y, int w, int h, Rgb c) {
    if (w == 0 || h == 0) return;
    long x0 = w > 0 ? x : static_cast<long>(x) + w;
    long y0 = h > 0 ? y : static_cast<long>(y) + h;
    long x1 = x0 + std::labs(w), y1 = y0 + std::labs(h);  // exclusive
    x0 = std::max(x0, 0L);
    y0 = std::max(y0, 0L);
    x1 = std::min<long>(x1, CanvasImage::kWidth);
    y1 = std::min<long>(y1, CanvasImage::kHeight);
    if (x0 >= x1 || y0 >= y1) return;
    for (long yy = y0; yy < y1; ++yy) {
        uint8_t* p = img.pixels + yy * CanvasImage::kStride + x0 * 3;
        for (long xx = x0; xx < x1; ++xx, p += 3) {
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
}

void DrawLine(CanvasImage& img, int x0, int y0, int x1, int y1, Rgb c) {
    if (x0 == x1) {  // the grid's common case, clipped in one go
        if (x0 < 0 || x0 >= CanvasImage::kWidth) return;
        int a = std::max(std::min(y0, y1), 0), b = std::min(std::max(y0, y1), CanvasImage::kHeight - 1);
        for (int y = a; y <= b; ++y) PutPixel(img, x0, y, c);
        return;
    }
    if (y0 == y1) {
        if (y0 < 0 || y0 >= CanvasImage::kHeight) return;
        int a = std::max(std::min(x0, x1), 0), b = std::min(std::max(x0, x1), CanvasImage::kWidth - 1);
        for (int x = a; x <= b; ++x) PutPixel(img, x, y0, c);
        return;
    }
    // Bresenham for everything else.
    long dx = std::labs(static_cast<long>(x1) - x0), dy = -std::labs(static_cast<long>(y1) - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long err = dx + dy;
    for (;;) {
        PutPixel(img, x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        long e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

Rgb ReadPixel(const CanvasImage& img, int x, int y) {
    const uint8_t* p = img.pixels + y * CanvasImage::kStride + x * 3;
    return Rgb{p[0], p[1], p[2]};
}

int TextWidth(const std::string& text) { return static_cast<int>(text.size()) * kCellW; }
int TextHeight() { return kCellH; }

void DrawText(CanvasImage& img, int x, int y, const std::string& text, Rgb colour, Rgb background) {
    DrawTextRows(img, x, y, text, colour, background, y, y + TextHeight());
}

void DrawTextRows(CanvasImage& img, int x, int y, const std::string& text, Rgb colour, Rgb background, int top,
                  int bottom) {
    top = std::max(top, y);
    bottom = std::min(bottom, y + TextHeight());
    if (top >= bottom) return;
    FillBox(img, x, top, TextWidth(text), bottom - top, background);
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* g = Glyph(text[i]);
        int gx = x + static_cast<int>(i) * kCellW;
        for (int row = 0; row < kGlyphH; ++row) {
            const int py = y + 1 + row;
            if (py < top || py >= bottom) continue;
            for (int col = 0; col < kGlyphW; ++col)
                if (g[row] & (0x10 >> col)) PutPixel(img, gx + col, py, colour);
        }
    }
}
