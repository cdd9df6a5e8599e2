// Making a path absolute against the current directory.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "tests/support/canvas_check.h"

namespace {

class AbsolutePathTest : public ::testing::Test {
protected:
    void SetUp() override { home = CurrentDirectory(); }
    void TearDown() override { SetCurrentDirectory(home); }
    std::string home;
};

#ifdef _WIN32
// Windows: the system makes the path whole, in its own spelling (backslashes,
// "." and ".." resolved); forward slashes are separators too.
TEST_F(AbsolutePathTest, RelativeFormsAreJoinedToTheCurrentDirectory) {
    const std::string dir = MakeTempDir();
    ASSERT_TRUE(SetCurrentDirectory(dir));
    const std::string cwd = CurrentDirectory();
    const std::string parent = cwd.substr(0, cwd.rfind('\\'));
    struct Case {
        const char* given;
        std::string expected;
    } cases[] = {
        {"b.bin", cwd + "\\b.bin"},
        {"a\\b.bin", cwd + "\\a\\b.bin"},
        {"a/b.bin", cwd + "\\a\\b.bin"},
        {".\\b.bin", cwd + "\\b.bin"},
        {"..\\a\\b.bin", parent + "\\a\\b.bin"},
        {"a b\\c d.bin", cwd + "\\a b\\c d.bin"},
        {"Z:\\abs\\b.bin", "Z:\\abs\\b.bin"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.given), c.expected) << c.given;
    SetCurrentDirectory(home);
    RemoveTree(dir);
}

TEST_F(AbsolutePathTest, AtTheRootNoSeparatorIsDoubled) {
    ASSERT_TRUE(SetCurrentDirectory("C:\\"));
    EXPECT_EQ(AbsolutePath("b.bin"), "C:\\b.bin");
    EXPECT_EQ(AbsolutePath("a\\b.bin"), "C:\\a\\b.bin");
}
#else
TEST_F(AbsolutePathTest, RelativeFormsAreJoinedToTheCurrentDirectory) {
    const std::string dir = MakeTempDir();
    ASSERT_TRUE(SetCurrentDirectory(dir));
    const std::string cwd = CurrentDirectory();
    struct Case {
        const char* given;
        std::string expected;
    } cases[] = {
        {"b.bin", cwd + "/b.bin"},
        {"a/b.bin", cwd + "/a/b.bin"},
        {"./b.bin", cwd + "/./b.bin"},
        {"../a/b.bin", cwd + "/../a/b.bin"},
        {"a b/c d.bin", cwd + "/a b/c d.bin"},
        {"/abs/b.bin", "/abs/b.bin"},
        {"/", "/"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.given), c.expected) << c.given;
    SetCurrentDirectory(home);
    RemoveTree(dir);
}

TEST_F(AbsolutePathTest, AtTheRootNoSeparatorIsDoubled) {
    ASSERT_TRUE(SetCurrentDirectory("/"));
    EXPECT_EQ(AbsolutePath("b.bin"), "/b.bin");
    EXPECT_EQ(AbsolutePath("a/b.bin"), "/a/b.bin");
}
#endif

}  // namespace
