// "Save image.." of the compact viewer: the dialog flow it goes through, the
// JPEG file it leaves, and what it leaves when it cannot save.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_backend.h"
#include "tests/unit/variant_test_support.h"
#include "variant/compact_viewer.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

namespace {

using namespace variant_test;

void Deliver() { DispatchMessage(TkWait()); }

int Big16(const std::vector<uint8_t>& p, size_t at) { return (p[at] << 8) | p[at + 1]; }

class VariantSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = &StartTestViewer(compactViewer);
        data = folder.File("game.rom");
        std::vector<uint8_t> bytes(80 * 300);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        WriteAll(data, bytes);
        TkUserDropped(data);
        Deliver();
    }
    void TearDown() override { EndViewer(); }

    // Chooses "Save image.." with the dialog answered by the name and pattern.
    void Save(const std::string& path, int pattern, std::vector<bool> answers = {}) {
        backend->saveAnswers.push_back({path, pattern});
        for (bool a : answers) backend->yesNoAnswers.push_back(a);
        TkUserMenu(MenuSaveImage);
        Deliver();
    }
    // The failure message: the text, then the path and the system's reason.
    static std::vector<std::pair<std::string, std::string>> CannotSave(const std::string& path,
                                                                       const std::string& reason) {
        return {{"CanvasGadget", "Cannot save image: " + path + ": " + reason}};
    }

    WorkFolder folder;
    TestBackend* backend = nullptr;
    std::string data;
};

TEST_F(VariantSaveTest, DialogProposesTheLoadedFileAndWritesTheCanvasAsJpeg) {
    TkSetChecked(Ctl(GridCheck), true);
    TkSetScrollPosition(Ctl(WidthScroll), 10);
    Redraw();
    const std::string target = folder.File("shot");
    const int presents = backend->presents;
    Save(target, 0);
    ASSERT_EQ(backend->saveCalls.size(), 1u);
    EXPECT_EQ(backend->saveCalls[0].title, "Save jpg Image...");
    EXPECT_EQ(backend->saveCalls[0].patterns, "JPEG Images|*.jpg|All Files|*.*");
    EXPECT_EQ(backend->saveCalls[0].proposed, folder.File("game.rom"));
    EXPECT_TRUE(backend->questions.empty());
    EXPECT_TRUE(backend->messageBoxes.empty());
    EXPECT_EQ(viewerState.currentPath, target + ".jpg");

    const JpegLayout layout = ParseJpeg(ReadAll(target + ".jpg"));
    ASSERT_TRUE(layout.wellFormed);
    const std::vector<uint8_t> markers = {0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9};
    EXPECT_EQ(layout.Markers(), markers);
    const DecodedJpeg decoded = DecodeJpeg(target + ".jpg");
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.width, 641);
    ASSERT_EQ(decoded.height, 481);
    EXPECT_LT(MeanDifference(decoded, TkCanvasPicture()), 40.0);
    // The save takes the picture as it is, without repainting it.
    EXPECT_EQ(backend->presents, presents);
    EXPECT_EQ(TkTitle(), "Vexelor, sprsize:10, grid:8x8 disp:0 zoom:1");
}

TEST_F(VariantSaveTest, FileHoldsExactlyWhatTheCanvasShows) {
    struct Case {
        int zoom;
        bool grid1x1;
    } cases[] = {{1, false}, {2, false}, {8, false}, {1, true}};
    for (const Case& c : cases) {
        SetZoom(c.zoom);
        if (c.grid1x1) {
            TkSetSpinValue(Ctl(GridXSpin), 1);
            TkSetSpinValue(Ctl(GridYSpin), 1);
            TkSetChecked(Ctl(GridCheck), true);
            Redraw();
        }
        const std::string target = folder.File("z" + std::to_string(c.zoom) + (c.grid1x1 ? "g" : "") + ".jpg");
        Save(target, 1);
        ASSERT_TRUE(backend->messageBoxes.empty());
        const std::vector<uint8_t> bytes = ReadAll(target);
        const JpegLayout layout = ParseJpeg(bytes);
        ASSERT_TRUE(layout.wellFormed) << c.zoom;
        const JpegSegment* sof = layout.Find(0xC0);
        ASSERT_NE(sof, nullptr);
        EXPECT_EQ(Big16(sof->payload, 1), 481);
        EXPECT_EQ(Big16(sof->payload, 3), 641);
        EXPECT_EQ(sof->payload[5], 3);
        EXPECT_EQ(sof->payload[7], 0x22);
        const DecodedJpeg decoded = DecodeJpeg(target);
        ASSERT_TRUE(decoded.ok);
        const CanvasImage& canvas = TkCanvasPicture();
        if (c.grid1x1) {
            // Lines cover everything: the file is red all over.
            EXPECT_LE(LargestDifference(decoded, canvas, 0, 0, 641, 481), 8);
        } else {
            // The blue rows below the data and the black right of the picture come back flat.
            const int pictureRight = 8 * c.zoom + 1;
            EXPECT_LE(LargestDifference(decoded, canvas, pictureRight + 16, 0, 641, 481), 6) << c.zoom;
        }
        EXPECT_LT(MeanDifference(decoded, canvas), 40.0) << c.zoom;
    }
}

