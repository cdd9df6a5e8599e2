// The compact viewer's JPEG writer: what the file holds, marker by marker,
// and what is left on disk when writing fails.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <map>
#include <ostream>
#include <memory>
#include <random>
#include <utility>

#include "tests/unit/variant_test_support.h"
#include "variant/jpeg_writer.h"

namespace {

using namespace variant_test;

constexpr int kW = CanvasImage::kWidth;
constexpr int kH = CanvasImage::kHeight;

// The example tables of the JPEG standard, in natural (row by row) order.
const int kLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const int kChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Position in natural order of the n-th coefficient of the zigzag sequence.
const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                         41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                         30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The table libjpeg writes for an example table at a quality, in file order.
std::vector<int> ScaledTable(const int* table, int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    std::vector<int> out;
    for (int i = 0; i < 64; ++i) {
        long v = (static_cast<long>(table[kZigzag[i]]) * scale + 50) / 100;
        out.push_back(static_cast<int>(std::min(std::max(v, 1L), 32767L)));
    }
    return out;
}

struct QuantTable {
    int precision;  // 0: 8-bit entries, 1: 16-bit
    std::vector<int> entries;
};

std::map<int, QuantTable> QuantTables(const JpegLayout& layout) {
    std::map<int, QuantTable> tables;
    for (const JpegSegment& s : layout.segments) {
        if (s.marker != 0xDB) continue;
        size_t at = 0;
        while (at < s.payload.size()) {
            QuantTable t;
            t.precision = s.payload[at] >> 4;
            const int id = s.payload[at] & 15;
            ++at;
            for (int i = 0; i < 64 && at < s.payload.size(); ++i) {
                if (t.precision) {
                    t.entries.push_back((s.payload[at] << 8) | s.payload[at + 1]);
                    at += 2;
                } else {
                    t.entries.push_back(s.payload[at++]);
                }
            }
            tables[id] = t;
        }
    }
    return tables;
}

struct HuffTable {
    std::vector<int> counts;  // codes of length 1..16
    std::vector<int> values;
};

// Keyed by class (0 DC, 1 AC) * 16 + table id.
std::map<int, HuffTable> HuffmanTables(const JpegLayout& layout) {
    std::map<int, HuffTable> tables;
    for (const JpegSegment& s : layout.segments) {
        if (s.marker != 0xC4) continue;
        size_t at = 0;
        while (at + 17 <= s.payload.size()) {
            const int key = (s.payload[at] >> 4) * 16 + (s.payload[at] & 15);
            HuffTable t;
            int total = 0;
            for (int i = 1; i <= 16; ++i) {
                t.counts.push_back(s.payload[at + i]);
                total += s.payload[at + i];
            }
            at += 17;
            for (int i = 0; i < total && at < s.payload.size(); ++i) t.values.push_back(s.payload[at++]);
            tables[key] = t;
        }
    }
    return tables;
}

int Big16(const std::vector<uint8_t>& p, size_t at) { return (p[at] << 8) | p[at + 1]; }

// A picture with what the canvas can show: random bit cells, a blue band,
// white and black areas, red lines and green digits.
std::unique_ptr<CanvasImage> SamplePicture() {
    auto img = std::make_unique<CanvasImage>();
    std::memset(img->pixels, 0, sizeof img->pixels);
    std::mt19937 random(7);
    for (int y = 0; y < kH; ++y)
        for (int x = 1; x <= 256; ++x)
            if (random() & 1) FillBox(*img, x, y, 1, 1, Rgb{255, 255, 255});
    FillBox(*img, 288, 0, 96, kH, Rgb{0, 0, 255});
    FillBox(*img, 416, 0, 96, 240, Rgb{255, 255, 255});
    for (int y = 0; y < kH; y += 64) DrawLine(*img, 0, y, kW, y, Rgb{255, 0, 0});
    DrawText(*img, 540, 300, "1920", Rgb{0, 255, 0}, Rgb{0, 0, 0});
    return img;
}

bool WritePicture(const CanvasImage& img, const std::string& target, int level = 7) {
    return WriteJpeg(img.pixels, kH, kW, CanvasImage::kStride, target, level);
}

class JpegWriterTest : public ::testing::Test {
protected:
    WorkFolder folder;
    std::unique_ptr<CanvasImage> picture = SamplePicture();
};

TEST_F(JpegWriterTest, FileIsBaselineJfifWithExactlyTheseMarkers) {
    const std::string target = folder.File("pic.jpg");
    ASSERT_TRUE(WritePicture(*picture, target));
    const JpegLayout layout = ParseJpeg(ReadAll(target));
    ASSERT_TRUE(layout.wellFormed);
    // libjpeg gives each table a marker of its own; the order is what counts.
    const std::vector<uint8_t> expected = {0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9};
    EXPECT_EQ(layout.Markers(), expected);
    EXPECT_EQ(layout.restartMarkers, 0);

    const JpegSegment* app0 = layout.Find(0xE0);
    ASSERT_NE(app0, nullptr);
    const std::vector<uint8_t> jfif = {'J', 'F', 'I', 'F', 0,  // identifier
                                       1,   1,                 // version 1.01
                                       0,                      // density unit: aspect ratio only
                                       0,   1,   0, 1,         // density 1 x 1
                                       0,   0};                // no thumbnail
    EXPECT_EQ(app0->payload, jfif);

    const JpegSegment* sof = layout.Find(0xC0);
    ASSERT_NE(sof, nullptr);
    ASSERT_EQ(sof->payload.size(), 15u);
    EXPECT_EQ(sof->payload[0], 8);  // sample precision
    EXPECT_EQ(Big16(sof->payload, 1), 481);
    EXPECT_EQ(Big16(sof->payload, 3), 641);
    EXPECT_EQ(sof->payload[5], 3);
    const std::vector<uint8_t> components(sof->payload.begin() + 6, sof->payload.end());
    const std::vector<uint8_t> expectedComponents = {1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    EXPECT_EQ(components, expectedComponents);

    const JpegSegment* sos = layout.Find(0xDA);
    ASSERT_NE(sos, nullptr);
    // One interleaved scan of all three components over the whole spectrum.
    const std::vector<uint8_t> scan = {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    EXPECT_EQ(sos->payload, scan);
}

TEST_F(JpegWriterTest, QuantisationTablesAreTheExampleTablesAtQuality70) {
    const std::string target = folder.File("pic.jpg");
    ASSERT_TRUE(WritePicture(*picture, target));
    const std::map<int, QuantTable> tables = QuantTables(ParseJpeg(ReadAll(target)));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables.at(0).precision, 0);
    EXPECT_EQ(tables.at(1).precision, 0);
    EXPECT_EQ(tables.at(0).entries, ScaledTable(kLuminance, 70));
    EXPECT_EQ(tables.at(1).entries, ScaledTable(kChrominance, 70));
    // 60 % of the first entries, rounded: spelled out once.
    EXPECT_EQ(tables.at(0).entries[0], 10);
    EXPECT_EQ(tables.at(1).entries[0], 10);
    EXPECT_EQ(tables.at(1).entries[63], 59);
}

TEST_F(JpegWriterTest, HuffmanTablesAreTheStandardOnesNotOptimised) {
    const std::string target = folder.File("pic.jpg");
    ASSERT_TRUE(WritePicture(*picture, target));
    const std::map<int, HuffTable> tables = HuffmanTables(ParseJpeg(ReadAll(target)));
    ASSERT_EQ(tables.size(), 4u);
    const std::vector<int> dcLuminance = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<int> dcChrominance = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
    const std::vector<int> acLuminance = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
    const std::vector<int> acChrominance = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
    const std::vector<int> dcValues = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(tables.at(0x00).counts, dcLuminance);
    EXPECT_EQ(tables.at(0x01).counts, dcChrominance);
    EXPECT_EQ(tables.at(0x10).counts, acLuminance);
    EXPECT_EQ(tables.at(0x11).counts, acChrominance);
    EXPECT_EQ(tables.at(0x00).values, dcValues);
    EXPECT_EQ(tables.at(0x01).values, dcValues);
    ASSERT_EQ(tables.at(0x10).values.size(), 162u);
    ASSERT_EQ(tables.at(0x11).values.size(), 162u);
    const std::vector<int> acLuminanceStart = {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12,
                                               0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07};
    const std::vector<int> acChrominanceStart = {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21,
                                                 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71};
    EXPECT_EQ(std::vector<int>(tables.at(0x10).values.begin(), tables.at(0x10).values.begin() + 16), acLuminanceStart);
    EXPECT_EQ(std::vector<int>(tables.at(0x11).values.begin(), tables.at(0x11).values.begin() + 16),
              acChrominanceStart);
    EXPECT_EQ(tables.at(0x10).values.back(), 0xFA);
    EXPECT_EQ(tables.at(0x11).values.back(), 0xFA);
}

// Flat areas come back almost exactly; a swapped channel order, flipped or
// skewed rows would put whole areas in the wrong colour.
TEST_F(JpegWriterTest, DecodedPixelsMatchThePicture) {
    const std::string target = folder.File("pic.jpg");
    ASSERT_TRUE(WritePicture(*picture, target));
    const DecodedJpeg decoded = DecodeJpeg(target);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, kW);
    EXPECT_EQ(decoded.height, kH);
    EXPECT_EQ(decoded.components, 3);
    struct Area {
        const char* what;
        int x0, y0, x1, y1;
    } areas[] = {
        {"blue band", 304, 80, 368, 112},
        {"blue band low", 304, 400, 368, 432},
        {"white block", 432, 80, 496, 112},
        {"black below the white block", 432, 272, 496, 304},
        {"black right edge", 600, 80, 641, 112},
        {"black bottom rows", 432, 464, 496, 481},
    };
    for (const Area& a : areas)
        EXPECT_LE(LargestDifference(decoded, *picture, a.x0, a.y0, a.x1, a.y1), 6) << a.what;
    // Over everything, random bits included, the picture stays recognisable.
    EXPECT_LT(MeanDifference(decoded, *picture), 8.0);
}

TEST_F(JpegWriterTest, QualityLevelIsHeldBetween0And10) {
    struct Case {
        int level;
        int quality;  // what libjpeg is asked for
    } cases[] = {{7, 70}, {5, 50}, {10, 100}, {11, 100}, {1000, 100}, {0, 0}, {-1, 0}, {-500, 0}};
    for (const Case& c : cases) {
        const std::string target = folder.File("q.jpg");
        ASSERT_TRUE(WritePicture(*picture, target, c.level)) << c.level;
        const std::map<int, QuantTable> tables = QuantTables(ParseJpeg(ReadAll(target)));
        ASSERT_EQ(tables.size(), 2u) << c.level;
        // libjpeg counts quality 0 as 1, where the tables reach 16-bit entries.
        const int quality = c.quality == 0 ? 1 : c.quality;
        EXPECT_EQ(tables.at(0).entries, ScaledTable(kLuminance, quality)) << "level " << c.level;
        EXPECT_EQ(tables.at(1).entries, ScaledTable(kChrominance, quality)) << "level " << c.level;
    }
}

TEST_F(JpegWriterTest, ReplacesAnOlderFileWholly) {
    const std::string target = folder.File("pic.jpg");
    WriteAll(target, std::vector<uint8_t>(300000, 0xAB));  // longer than the new file
    ASSERT_TRUE(WritePicture(*picture, target));
    EXPECT_TRUE(ParseJpeg(ReadAll(target)).wellFormed);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pic.jpg"});
}

// How a write can fail once the target has been accepted.
enum Failure { OutputWriteError, EmptyImage };

struct FailureCase {
    const char* what;
    Failure failure;
    bool olderFile;
};

// Names the case in test listings.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class JpegWriterFailureTest : public JpegWriterTest, public ::testing::WithParamInterface<FailureCase> {};

// libjpeg reports a fatal error after the file was opened: the writer comes
// back with false, the partial file is gone and an older one is untouched.
TEST_P(JpegWriterFailureTest, LeavesNoPartialFileAndKeepsTheOldOne) {
    const FailureCase& c = GetParam();
    const std::string target = folder.File("pic.jpg");
    const std::vector<uint8_t> old = {'o', 'l', 'd', 0, 1, 2, 3};
    if (c.olderFile) WriteAll(target, old);
    bool written;
    if (c.failure == OutputWriteError) {
        SKIP_WITHOUT_FILE_SIZE_CAP();
        FileSizeCap limit(1000);  // the disk is full after 1000 bytes
        written = WritePicture(*picture, target);
    } else {
        written = WriteJpeg(picture->pixels, kH, 0, CanvasImage::kStride, target, 7);
    }
    EXPECT_FALSE(written);
    if (c.olderFile) {
        EXPECT_EQ(ReadAll(target), old);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pic.jpg"});
    } else {
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
    }
    // The writer is usable again right afterwards.
    EXPECT_TRUE(WritePicture(*picture, target));
    EXPECT_TRUE(ParseJpeg(ReadAll(target)).wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, JpegWriterFailureTest,
    ::testing::Values(FailureCase{"write error, no older file", OutputWriteError, false},
                      FailureCase{"write error over an older file", OutputWriteError, true},
                      FailureCase{"empty image, no older file", EmptyImage, false},
                      FailureCase{"empty image over an older file", EmptyImage, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        return std::string(info.param.failure == OutputWriteError ? "WriteError" : "EmptyImage") +
               (info.param.olderFile ? "OverOlderFile" : "NoOlderFile");
    });

TEST_F(JpegWriterTest, TargetsThatCannotBeWrittenAreRefusedAndLeftAlone) {
    const std::string readOnly = folder.File("locked.jpg");
    const std::vector<uint8_t> old = {1, 2, 3, 4, 5};
    WriteAll(readOnly, old);
    if (!LockAgainstWriting(readOnly)) GTEST_SKIP() << "this file system cannot make a file read-only for root";
    EXPECT_FALSE(WritePicture(*picture, readOnly));
    EXPECT_EQ(ReadAll(readOnly), old);
    Unlock(readOnly);

    const std::string subfolder = folder.File("folder.jpg");
    ASSERT_EQ(mkdir(subfolder.c_str(), 0755), 0);
    EXPECT_FALSE(WritePicture(*picture, subfolder));
    struct stat st;
    ASSERT_EQ(stat(subfolder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    EXPECT_FALSE(WritePicture(*picture, folder.File("missing/pic.jpg")));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"folder.jpg", "locked.jpg"}));
}

}  // namespace
