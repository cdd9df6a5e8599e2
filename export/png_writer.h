// PNG encoding of a canvas picture with libpng.
#pragma once

#include <cstdio>

#include "platform/canvas.h"

// The zlib settings the encoder runs with. The level is always 9; these are
// the choices that decide how long a save takes.
struct PngDeflateSettings {
    int strategy;    // Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE
    int memLevel;    // 1 .. 9
    int windowBits;  // 8 .. 15
};

// What "Save image.." uses: run-length matching. At level 9 the default
// strategy walks its long hash chains for most of a second on a canvas of
// random bits, a freeze; run-length matching needs about 10 ms on any canvas,
// for files a few times larger (tens of kilobytes). The full window keeps
// zlib from sliding it, and clearing its hash table, every few hundred bytes.
extern const PngDeflateSettings kCanvasPngSettings;

// Writes the picture as an 8-bit RGB PNG (signature, IHDR, IDAT, IEND, no
// other chunk; filter None on every row; no interlace) to the open stream.
// False when libpng reports an error, the stream's write failures included;
// the stream is left open either way.
bool WriteCanvasPng(FILE* stream, const CanvasImage& picture, const PngDeflateSettings& settings);