TEST_F(VariantSaveTest, NamesFollowThePatternChosen) {
    struct Case {
        const char* typed;
        int pattern;
        const char* written;
    } cases[] = {{"pic", 0, "pic.jpg"}, {"pic.jpg", 0, "pic.jpg.jpg"}, {"pic", 1, "pic"}, {"pic.png", 1, "pic.png"}};
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        Save(folder.File(c.typed), c.pattern, {true});
        EXPECT_EQ(viewerState.currentPath, folder.File(c.written)) << c.typed;
        EXPECT_TRUE(ParseJpeg(ReadAll(folder.File(c.written))).wellFormed) << c.written;
        expected.push_back(c.written);
    }
    EXPECT_TRUE(backend->messageBoxes.empty());
    expected.push_back("game.rom");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
    // The next dialog proposes the name saved last.
    Save("", 0);
    EXPECT_EQ(backend->saveCalls.back().proposed, folder.File("pic.png"));
}

TEST_F(VariantSaveTest, CancelWritesNothing) {
    Save("", 0);
    EXPECT_EQ(viewerState.currentPath, "");
    EXPECT_TRUE(backend->messageBoxes.empty());
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"game.rom"});
}

TEST_F(VariantSaveTest, ExistingFileIsReplacedOnlyAfterYes) {
    const std::string target = folder.File("old.jpg");
    const std::vector<uint8_t> old(50, 'x');
    WriteAll(target, old);
    Save(target, 1, {false});
    ASSERT_EQ(backend->questions.size(), 1u);
    EXPECT_EQ(backend->questions[0].first, "CanvasGadget");
    EXPECT_EQ(backend->questions[0].second, "Overwrite this file? " + target);
    EXPECT_EQ(ReadAll(target), old);
    Save(target, 1, {true});
    EXPECT_TRUE(ParseJpeg(ReadAll(target)).wellFormed);
    EXPECT_TRUE(backend->messageBoxes.empty());
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game.rom", "old.jpg"}));
}

TEST_F(VariantSaveTest, ReadOnlyTargetIsRefusedAndKept) {
    const std::string target = folder.File("locked.jpg");
    const std::vector<uint8_t> old = {9, 8, 7, 6};
    WriteAll(target, old);
    if (!LockAgainstWriting(target)) GTEST_SKIP() << "this file system cannot make a file read-only for root";
    Save(target, 1, {true});
    EXPECT_EQ(backend->messageBoxes, CannotSave(target, exporttest::LockedReason()));
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game.rom", "locked.jpg"}));
}

TEST_F(VariantSaveTest, FolderAsTargetIsRefused) {
    const std::string target = folder.File("pics");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    Save(target, 1, {true});
    EXPECT_EQ(backend->messageBoxes, CannotSave(target, exporttest::FolderReason()));
    EXPECT_EQ(FileSize(target), -2);
}

// The disk fills up while libjpeg writes: the save says so, the older file
// of that name is intact and no partial file is left.
TEST_F(VariantSaveTest, WriteErrorKeepsTheOldFileAndLeavesNoPartialOne) {
    const std::string target = folder.File("shot.jpg");
    const std::vector<uint8_t> old(3000, 'o');
    SKIP_WITHOUT_FILE_SIZE_CAP();
    WriteAll(target, old);
    {
        FileSizeCap limit(2000);
        Save(target, 1, {true});
    }
    EXPECT_EQ(backend->messageBoxes, CannotSave(target, "File too large"));
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game.rom", "shot.jpg"}));

    const std::string fresh = folder.File("fresh.jpg");
    {
        FileSizeCap limit(2000);
        Save(fresh, 1);
    }
    EXPECT_EQ(backend->messageBoxes.size(), 2u);
    EXPECT_EQ(FileSize(fresh), -1);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game.rom", "shot.jpg"}));
}

}  // namespace
