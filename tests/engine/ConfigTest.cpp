#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "Config.h"
#include "LogChannel.h"
#include "TestFiles.h"

namespace
{
const char* const DefaultFile = "{\n \"fullscreen\": false,\n \"resolutionScale\": 1.0\n}";
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
        const char* text;
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
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        const uint32_t errorsBefore = ErrorLog.GetHistory().count;
        const uint32_t infoBefore = InfoLog.GetHistory().count;
        Config config;
        EXPECT_TRUE(config.Parse(c.text));
        EXPECT_EQ(config.fullscreen, c.fullscreen);
        EXPECT_EQ(config.resolutionScale, c.scale);
        EXPECT_EQ(ErrorLog.GetHistory().count, errorsBefore);
        EXPECT_EQ(InfoLog.GetHistory().count, infoBefore + (c.clampLogged ? 1u : 0u));
    }
}

TEST(Config, MalformedFilesKeepDefaultsWithOneErrorLine)
{
    struct Case
    {
        const char* text;
        const char* fault;
        const char* savedAs; // what a save writes afterwards
    };
    const Case cases[] = {
        {"{\"fullscreen\": tru", "is not valid JSON", DefaultFile},
        {"[true, 2]", "holds a JSON array where an object was expected", DefaultFile},
        {"7", "holds a JSON number where an object was expected", DefaultFile},
        {"{\"fullscreen\": \"yes\", \"resolutionScale\": 2, \"keep\": 1}", "has a \"fullscreen\" that is a string, not a boolean",
         "{\n \"fullscreen\": false,\n \"keep\": 1,\n \"resolutionScale\": 1.0\n}"},
        {"{\"fullscreen\": true, \"resolutionScale\": null}", "has a \"resolutionScale\" that is a null, not a number", DefaultFile},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        WriteFile("config.json", c.text);
        const uint32_t before = ErrorLog.GetHistory().count;
        Config config;
        EXPECT_FALSE(config.fullscreen);
        EXPECT_EQ(config.resolutionScale, 1.0f);
        const DynArray<std::string>& errors = ErrorLog.GetHistory();
        ASSERT_EQ(errors.count, before + 1);
        EXPECT_NE(errors[errors.count - 1].find(std::string("config.json ") + c.fault), std::string::npos) << errors[errors.count - 1];
        EXPECT_EQ(errors[errors.count - 1].rfind("[Config.cpp:", 0), 0u);

        config.Save(); // must not throw on a document that is not an object
        EXPECT_EQ(ReadFile("config.json"), c.savedAs);
    }
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
