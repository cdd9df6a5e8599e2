// "Save image..": the PNG file read back (chunks, header, raw rows, pixels
// through libpng) against the canvas, and the ways the save can fail.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>

#include "app/full_viewer.h"
#include "export/export.h"
#include "export/png_writer.h"
#include "platform/files.h"
#include "tests/unit/export_test_support.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"
#include "viewer/viewer_state.h"

using exporttest::FileSizeCap;
using exporttest::LockAgainstWriting;
using exporttest::ReadAll;
using exporttest::StartWithData;
using exporttest::WorkFolder;
using exporttest::WriteAll;

namespace {

constexpr int kRowBytes = CanvasImage::kStride;

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
    bool crcMatches;
};

uint32_t BigEndian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The file's chunks in order; empty when the signature is wrong or a chunk
// runs past the end.
std::vector<Chunk> ReadChunks(const std::vector<uint8_t>& file) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<Chunk> chunks;
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return {};
    size_t at = 8;
    while (at < file.size()) {
        if (file.size() - at < 12) return {};
        const uint32_t length = BigEndian(&file[at]);
        if (file.size() - at - 12 < length) return {};
        Chunk c;
        c.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
        c.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
        const uLong crc = crc32(0, &file[at + 4], length + 4);
        c.crcMatches = crc == BigEndian(&file[at + 8 + length]);
        chunks.push_back(c);
        at += 12 + length;
    }
    return chunks;
}

struct DecodedPng {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
    std::vector<uint8_t> rgb;
};

void ReadFailed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ReadWarning(png_structp, png_const_charp) {}

// Reads the header and, for 8-bit RGB, the pixels with libpng.
bool DecodeStream(FILE* in, DecodedPng& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ReadFailed, ReadWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, in);
    png_read_info(png, info);
    png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colourType, &out.interlace,
                 &out.compression, &out.filter);
    if (out.bitDepth == 8 && out.colourType == PNG_COLOR_TYPE_RGB && out.interlace == PNG_INTERLACE_NONE) {
        out.rgb.resize(size_t(out.width) * out.height * 3);
        for (png_uint_32 y = 0; y < out.height; ++y) png_read_row(png, &out.rgb[size_t(y) * out.width * 3], nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

DecodedPng DecodePng(const std::string& path) {
    DecodedPng out;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        out.ok = DecodeStream(in, out);
        std::fclose(in);
    }
    return out;
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

// Paints random bits at zoom 1, 80 bytes a row: the hardest canvas to
// compress, and a large file.
TestBackend& StartOnRandomCanvas(const WorkFolder& folder) {
    TestBackend& backend = StartWithData(folder, RandomBytes(30000, 1));
    TkSetScrollPosition(Ctl(WidthScroll), 80);
    OnWidthScroll();
    return backend;
}

// Checks the file against the picture: the chunk list, the header, every
// row's filter type and bytes in the zlib data, and libpng's reading.
void ExpectPngOfPicture(const std::string& path, const CanvasImage& picture) {
    const std::vector<Chunk> chunks = ReadChunks(ReadAll(path));
    ASSERT_GE(chunks.size(), 3u) << "no well-formed PNG at " << path;
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    std::vector<uint8_t> zdata;
    for (size_t i = 1; i + 1 < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].type, "IDAT") << "chunk " << i;  // no ancillary chunk anywhere
        zdata.insert(zdata.end(), chunks[i].data.begin(), chunks[i].data.end());
    }
    for (const Chunk& c : chunks) EXPECT_TRUE(c.crcMatches) << c.type;
    const std::vector<uint8_t> expectedHeader = {0, 0, 2, 0x81, 0, 0, 1, 0xE1, 8, 2, 0, 0, 0};  // 641 x 481
    EXPECT_EQ(chunks.front().data, expectedHeader);
    EXPECT_TRUE(chunks.back().data.empty());

    std::vector<uint8_t> raw(size_t(CanvasImage::kHeight) * (kRowBytes + 1) + 1);
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, zdata.data(), zdata.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size() - 1);
    int rowsWrong = 0;
    for (int y = 0; y < CanvasImage::kHeight; ++y) {
        const uint8_t* row = &raw[size_t(y) * (kRowBytes + 1)];
        EXPECT_EQ(row[0], 0) << "filter type of row " << y;
        if (std::memcmp(row + 1, picture.pixels + y * kRowBytes, kRowBytes) != 0) ++rowsWrong;
    }
    EXPECT_EQ(rowsWrong, 0);

    const DecodedPng png = DecodePng(path);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 641u);
    EXPECT_EQ(png.height, 481u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.compression, PNG_COMPRESSION_TYPE_BASE);
    EXPECT_EQ(png.filter, PNG_FILTER_TYPE_BASE);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    ASSERT_EQ(png.rgb.size(), sizeof picture.pixels);
    EXPECT_EQ(std::memcmp(png.rgb.data(), picture.pixels, sizeof picture.pixels), 0);
}

