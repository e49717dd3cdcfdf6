#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Config.h"
#include "FileSizeLimit.h"
#include "LogChannel.h"
#include "TestFiles.h"

namespace
{
const char* const DefaultFile = "{\n \"fullscreen\": false,\n \"resolutionScale\": 1.0\n}";

// A settings file whose member "deep" holds arrays nested `arrays` deep inside the document.
std::string NestedFile(size_t arrays)
{
    return "{\"keep\": 1, \"deep\": " + std::string(arrays, '[') + std::string(arrays, ']') + "}";
}
} // namespace

TEST(Config, MissingFileKeepsDefaultsAndSavesTheFourLines)
{
    Config config;
    EXPECT_FALSE(config.fullscreen);
    EXPECT_EQ(config.resolutionScale, 1.0f);
    EXPECT_TRUE(config.document.is_null());
    config.Save();
    EXPECT_EQ(ReadFile("config.json"), DefaultFile);
}

TEST(Config, ReadsWellFormedFiles)
{
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
// defaults with one warning, which never waits for a key, and the next save writes a whole file
// that keeps every member it could.
TEST(Config, MalformedFilesKeepDefaultsWithOneWarning)
{
    const std::string keptBesideDefaults = "{\n \"fullscreen\": false,\n \"keep\": 1,\n \"resolutionScale\": 1.0\n}";
    struct Case
    {
        std::string text;
        std::string fault;
        std::string savedAs; // what a save writes afterwards
    };
    const Case cases[] = {
        {"{\"fullscreen\": tru", "is not valid JSON", DefaultFile},
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
        EXPECT_EQ(warnings[warnings.count - 1], "[Config.cpp:35]config.json " + c.fault + "; the default settings are used.");

        config.Save(); // must not throw on a document that is not an object
        EXPECT_EQ(ReadFile("config.json"), c.savedAs);
    }
}

// A save that fails part way leaves the file that was there whole; the old way truncated it first
// and left it empty or cut.
TEST(Config, SaveReplacesTheFileWholeOrNotAtAll)
{
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
