#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "LogChannel.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "Utilities.h"

TEST(LoadFileToString, AddsALineFeedAfterEveryLine)
{
    const ScratchFolder folder;
    const struct
    {
        const char* contents;
        const char* expected;
    } cases[] = {
        {"a\nb\n", "a\nb\n\n"},
        {"a\nb", "a\nb\n"},
        {"", "\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.contents);
        WriteFile("text.txt", c.contents);
        EXPECT_EQ(LoadFileToString("text.txt"), c.expected);
    }
}

TEST(LoadFileToString, MissingFileIsReportedOnStandardOutput)
{
    const ScratchFolder folder;
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadFileToString("missing.txt"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error loading file: missing.txt\n");
}

// Only a regular file is read, and never more of it than asked for: a pipe would block the reader
// for good and a device may never end.
TEST(ReadRegularFile, ReadsOnlyRegularFilesWithinTheLimit)
{
    const ScratchFolder folder;
    WriteFile("small.txt", "abc");
    WriteFile("limit.txt", std::string(100, 'x'));
    WriteFile("over.txt", std::string(101, 'x'));
    WriteFile("empty.txt", "");
    std::filesystem::create_directory("folder");
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    std::filesystem::create_symlink("small.txt", "link-to-file");
    std::filesystem::create_symlink("/dev/zero", "link-to-device");
    struct
    {
        const char* path;
        FileRead result;
        std::string bytes;
        uint64_t size;
    } const cases[] = {
        {"small.txt", FileRead::Read, "abc", 3},
        {"limit.txt", FileRead::Read, std::string(100, 'x'), 100},
        {"empty.txt", FileRead::Read, "", 0},
        {"link-to-file", FileRead::Read, "abc", 3},
        {"over.txt", FileRead::TooLarge, "", 101},
        {"missing.txt", FileRead::Missing, "", 0},
        {"folder/missing.txt", FileRead::Missing, "", 0},
        {"small.txt/inside", FileRead::Missing, "", 0},
        {"folder", FileRead::NotRegular, "", 0},
        {"pipe", FileRead::NotRegular, "", 0},
        {"link-to-device", FileRead::NotRegular, "", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        std::string bytes = "left over";
        uint64_t size = 12345;
        EXPECT_EQ(ReadRegularFile(c.path, 100, bytes, &size), c.result);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(size, c.size);
    }
}

// The rename put a new file in place of the old one, with the permission bits that a new file
// gets: a private file became readable by all.
TEST(ReplaceFileWhole, KeepsThePermissionBitsOfTheFileItReplaces)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("files");
    for (const mode_t mode : {0600, 0640, 0755})
    {
        SCOPED_TRACE(mode);
        WriteFile("files/kept", "old");
        ASSERT_EQ(chmod("files/kept", mode), 0);
        EXPECT_TRUE(ReplaceFileWhole("files/kept", {"new ", "bytes"}));
        EXPECT_EQ(ReadFile("files/kept"), "new bytes");
        EXPECT_EQ(FileMode("files/kept"), mode);
    }
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_TRUE(ReplaceFileWhole("files/new", {"fresh"}));
    EXPECT_EQ(ReadFile("files/new"), "fresh");
    EXPECT_EQ(FileMode("files/new"), 0666u & ~mask);
    EXPECT_EQ(FolderEntries("files"), (std::vector<std::string>{"kept", "new"}));
}

// A file whose owner may not write it is the player's to keep, and a direct write would have
// failed there; the superuser passes every permission check but this one.
TEST(ReplaceFileWhole, LeavesAFileItsOwnerMayNotWrite)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("files");
    for (const mode_t mode : {0444, 0400, 0000, 0577})
    {
        SCOPED_TRACE(mode);
        WriteFile("files/pinned", "old");
        ASSERT_EQ(chmod("files/pinned", mode), 0);
        FileReplaceFailure failure;
        EXPECT_FALSE(MayReplaceFile("files/pinned"));
        EXPECT_FALSE(ReplaceFileWhole("files/pinned", {"new"}, &failure));
        EXPECT_STREQ(failure.step, "permission");
        EXPECT_EQ(failure.error, EACCES);
        EXPECT_EQ(FileMode("files/pinned"), mode);
        ASSERT_EQ(chmod("files/pinned", 0600), 0); // only to look inside, whoever runs the test
        EXPECT_EQ(ReadFile("files/pinned"), "old");
        EXPECT_EQ(FolderEntries("files"), std::vector<std::string>{"pinned"}) << "nothing is created";
    }
    EXPECT_TRUE(MayReplaceFile("files/absent"));
}

TEST(ListDirectory, MatchesTheExactExtensionInNameOrder)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("listing");
    for (const char* name : {"a.fsd", "A.FSD", "a.fsd.bak", ".fsd", "b.vsd", "c.fsd"})
        WriteFile(std::string("listing/") + name, "x");
    std::filesystem::create_directory("listing/folder.fsd");
    std::filesystem::create_directory("listing/sub");
    WriteFile("listing/sub/d.fsd", "x");

    const DynArray<std::string> listed = ListDirectory("listing", "fsd");
    EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), (std::vector<std::string>{"a.fsd", "c.fsd", "folder.fsd"}));
    EXPECT_EQ(ListDirectory("listing", "lrl").count, 0u);
}