TEST(PngExport, FileHoldsTheCanvasAsLastPainted) {
    struct Case {
        const char* name;
        int zoom, width;
        bool grid, invert, selection, data;
    } cases[] = {
        {"random bits at zoom 1 with grid and selection", 1, 80, true, false, true, true},
        {"inverted cells at zoom 8", 8, 3, false, true, false, true},
        {"zoom 2 in columns past the data", 2, 7, true, false, true, true},
        {"nothing loaded", 1, 1, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorkFolder folder;
        TestBackend& backend = c.data ? StartWithData(folder, RandomBytes(3000, 2)) : StartTestViewer(fullViewer);
        TkSetScrollPosition(Ctl(WidthScroll), c.width);
        OnWidthScroll();
        TkSetChecked(Ctl(GridCheck), c.grid);
        TkSetChecked(Ctl(InvertCheck), c.invert);
        TkSetChecked(Ctl(ColumnsCheck), c.zoom == 2);
        if (c.selection) {
            viewerState.selStartX = 17, viewerState.selStartY = 30;
            viewerState.selEndX = 301, viewerState.selEndY = 222;
        }
        SetZoom(c.zoom);
        // A mark no repaint would draw: the file must show the screen as it is.
        CanvasImage& canvas = TkBeginDrawing();
        FillBox(canvas, 640, 480, 1, 1, Rgb{1, 2, 3});
        TkEndDrawing();
        const int presents = backend.presents;
        CanvasImage picture;
        std::memcpy(picture.pixels, TkCanvasPicture().pixels, sizeof picture.pixels);

        backend.saveAnswers.push_back({folder.File("shot"), 0});
        SaveCanvasImage();

        EXPECT_EQ(viewerState.currentPath, folder.File("shot.png"));
        EXPECT_TRUE(backend.messageBoxes.empty());
        EXPECT_EQ(backend.presents, presents);
        ExpectPngOfPicture(folder.File("shot.png"), picture);
    }
}

TEST(PngExport, ReplacesAnExistingFileOnYes) {
    WorkFolder folder;
    TestBackend& backend = StartOnRandomCanvas(folder);
    WriteAll(folder.File("shot.png"), {'o', 'l', 'd'});
    chmod(folder.File("shot.png").c_str(), 0640);  // (no permission bits on Windows)
    backend.saveAnswers.push_back({folder.File("shot"), 0});
    backend.yesNoAnswers.push_back(true);
    SaveCanvasImage();
    EXPECT_TRUE(backend.messageBoxes.empty());
    ExpectPngOfPicture(folder.File("shot.png"), TkCanvasPicture());
    struct stat st;
    ASSERT_EQ(stat(folder.File("shot.png").c_str(), &st), 0);
#ifndef _WIN32
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replacement keeps the old file's permissions
#endif
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"data.bin", "shot.png"}));
}

TEST(PngExport, ReadOnlyTargetIsRefusedAndKeepsItsBytes) {
    WorkFolder folder;
    TestBackend& backend = StartOnRandomCanvas(folder);
    const std::vector<uint8_t> old = {'k', 'e', 'e', 'p'};
    WriteAll(folder.File("shot.png"), old);
    if (!LockAgainstWriting(folder.File("shot.png"))) GTEST_SKIP() << "this file system cannot lock a file";
    backend.saveAnswers.push_back({folder.File("shot.png"), 1});
    backend.yesNoAnswers.push_back(true);
    SaveCanvasImage();
    ASSERT_EQ(backend.messageBoxes.size(), 1u);
    EXPECT_EQ(backend.messageBoxes[0],
              std::make_pair(std::string("CanvasGadget"),
                             "Cannot save image: " + folder.File("shot.png") + ": " + exporttest::LockedReason()));
    EXPECT_EQ(ReadAll(folder.File("shot.png")), old);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"data.bin", "shot.png"}));
}

