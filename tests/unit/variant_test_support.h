// Shared by the compact viewer's tests: a reader of JPEG files that looks
// at their markers and decodes their pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "tests/unit/export_test_support.h"

namespace variant_test {

// The scratch folder, file reading and writing, read-only targets and the
// full-disk cap are the export tests' own.
using exporttest::FileSizeCap;
using exporttest::LockAgainstWriting;
using exporttest::ReadAll;
using exporttest::Unlock;
using exporttest::WorkFolder;
using exporttest::WriteAll;

// One marker segment of a JPEG file: the marker's second byte and the bytes
// that follow its length field.
struct JpegSegment {
    uint8_t marker;
    std::vector<uint8_t> payload;
};

struct JpegLayout {
    bool wellFormed = false;          // SOI first, every length inside the file, EOI last
    std::vector<JpegSegment> segments;  // in file order, SOI and EOI included
    int restartMarkers = 0;           // RSTn met in the entropy-coded data
    const JpegSegment* Find(uint8_t marker) const;
    std::vector<uint8_t> Markers() const;
};

JpegLayout ParseJpeg(const std::vector<uint8_t>& file);

struct DecodedJpeg {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> rgb;  // rows top to bottom
    Rgb At(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    }
};

DecodedJpeg DecodeJpeg(const std::string& path);

// The largest difference of one channel between the decoded file and the
// picture over the pixels of the box x0..x1-1, y0..y1-1.
int LargestDifference(const DecodedJpeg& decoded, const CanvasImage& picture, int x0, int y0, int x1, int y1);
// Mean absolute difference over all channels of the whole picture.
double MeanDifference(const DecodedJpeg& decoded, const CanvasImage& picture);

}  // namespace variant_test
