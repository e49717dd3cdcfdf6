#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Config.h"
#include "FileSizeLimit.h"
#include "LogChannel.h"
#include "LogWatch.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

namespace
{
const char* const DefaultFile = "{\n \"fullscreen\": false,\n \"resolutionScale\": 1.0\n}";
const std::string MovedAside = "; the default settings are used, and the file was moved to config.json.refused.";

// A settings file whose member "deep" holds arrays nested `arrays` deep inside the document.
std::string NestedFile(size_t arrays)
{
    return "{\"keep\": 1, \"deep\": " + std::string(arrays, '[') + std::string(arrays, ']') + "}";
}

// The names of the working folder's entries that begin with "config.json", in name order.
std::vector<std::string> SettingsEntries()
{
    std::vector<std::string> names = FolderEntries(".");
    std::erase_if(names, [](const std::string& name) { return name.rfind("config.json", 0) != 0; });
    return names;
}
} // namespace

TEST(Config, MissingFileKeepsDefaultsAndSavesTheFourLines)
{
    const ScratchFolder folder;
    testing::internal::CaptureStdout();
    Config config;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error loading file: config.json\n");
    EXPECT_FALSE(config.fullscreen);
    EXPECT_EQ(config.resolutionScale, 1.0f);
    EXPECT_TRUE(config.document.is_null());
    config.Save();
    EXPECT_EQ(ReadFile("config.json"), DefaultFile);
}

TEST(Config, ReadsWellFormedFiles)
{
    const ScratchFolder folder;
    struct Case
    {
        std::string text;
        bool fullscreen;
        float scale;
        bool clampLogged;
    };
    const Case cases[] = {
        {"{\"fullscreen\": true, \"resolutionScale\": 2}", true, 2.0f, false}, // an integer counts as a number
        {"{\"fullscreen\": false, \"resolutionScale\": 0.75}", false, 0.75f, false},
        {"{\"resolutionScale\": true}", false, 1.0f, false}, // a boolean gives 1 or 0
        {"{\"fullscreen\": true}", true, 1.0f, false},       // an absent member keeps its default
        {"{}", false, 1.0f, false},
        {"   \n", false, 1.0f, false},
        {"{\"resolutionScale\": 40}", false, Config::MaxResolutionScale, true},
        {"{\"resolutionScale\": -3}", false, Config::MinResolutionScale, true},
        {"{\"resolutionScale\": 1e300}", false, Config::MaxResolutionScale, true},
        {NestedFile(Config::MaxNestingDepth - 1), false, 1.0f, false}, // as deep as a file may nest, the document included
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        const uint32_t errorsBefore = ErrorLog.GetHistory().count;
        const uint32_t warningsBefore = WarningLog.GetHistory().count;
        const uint32_t infoBefore = InfoLog.GetHistory().count;
        Config config;
        EXPECT_TRUE(config.Parse(c.text));
        EXPECT_EQ(config.fullscreen, c.fullscreen);
        EXPECT_EQ(config.resolutionScale, c.scale);
        EXPECT_EQ(ErrorLog.GetHistory().count, errorsBefore);
        EXPECT_EQ(WarningLog.GetHistory().count, warningsBefore);
        EXPECT_EQ(InfoLog.GetHistory().count, infoBefore + (c.clampLogged ? 1u : 0u));
    }
}

