// The save-dialog flow: proposed name, extension rule, overwrite question,
// and what the canvas export leaves in currentPath.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "app/full_viewer.h"
#include "export/export.h"
#include "platform/files.h"
#include "tests/unit/export_test_support.h"
#include "viewer/viewer_state.h"

using exporttest::ReadAll;
using exporttest::StartWithData;
using exporttest::WorkFolder;
using exporttest::WriteAll;

namespace {

const std::vector<uint8_t> kOldBytes = {'o', 'l', 'd'};
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin());
}

enum Existing { Nothing, FileWithBytes, EmptyFile, Folder };

TEST(ChooseSavePath, ExtensionAndOverwriteRulesThroughSaveImage) {
    struct Case {
        const char* typed;       // what the dialog returns, inside the folder; "" cancels
        int pattern;             // selected when the dialog closed
        Existing existing;       // at the final name beforehand
        bool answer;             // to the overwrite question, if one comes
        const char* finalName;   // currentPath afterwards, inside the folder ("" for empty)
        bool asked;
        bool written;            // a PNG at the final name afterwards
        bool failureMessage;
    } cases[] = {
        {"pic", 0, Nothing, false, "pic.png", false, true, false},
        {"pic.png", 0, Nothing, false, "pic.png.png", false, true, false},
        {"pic", 1, Nothing, false, "pic", false, true, false},
        {"pic.png", 1, Nothing, false, "pic.png", false, true, false},
        {"pic", 0, FileWithBytes, true, "pic.png", true, true, false},
        {"pic", 0, FileWithBytes, false, "pic.png", true, false, false},
        {"pic", 0, EmptyFile, true, "pic.png", true, true, false},
        {"pic", 0, EmptyFile, false, "pic.png", true, false, false},
        {"pic", 1, Folder, false, "pic", true, false, false},
        {"pic", 1, Folder, true, "pic", true, false, true},  // a folder is never replaced
        {"", 0, Nothing, false, "", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " pattern " + std::to_string(c.pattern) + " existing " +
                     std::to_string(c.existing) + (c.answer ? " yes" : " no"));
        WorkFolder folder;
        TestBackend& backend = StartWithData(folder, {0x55, 0xAA});
        viewerState.currentPath = folder.File("data.bin");
        const std::string finalPath = *c.finalName ? folder.File(c.finalName) : "";
        if (c.existing == FileWithBytes) WriteAll(finalPath, kOldBytes);
        if (c.existing == EmptyFile) WriteAll(finalPath, {});
        if (c.existing == Folder) mkdir(finalPath.c_str(), 0755);
        backend.saveAnswers.push_back({*c.typed ? folder.File(c.typed) : "", c.pattern});
        backend.yesNoAnswers.push_back(c.answer);

        SaveCanvasImage();

        ASSERT_EQ(backend.saveCalls.size(), 1u);
        EXPECT_EQ(backend.saveCalls[0].title, "Save PNG Image AS...");
        EXPECT_EQ(backend.saveCalls[0].proposed, folder.File("data.bin"));
        EXPECT_EQ(backend.saveCalls[0].patterns, "PNG Images|*.png|All Files|*.*");
        EXPECT_EQ(viewerState.currentPath, finalPath);
        if (c.asked) {
            ASSERT_EQ(backend.questions.size(), 1u);
            EXPECT_EQ(backend.questions[0].first, "CanvasGadget");
            EXPECT_EQ(backend.questions[0].second, "Overwrite this file? " + finalPath);
        } else {
            EXPECT_TRUE(backend.questions.empty());
        }
        const std::vector<uint8_t> after = finalPath.empty() ? std::vector<uint8_t>() : ReadAll(finalPath);
        EXPECT_EQ(IsPng(after), c.written);
        if (!c.written && c.existing == FileWithBytes) {
            EXPECT_EQ(after, kOldBytes);
        }
        if (!c.written && c.existing == EmptyFile) {
            EXPECT_TRUE(after.empty());
        }
        if (c.existing == Folder) {
            EXPECT_EQ(FileSize(finalPath), -2);
        }
        if (c.failureMessage) {
            ASSERT_EQ(backend.messageBoxes.size(), 1u);
            EXPECT_EQ(backend.messageBoxes[0], std::make_pair(std::string("CanvasGadget"),
                                                              "Cannot save image: " + finalPath + ": " + exporttest::FolderReason()));
        } else {
            EXPECT_TRUE(backend.messageBoxes.empty());
        }
        // Nothing but the data file and the final name: no file under the
        // typed name when an extension was added, and no temporary left.
        std::vector<std::string> expected = {"data.bin"};
        if (c.written || c.existing != Nothing) expected.push_back(c.finalName);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(folder.Entries(), expected);
    }
}

TEST(ChooseSavePath, ProposesTheFileNamePartInTheWorkingFolder) {
    struct Case {
        const char* currentPath;
        const char* proposedName;
    } cases[] = {
        {"/data/roms/game.rom", "game.rom"},
        {"C:\\data\\game.rom", "game.rom"},
        {"mixed/part\\tiles.chr", "tiles.chr"},
        {"plain.bin", "plain.bin"},
        {"/data/folder/", ""},
        {"", ""},
    };
    WorkFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.currentPath);
        TestBackend& backend = StartTestViewer(fullViewer);
        viewerState.currentPath = c.currentPath;
        std::string target = "left over";
        EXPECT_FALSE(ChooseSavePath("Title of it", "A|*.a|All Files|*.*", ".a", "question", target));
        ASSERT_EQ(backend.saveCalls.size(), 1u);
        EXPECT_EQ(backend.saveCalls[0].title, "Title of it");
        EXPECT_EQ(backend.saveCalls[0].proposed, folder.File(c.proposedName));
        EXPECT_EQ(backend.saveCalls[0].patterns, "A|*.a|All Files|*.*");
        EXPECT_EQ(target, "");  // the cancelled dialog's answer is stored too
        EXPECT_EQ(viewerState.currentPath, c.currentPath);
    }
}

TEST(ChooseSavePath, GoesOnWithTheChosenNameForItsCaller) {
    WorkFolder folder;
    TestBackend& backend = StartTestViewer(fullViewer);
    viewerState.currentPath = "/somewhere/else.rom";
    WriteAll(folder.File("cut.x"), {});
    backend.saveAnswers.push_back({folder.File("cut"), 0});
    backend.yesNoAnswers.push_back(true);
    std::string target;
    EXPECT_TRUE(ChooseSavePath("Save", "X|*.x|All Files|*.*", ".x", "asked by", target));
    EXPECT_EQ(target, folder.File("cut.x"));
    ASSERT_EQ(backend.questions.size(), 1u);
    EXPECT_EQ(backend.questions[0].first, "asked by");
    EXPECT_EQ(viewerState.currentPath, "/somewhere/else.rom");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"cut.x"});  // asking writes nothing
}

}  // namespace
