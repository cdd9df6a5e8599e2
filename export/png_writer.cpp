// PNG encoding of a canvas picture. libpng reports errors by a long jump;
// the jump point lives in this file and nowhere else.
#include "export/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>

const PngDeflateSettings kCanvasPngSettings = {Z_RLE, 9, 15};

namespace {

// libpng must not return from its error handler; jump back to the writer.
void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Warnings change nothing in the file; the user is not bothered with them.
void OnPngWarning(png_structp, png_const_charp) {}

// Everything that may end in a jump, kept apart from the jump point so that
// no local the jump skips over needs to be volatile.
void EncodePicture(png_structp png, png_infop info, FILE* stream, const CanvasImage& picture,
                   const PngDeflateSettings& settings) {
    png_init_io(png, stream);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_compression_strategy(png, settings.strategy);
    png_set_compression_mem_level(png, settings.memLevel);
    png_set_compression_window_bits(png, settings.windowBits);
    png_set_compression_buffer_size(png, 1 << 16);  // fewer, larger IDAT chunks
    png_set_IHDR(png, info, CanvasImage::kWidth, CanvasImage::kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < CanvasImage::kHeight; ++y) png_write_row(png, picture.pixels + y * CanvasImage::kStride);
    png_write_end(png, nullptr);
}

}  // namespace

// Encodes the picture into the stream; false on any libpng error.
bool WriteCanvasPng(FILE* stream, const CanvasImage& picture, const PngDeflateSettings& settings) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    EncodePicture(png, info, stream, picture, settings);
    png_destroy_write_struct(&png, &info);
    return true;
}
