#include "tests/unit/variant_test_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace variant_test {
namespace {

struct DecodeErrors {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};

[[noreturn]] void DecodeFailed(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<DecodeErrors*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr) {}

bool Decode(FILE* in, DecodedJpeg& out) {
    jpeg_decompress_struct cinfo;
    DecodeErrors errors;
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = DecodeFailed;
    errors.standard.output_message = Quiet;
    jpeg_create_decompress(&cinfo);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.components = cinfo.num_components;
    out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.rgb[static_cast<size_t>(cinfo.output_scanline) * out.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

const JpegSegment* JpegLayout::Find(uint8_t marker) const {
    for (const JpegSegment& s : segments)
        if (s.marker == marker) return &s;
    return nullptr;
}

std::vector<uint8_t> JpegLayout::Markers() const {
    std::vector<uint8_t> m;
    for (const JpegSegment& s : segments) m.push_back(s.marker);
    return m;
}

JpegLayout ParseJpeg(const std::vector<uint8_t>& f) {
    JpegLayout layout;
    size_t at = 0;
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8) return layout;
    layout.segments.push_back({0xD8, {}});
    at = 2;
    while (at + 1 < f.size()) {
        if (f[at] != 0xFF) return layout;
        const uint8_t marker = f[at + 1];
        at += 2;
        if (marker == 0xD9) {
            layout.segments.push_back({0xD9, {}});
            layout.wellFormed = at == f.size();
            return layout;
        }
        if (at + 2 > f.size()) return layout;
        const size_t length = (static_cast<size_t>(f[at]) << 8) | f[at + 1];
        if (length < 2 || at + length > f.size()) return layout;
        layout.segments.push_back({marker, std::vector<uint8_t>(f.begin() + at + 2, f.begin() + at + length)});
        at += length;
        if (marker == 0xDA) {
            // Entropy-coded data up to the next marker that is not a stuffed
            // zero or a restart marker.
            while (at + 1 < f.size()) {
                if (f[at] == 0xFF && f[at + 1] != 0x00) {
                    if (f[at + 1] >= 0xD0 && f[at + 1] <= 0xD7) {
                        ++layout.restartMarkers;
                        at += 2;
                        continue;
                    }
                    break;
                }
                ++at;
            }
        }
    }
    return layout;
}

DecodedJpeg DecodeJpeg(const std::string& path) {
    DecodedJpeg out;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return out;
    out.ok = Decode(in, out);
    std::fclose(in);
    return out;
}

int LargestDifference(const DecodedJpeg& decoded, const CanvasImage& picture, int x0, int y0, int x1, int y1) {
    int largest = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb a = decoded.At(x, y), b = ReadPixel(picture, x, y);
            largest = std::max({largest, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        }
    return largest;
}

double MeanDifference(const DecodedJpeg& decoded, const CanvasImage& picture) {
    double sum = 0;
    for (size_t i = 0; i < sizeof picture.pixels; ++i) sum += std::abs(decoded.rgb[i] - picture.pixels[i]);
    return sum / sizeof picture.pixels;
}

}  // namespace variant_test
