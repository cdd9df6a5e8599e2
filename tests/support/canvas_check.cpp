#include "tests/support/canvas_check.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string Describe(Rgb c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

}  // namespace

void ExpectRegion(const CanvasImage& img, int x, int y, int w, int h, Rgb colour) {
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) {
            Rgb p = ReadPixel(img, xx, yy);
            if (p != colour) {
                ADD_FAILURE() << "pixel (" << xx << ", " << yy << ") is " << Describe(p) << ", expected "
                              << Describe(colour) << " throughout (" << x << ", " << y << ") " << w << "x" << h;
                return;
            }
        }
}

void ExpectCanvasEquals(const CanvasImage& actual, const CanvasImage& expected) {
    int differ = 0, fx = -1, fy = -1;
    for (int y = 0; y < CanvasImage::kHeight; ++y)
        for (int x = 0; x < CanvasImage::kWidth; ++x)
            if (ReadPixel(actual, x, y) != ReadPixel(expected, x, y)) {
                if (!differ++) fx = x, fy = y;
            }
    if (differ)
        ADD_FAILURE() << differ << " pixels differ; the first at (" << fx << ", " << fy << ") is "
                      << Describe(ReadPixel(actual, fx, fy)) << ", expected " << Describe(ReadPixel(expected, fx, fy));
}

std::string MakeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexelor-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) std::abort();
    return pattern;
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