// A settings file is ours to read, never to lose: whatever it holds, the game starts on the
// defaults with one warning, which never waits for a key, the file itself is kept beside (each
// case replacing the one before), and the next save writes a whole file that keeps every member
// it could.
TEST(Config, MalformedFilesKeepDefaultsWithOneWarning)
{
    const ScratchFolder folder;
    const std::string keptBesideDefaults = "{\n \"fullscreen\": false,\n \"keep\": 1,\n \"resolutionScale\": 1.0\n}";
    struct Case
    {
        std::string text;
        std::string fault;
        std::string savedAs; // what a save writes afterwards
    };
    const Case cases[] = {
        {"{\"fullscreen\": tru", "is not valid JSON", DefaultFile},
        {"{\"fullscreen\": true, \"keep\": 1,}", "is not valid JSON", DefaultFile},
        {"{\"fullscreen\": true, \"name\": \"\xC3\x28\"}", "is not valid JSON", DefaultFile},
        {"[true, 2]", "holds a JSON array where an object was expected", DefaultFile},
        {"7", "holds a JSON number where an object was expected", DefaultFile},
        {"{\"fullscreen\": \"yes\", \"resolutionScale\": 2, \"keep\": 1}", "has a \"fullscreen\" that is a string, not a boolean",
         keptBesideDefaults},
        {"{\"fullscreen\": true, \"resolutionScale\": null}", "has a \"resolutionScale\" that is a null, not a number", DefaultFile},
        // One level too deep, and the 100,000 levels that overflowed the printer: the member that
        // nests too deep is dropped, the others are kept.
        {NestedFile(Config::MaxNestingDepth), "nests arrays or objects more than 64 deep", keptBesideDefaults},
        {NestedFile(100000), "nests arrays or objects more than 64 deep", keptBesideDefaults},
        {"[" + NestedFile(100000) + "]", "nests arrays or objects more than 64 deep", DefaultFile},
        {"{\"pad\": \"" + std::string(Config::MaxFileBytes, ' ') + "\"}", "is 1048587 bytes long, more than the 1048576 a settings file may have",
         DefaultFile},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text.substr(0, 60));
        WriteFile("config.json", c.text);
        const uint32_t errorsBefore = ErrorLog.GetHistory().count;
        const uint32_t before = WarningLog.GetHistory().count;
        Config config;
        EXPECT_FALSE(config.fullscreen);
        EXPECT_EQ(config.resolutionScale, 1.0f);
        EXPECT_EQ(ErrorLog.GetHistory().count, errorsBefore);
        const DynArray<std::string>& warnings = WarningLog.GetHistory();
        ASSERT_EQ(warnings.count, before + 1);
        EXPECT_EQ(warnings[warnings.count - 1], "[Config.cpp:35]config.json " + c.fault + MovedAside);
        EXPECT_EQ(ReadFile("config.json.refused"), c.text);

        config.Save(); // must not throw on a document that is not an object
        EXPECT_EQ(ReadFile("config.json"), c.savedAs);
        EXPECT_EQ(SettingsEntries(), (std::vector<std::string>{"config.json", "config.json.refused"}));
    }

    // Text handed over directly is reported without any word of a file moved.
    LogWatch warnings(WarningLog);
    EXPECT_FALSE(Config().Parse("[1]"));
    EXPECT_EQ(warnings.Lines(),
              std::vector<std::string>{"[Config.cpp:35]config.json holds a JSON array where an object was expected; the default settings are used."});
}

// What is not a regular file is never opened: a pipe held the start up with no window, and a link
// to a device that never ends was read at hundreds of megabytes a second. It is moved aside all
// the same, as the node it is.
TEST(Config, FilesThatAreNotRegularAreMovedAsideUnread)
{
    const ScratchFolder folder;
    const struct
    {
        const char* name;
        std::function<void()> make;
        std::filesystem::file_type kept;
    } cases[] = {
        {"named pipe", [] { ASSERT_EQ(mkfifo("config.json", 0644), 0); }, std::filesystem::file_type::fifo},
        {"link to a device", [] { std::filesystem::create_symlink("/dev/zero", "config.json"); }, std::filesystem::file_type::symlink},
        {"folder", [] { std::filesystem::create_directories("config.json/inside"); }, std::filesystem::file_type::directory},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("config.json");                // the previous case's save
        std::filesystem::remove_all("config.json.refused"); // a folder cannot replace a pipe or link
        c.make();
        LogWatch warnings(WarningLog);
        Config config;
        EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"[Config.cpp:35]config.json is not a regular file" + MovedAside});
        EXPECT_EQ(std::filesystem::symlink_status("config.json.refused").type(), c.kept);
        config.Save();
        EXPECT_EQ(ReadFile("config.json"), DefaultFile);
    }
}