TEST(PngExport, FolderThatCannotTakeTheFileGivesTheMessage) {
    struct Case {
        const char* name;
        bool exists;
    } cases[] = {{"missing", false}, {"locked", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorkFolder folder;
        TestBackend& backend = StartOnRandomCanvas(folder);
        const std::string sub = folder.File(c.name);
        if (c.exists) {
            mkdir(sub.c_str(), 0755);
#ifdef _WIN32
            GTEST_SKIP() << "a folder's write permission is an access list on Windows";
#endif
            if (!LockAgainstWriting(sub)) GTEST_SKIP() << "this file system cannot lock a folder";
        }
        backend.saveAnswers.push_back({sub + kPathSeparator + "shot", 0});
        SaveCanvasImage();
        ASSERT_EQ(backend.messageBoxes.size(), 1u);
        EXPECT_EQ(backend.messageBoxes[0].second,
                  "Cannot save image: " + sub + kPathSeparator + "shot.png: " +
                      (c.exists ? exporttest::LockedReason() : exporttest::MissingFolderReason()));
        EXPECT_EQ(FileSize(sub + kPathSeparator + "shot.png"), -1);
        if (c.exists) {
            EXPECT_TRUE(exporttest::EntriesOf(sub).empty());
        }
        EXPECT_EQ(viewerState.currentPath, sub + kPathSeparator + "shot.png");
    }
}

TEST(PngExport, EncoderErrorMidwayLeavesTheOldFileAndNoTrace) {
    for (bool oldFile : {true, false}) {
        SCOPED_TRACE(oldFile ? "over an old file" : "new file");
        WorkFolder folder;
        TestBackend& backend = StartOnRandomCanvas(folder);  // far over the cap once encoded
        const std::vector<uint8_t> old = RandomBytes(100, 3);
        SKIP_WITHOUT_FILE_SIZE_CAP();
        if (oldFile) WriteAll(folder.File("shot.png"), old);
        backend.saveAnswers.push_back({folder.File("shot"), 0});
        backend.yesNoAnswers.push_back(true);
        {
            FileSizeCap full(4096);  // the disk fills after the first IDAT bytes
            SaveCanvasImage();
        }
        ASSERT_EQ(backend.messageBoxes.size(), 1u);
        EXPECT_EQ(backend.messageBoxes[0].second, "Cannot save image: " + folder.File("shot.png") + ": File too large");
        if (oldFile) {
            EXPECT_EQ(ReadAll(folder.File("shot.png")), old);
            EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"data.bin", "shot.png"}));
        } else {
            EXPECT_EQ(folder.Entries(), std::vector<std::string>{"data.bin"});
        }
    }
}

TEST(PngWriter, LibpngErrorReturnsFalseAndTheWriterStaysUsable) {
    WorkFolder folder;
    StartOnRandomCanvas(folder);
    const std::string path = folder.File("target");
    WriteAll(path, {'x'});
    // A stream that refuses every write: libpng's own write error, by its jump.
    FILE* refusing = std::fopen(path.c_str(), "rb");
    ASSERT_NE(refusing, nullptr);
    EXPECT_FALSE(WriteCanvasPng(refusing, TkCanvasPicture(), kCanvasPngSettings));
    std::fclose(refusing);
    EXPECT_EQ(ReadAll(path), std::vector<uint8_t>{'x'});

    FILE* good = std::fopen(folder.File("after.png").c_str(), "wb");
    ASSERT_NE(good, nullptr);
    EXPECT_TRUE(WriteCanvasPng(good, TkCanvasPicture(), kCanvasPngSettings));
    std::fclose(good);
    ExpectPngOfPicture(folder.File("after.png"), TkCanvasPicture());
}

}  // namespace