TEST(ListDirectory, MissingFolderGivesEmptyListAndIsLogged)
{
    const ScratchFolder folder;
    const uint32_t errorsBefore = ErrorLog.GetHistory().count;
    const uint32_t before = WarningLog.GetHistory().count;
    EXPECT_EQ(ListDirectory("no-such-folder", "lrl").count, 0u);
    EXPECT_EQ(ErrorLog.GetHistory().count, errorsBefore);
    EXPECT_EQ(WarningLog.GetHistory().count, before + 1);
}

TEST(SplitWords, SplitsAtSpacesOnly)
{
    const struct
    {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"  $source   colourTexture ", {"$source", "colourTexture"}},
        {"", {}},
        {"     ", {}},
        {"a\tb c", {"a\tb", "c"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        const DynArray<std::string> words = SplitWords(c.line);
        EXPECT_EQ(std::vector<std::string>(words.begin(), words.end()), c.words);
    }
}

TEST(SplitFields, SplitsAtRunsOfTheGivenSeparatorsOnly)
{
    const struct
    {
        const char* line;
        const char* separators;
        std::vector<std::string_view> fields;
    } cases[] = {
        {"  $source \t colourTexture ", " \t", {"$source", "colourTexture"}},
        {"", " \t", {}},
        {" \t \t", " \t", {}},
        {"65 0.5\r", " \t", {"65", "0.5\r"}},
        {"65\v0.5\r", " \t\r\v\f", {"65", "0.5"}},
        {"one", " ", {"one"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitFields(c.line, c.separators), c.fields);
    }
}

TEST(SignedLineDistance, SignFollowsTheTurn)
{
    EXPECT_FLOAT_EQ(SignedLineDistance({0, 0}, {1, 0}, {0, -1}), 0.5f);
    EXPECT_FLOAT_EQ(SignedLineDistance({0, 0}, {1, 0}, {0, 1}), -0.5f);
    EXPECT_NEAR(SignedLineDistance({0, 0}, {1, 0}, {0, -1}), 0.50000012f, 1e-7f);

    // Collinear points give a zero with the negative sign, never not-a-number, also when the
    // rounded factors of Heron's formula multiply to slightly below zero.
    const float collinear[][6] = {{0, 0, 1, 0, 2, 0}, {0.1f, 0.1f, 0.7f, 0.7f, 0.3f, 0.3f}, {1e3f, 1e3f, 1e3f + 0.3f, 1e3f + 0.3f, 1e3f + 0.1f, 1e3f + 0.1f}};
    for (const auto& p : collinear)
    {
        const float result = SignedLineDistance({p[0], p[1]}, {p[2], p[3]}, {p[4], p[5]});
        EXPECT_EQ(result, 0.0f);
        EXPECT_TRUE(std::signbit(result));
    }
}

TEST(CircleTouchesRect, StrictOverlap)
{
    // Rectangle x 0..2, y 0..1.
    EXPECT_TRUE(CircleTouchesRect(0, 2, 0, 1, {1, 0.5f}, 0.001f));
    EXPECT_FALSE(CircleTouchesRect(0, 2, 0, 1, {1, 0.5f}, 0.0f));
    EXPECT_FALSE(CircleTouchesRect(0, 2, 0, 1, {3, 0.5f}, 1.0f)); // reaches the edge exactly
    EXPECT_TRUE(CircleTouchesRect(0, 2, 0, 1, {3, 0.5f}, 1.0001f));
    EXPECT_FALSE(CircleTouchesRect(0, 2, 0, 1, {3, 2}, 1.4f)); // corner at distance sqrt(2)
    EXPECT_TRUE(CircleTouchesRect(0, 2, 0, 1, {-1, -1}, 1.5f));
}