// A player pins their settings by taking the write permission off the file. The rename of a save
// needs only the folder's permission, even for the superuser, so the file was replaced anyway and
// came back writable; now it is left exactly as it is, refused or not.
TEST(Config, AFileThatMayNotBeWrittenIsLeftAsItIs)
{
    const ScratchFolder folder;
    const std::string notSaved =
        "[Config.cpp:175]config.json may not be written (Permission denied), so the settings were not saved and the file there is unchanged.";
    const struct
    {
        const char* text;
        std::vector<std::string> warnings; // at reading, then at saving
    } cases[] = {
        {"{\"fullscreen\": true, \"resolutionScale\": 0.75}", {notSaved}},
        {"{\"fullscreen\": tru",
         {"[Config.cpp:35]config.json is not valid JSON; the default settings are used, and the file was left where it is, since it may not "
          "be replaced (Permission denied).",
          notSaved}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::filesystem::remove("config.json");
        WriteFile("config.json", c.text);
        ASSERT_EQ(chmod("config.json", 0444), 0);
        LogWatch warnings(WarningLog);
        Config config;
        config.fullscreen = false;
        config.Save();
        EXPECT_EQ(warnings.Lines(), c.warnings);
        EXPECT_EQ(ReadFile("config.json"), c.text);
        EXPECT_EQ(FileMode("config.json"), 0444u);
        EXPECT_EQ(SettingsEntries(), std::vector<std::string>{"config.json"});
    }
}

// Should a refused file not move aside, the defaults must not be written over it either.
TEST(Config, ARefusedFileThatCannotMoveAsideIsNotOverwritten)
{
    const ScratchFolder folder;
    std::filesystem::create_directories("config.json.refused/taken");
    WriteFile("config.json", "{\"fullscreen\": true,}");
    LogWatch warnings(WarningLog);
    Config config;
    config.Save();
    config.Save();
    EXPECT_EQ(warnings.Lines(),
              (std::vector<std::string>{"[Config.cpp:35]config.json is not valid JSON; the default settings are used, and the file was left where it "
                                        "is, since it could not be moved to config.json.refused (Is a directory).",
                                        "[Config.cpp:164]config.json still holds the refused file, which could not be moved to "
                                        "config.json.refused, so the settings were not saved and the file there is unchanged.",
                                        "[Config.cpp:164]config.json still holds the refused file, which could not be moved to "
                                        "config.json.refused, so the settings were not saved and the file there is unchanged."}));
    EXPECT_EQ(ReadFile("config.json"), "{\"fullscreen\": true,}");
}

// A refused file kept aside earlier is the player's too: one they pinned by taking the write
// permission off it, or anything that is not a regular file, is never replaced by the next refused
// file (the move aside was a plain rename, which needs only the folder's permission and left the
// pinned file writable). The new one then stays where it is, and no save writes over it.
TEST(Config, ARefusedFileKeptAsideIsReplacedOnlyWhenItMayBe)
{
    const ScratchFolder folder;
    const std::string earlier = "{\"fullscreen\": maybe}";
    const std::string player = "{\"fullscreen\": true,}";
    const std::string leftInPlace = "; the default settings are used, and the file was left where it is, since ";
    const std::string notSaved = "[Config.cpp:164]config.json still holds the refused file, which could not be moved to config.json.refused, so "
                                 "the settings were not saved and the file there is unchanged.";
    const struct
    {
        const char* what;
        std::function<void()> make; // what stands at config.json.refused
        std::string outcome;        // empty: the file is moved aside
    } cases[] = {
        {"nothing", [] {}, ""},
        {"a writable file", [&] { WriteFile("config.json.refused", earlier); }, ""},
        {"a read-only file",
         [&] {
             WriteFile("config.json.refused", earlier);
             ASSERT_EQ(chmod("config.json.refused", 0444), 0);
         },
         "config.json.refused may not be replaced (Permission denied)."},
        {"a folder", [] { std::filesystem::create_directories("config.json.refused/taken"); },
         "it could not be moved to config.json.refused (Is a directory)."},
        {"a named pipe", [] { ASSERT_EQ(mkfifo("config.json.refused", 0644), 0); },
         "config.json.refused may not be replaced (it is not a regular file)."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all("config.json");
        std::filesystem::remove_all("config.json.refused");
        c.make();
        const std::filesystem::file_type standing = std::filesystem::symlink_status("config.json.refused").type();
        WriteFile("config.json", player);
        LogWatch warnings(WarningLog);
        Config config;
        config.Save();
        config.Save();
        if (c.outcome.empty())
        {
            EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"[Config.cpp:35]config.json is not valid JSON" + MovedAside});
            EXPECT_EQ(ReadFile("config.json.refused"), player);
            EXPECT_EQ(ReadFile("config.json"), DefaultFile);
            continue;
        }
        EXPECT_EQ(warnings.Lines(), (std::vector<std::string>{"[Config.cpp:35]config.json is not valid JSON" + leftInPlace + c.outcome, notSaved, notSaved}));
        EXPECT_EQ(ReadFile("config.json"), player);
        EXPECT_EQ(std::filesystem::symlink_status("config.json.refused").type(), standing);
        if (standing == std::filesystem::file_type::regular)
        {
            EXPECT_EQ(ReadFile("config.json.refused"), earlier);
            EXPECT_EQ(FileMode("config.json.refused"), 0444u);
        }
    }
    EXPECT_EQ(SettingsEntries(), (std::vector<std::string>{"config.json", "config.json.refused"}));
}

