// The drawing facility: a 24-bit RGB image in memory with the handful of
// operations the viewer and the exports need. Everything is clipped to the
// image; nothing here talks to a window system.
#pragma once

#include <cstdint>
#include <string>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// A fixed-size RGB image, rows top to bottom, pixels as red, green, blue.
struct CanvasImage {
    static constexpr int kWidth = 641;
    static constexpr int kHeight = 481;
    static constexpr int kStride = kWidth * 3;
    uint8_t pixels[kHeight * kStride];
};

// Fills the box with a corner at (x, y) and extent w by h; a negative extent
// reaches left of / above the corner, a zero extent draws nothing.
void FillBox(CanvasImage& img, int x, int y, int w, int h, Rgb colour);

// Draws the straight line from (x0, y0) to (x1, y1), both ends included.
void DrawLine(CanvasImage& img, int x0, int y0, int x1, int y1, Rgb colour);

// Colour of one pixel; only valid inside the image.
Rgb ReadPixel(const CanvasImage& img, int x, int y);

// Draws text in the built-in bitmap font with its top-left corner at (x, y),
// over an opaque box of the text's size in the background colour.
void DrawText(CanvasImage& img, int x, int y, const std::string& text, Rgb colour,
              Rgb background);

// The same, drawing only the pixel rows top..bottom-1 of it.
void DrawTextRows(CanvasImage& img, int x, int y, const std::string& text, Rgb colour, Rgb background, int top,
                  int bottom);

// Size of a text in the built-in font.
int TextWidth(const std::string& text);
int TextHeight();