// Whatever start-up writes, the next start must read back. A file near the limit used to be saved
// indented past it, so that the start after refused it and every member was lost two starts on.
TEST(Config, WhatASaveWritesTheNextStartReadsBack)
{
    const ScratchFolder folder;
    // Written compact, as a save of a long document writes it, so that only indentation could
    // push it over.
    const auto compact = [](const std::string& member, const nlohmann::json& value, uint64_t bytes) {
        nlohmann::json document = {{"fullscreen", true}, {"resolutionScale", 0.75}, {member, value}};
        const std::string text = document.dump();
        if (value.is_string() && text.size() < bytes)
        {
            document[member] = value.get<std::string>() + std::string(bytes - text.size(), 'n');
            return document.dump();
        }
        return text;
    };
    const struct
    {
        const char* name;
        std::string text;
    } cases[] = {
        {"a few bytes under the limit", compact("notes", "", Config::MaxFileBytes - 3)},
        {"900 KB of zeros", compact("zeros", nlohmann::json(std::vector<int>(450000, 0)), 0)},
        {"a small file", "{\"fullscreen\": true, \"resolutionScale\": 0.75, \"volume\": 3}"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteFile("config.json", c.text);
        LogWatch warnings(WarningLog);
        Config first;
        ASSERT_TRUE(first.fullscreen);
        first.fullscreen = false;
        first.Save();
        EXPECT_LE(ReadFile("config.json").size(), Config::MaxFileBytes);

        Config next;
        EXPECT_EQ(warnings.Lines(), std::vector<std::string>{});
        EXPECT_FALSE(next.fullscreen);
        EXPECT_EQ(next.resolutionScale, 0.75f);
        EXPECT_EQ(next.document, first.document) << "every member survives";
        EXPECT_EQ(SettingsEntries(), std::vector<std::string>{"config.json"});
    }
    EXPECT_EQ(ReadFile("config.json"), "{\n \"fullscreen\": false,\n \"resolutionScale\": 0.75,\n \"volume\": 3\n}")
        << "a file that fits indented is written indented";
}

// Even without indentation a document can outgrow the file it was read from; then the file stays.
TEST(Config, ASaveTooLongForAnyFormLeavesTheFile)
{
    const ScratchFolder folder;
    std::string text = "{\"n\": [1e5";
    while (text.size() < Config::MaxFileBytes - 10)
        text += ",1e5";
    text += "]}";
    WriteFile("config.json", text);
    LogWatch warnings(WarningLog);
    Config config;
    config.fullscreen = true;
    config.Save();
    EXPECT_EQ(warnings.Lines(), std::vector<std::string>{"[Config.cpp:170]config.json would be longer than the 1048576 bytes a settings file may "
                                                         "have, so the settings were not saved and the file there is unchanged."});
    EXPECT_EQ(ReadFile("config.json"), text);
}

// A save that fails part way leaves the file that was there whole; the old way truncated it first
// and left it empty or cut.
TEST(Config, SaveReplacesTheFileWholeOrNotAtAll)
{
    const ScratchFolder folder;
    const std::string old = "{\"fullscreen\": true, \"notes\": \"" + std::string(5000, 'n') + "\"}";
    WriteFile("config.json", old);
    Config config;
    ASSERT_TRUE(config.fullscreen);
    config.fullscreen = false;

    ASSERT_TRUE(WithFileSizeLimit(1024, [&] { config.Save(); }));
    EXPECT_EQ(ReadFile("config.json"), old);

    config.Save();
    EXPECT_FALSE(Config().fullscreen);
    EXPECT_NE(ReadFile("config.json").find(std::string(5000, 'n')), std::string::npos);
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().find("config.json") != std::string::npos)
            entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"config.json"}) << "no temporary file is left";
}

TEST(Config, SaveKeepsOtherMembersAndRoundTrips)
{
    const ScratchFolder folder;
    WriteFile("config.json", "{\"volume\": {\"music\": 0.5}, \"fullscreen\": true, \"resolutionScale\": 1}");
    Config config;
    ASSERT_TRUE(config.fullscreen);
    config.fullscreen = false;
    config.resolutionScale = 0.75f;
    config.Save();
    EXPECT_EQ(ReadFile("config.json"), "{\n \"fullscreen\": false,\n \"resolutionScale\": 0.75,\n \"volume\": {\n  \"music\": 0.5\n }\n}");

    Config again;
    EXPECT_FALSE(again.fullscreen);
    EXPECT_EQ(again.resolutionScale, 0.75f);

    // A value that a float cannot hold exactly is written as the float widened, and reads back.
    again.resolutionScale = 1.1f;
    again.Save();
    EXPECT_NE(ReadFile("config.json").find("\"resolutionScale\": 1.100000023841858"), std::string::npos);
    EXPECT_EQ(Config().resolutionScale, 1.1f);
}
