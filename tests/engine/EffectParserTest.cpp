#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EffectParser.h"

namespace
{
const std::string Header = "#version 450\n\nin vec2 uvs;\n\nout vec4 FragColour;\n\n";
const std::string MainStart = "\n\nvoid main()\n{\n";
const std::string WorldPosLine = "\tvec2 worldPos = vec2(topLeft.x + (bottomRight.x - topLeft.x) * uvs.x, topLeft.y + "
                                 "(bottomRight.y - topLeft.y) * (1.0 - uvs.y));\n";

using Fault = EffectParser::Fault;
} // namespace

// The generated shader and what the effect declares, for the shapes of file the language allows.
TEST(EffectParser, GeneratesTheShaderText)
{
    const struct
    {
        const char* what;
        std::string text;
        std::string shader;
        std::vector<std::string> sources;
        std::vector<std::string> images;
        bool usesTime;
        bool usesWorldPos;
    } cases[] = {
        {"only a body", "$main:\nFragColour = vec4(1.0);\n\nreturn;\n",
         Header + MainStart + "\tFragColour = vec4(1.0);\n\t\n\treturn;\n}\n", {}, {}, false, false},
        {"lines before main are dropped, directives anywhere never copied",
         "// a comment\nfloat dropped;\n$source colourTexture\n$main:\nvec4 c = texture(colourTexture, uvs);\n$source fontTexture\n",
         Header + "uniform sampler2D colourTexture;\n" + MainStart + "\tvec4 c = texture(colourTexture, uvs);\n" +
             "uniform sampler2D fontTexture;\n}\n",
         {"colourTexture", "fontTexture"}, {}, false, false},
        {"every directive, worldPos before main",
         "$source magnetismTexture\n$image noise\n$variable time\n$variable worldPos\n$main:\nx;\n",
         Header + "uniform sampler2D magnetismTexture;\nuniform sampler2D noise;\nuniform float time;\n"
                  "uniform vec2 topLeft;\nuniform vec2 bottomRight;\n" +
             MainStart + WorldPosLine + "\tx;\n}\n",
         {"magnetismTexture"}, {"noise"}, true, true},
        {"worldPos after main declares inside main and has no worldPos line", "$main:\n$variable worldPos\ny;\n",
         Header + MainStart + "uniform vec2 topLeft;\nuniform vec2 bottomRight;\n\ty;\n}\n", {}, {}, false, true},
        {"Windows line ends, runs of spaces between words", "$source   colourTexture\r\n$main:\r\nz;\r\n",
         Header + "uniform sampler2D colourTexture;\n" + MainStart + "\tz;\n}\n", {"colourTexture"}, {}, false, false},
        {"a last line without a line feed", "$main:\nlast;", Header + MainStart + "\tlast;\n}\n", {}, {}, false, false},
        {"a repeated directive is acted on each time", "$variable time\n$variable time\n$main:\n",
         Header + "uniform float time;\nuniform float time;\n" + MainStart + "}\n", {}, {}, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const EffectParser::Result result = EffectParser::Parse(c.text, "Test");
        EXPECT_EQ(result.shader, c.shader);
        EXPECT_EQ(result.sources, c.sources);
        EXPECT_EQ(result.images, c.images);
        EXPECT_EQ(result.usesTime, c.usesTime);
        EXPECT_EQ(result.usesWorldPos, c.usesWorldPos);
        EXPECT_TRUE(result.foundMain);
        EXPECT_TRUE(result.readable);
        EXPECT_TRUE(result.faults.empty()) << result.faults.front().message;
    }
}

// Each fault is one message under its fixed log line, with the line of the file it was found on.
TEST(EffectParser, ReportsEachFaultOnce)
{
    const struct
    {
        const char* what;
        std::string text;
        std::vector<Fault> faults;
        std::string declared; // a declaration the shader must (still) hold, or ""
    } cases[] = {
        {"$source without a name", "$main:\n$source\n", {{133, "Invalid $source directive on line 2 of effect file Bad"}}, ""},
        {"$image without a name, lines counted from 1 including blank ones", "\n\n$main:\n\n$image  \n",
         {{145, "Invalid $image directive on line 5 of effect file Bad"}}, ""},
        {"$variable without a name", "$variable\n$main:\n", {{166, "Invalid $variable directive on line 1 of effect file Bad"}}, ""},
        {"no main", "$source colourTexture\nFragColour = vec4(1.0);\n", {{198, "Never found $main directive in effect file Bad"}},
         "uniform sampler2D colourTexture;"},
        {"a tab does not split words", "$source\tcolourTexture\n$main:\n$variable time\tworldPos\n",
         {{180, "Unknown directive \"$source?colourTexture\" on line 1 of effect file Bad is ignored"},
          {170, "Unknown variable \"time?worldPos\" in the $variable directive on line 3 of effect file Bad; the variables are time and "
                "worldPos"}},
         ""},
        {"$main without the colon is no main",
         "$main\nx;\n",
         {{180, "Unknown directive \"$main\" on line 1 of effect file Bad is ignored"}, {198, "Never found $main directive in effect file Bad"}},
         ""},
        {"extra words are ignored, the directive still acts", "$source colourTexture please\n$main:\n",
         {{137, "Extra words after the $source directive on line 1 of effect file Bad are ignored: \"please\""}},
         "uniform sampler2D colourTexture;"},
        {"extra words after main", "$main: now\n", {{137, "Extra words after the $main: directive on line 1 of effect file Bad are ignored: \"now\""}},
         "void main()"},
        {"unknown channel, still declared",
         "$source colorTexture\n$main:\n",
         {{140, "Unknown channel \"colorTexture\" in the $source directive on line 1 of effect file Bad; the channels are colourTexture, "
                "fontTexture, worldShapesTexture and magnetismTexture"}},
         "uniform sampler2D colorTexture;"},
        {"unknown variable", "$variable worldpos\n$main:\n",
         {{170, "Unknown variable \"worldpos\" in the $variable directive on line 1 of effect file Bad; the variables are time and worldPos"}},
         ""},
        {"an image name that would leave the image folder", "$image ../../secret\n$main:\n",
         {{150, "Invalid image name \"../../secret\" in the $image directive on line 1 of effect file Bad; an image is named by letters, "
                "digits and '_'"}},
         ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const EffectParser::Result result = EffectParser::Parse(c.text, "Bad");
        EXPECT_EQ(result.faults, c.faults);
        EXPECT_TRUE(result.readable);
        EXPECT_TRUE(result.images.empty());
        EXPECT_EQ(result.shader.rfind(Header, 0), 0u);
        EXPECT_EQ(result.shader.find("$"), std::string::npos) << "a directive reached the shader";
        if (!c.declared.empty())
        {
            EXPECT_NE(result.shader.find(c.declared), std::string::npos);
        }
    }
}

TEST(EffectParser, RefusesWhatIsNotAnEffectFileWhole)
{
    const std::string junk("\x7f" "ELF\x02\x01\x01\0\0\0$main:\n", 15);
    const std::string huge = "$main:\n" + std::string(EffectParser::MaxFileBytes, 'x');
    const std::string withNul = std::string("$main:\nx;\n") + '\0' + "y;\n";
    const struct
    {
        const char* what;
        std::string text;
        Fault fault;
    } cases[] = {
        {"binary junk", junk, {112, "Effect file Bin? is not text (byte 127 at offset 0); it is not loaded"}},
        {"a NUL inside text", withNul, {112, "Effect file Bin? is not text (byte 0 at offset 10); it is not loaded"}},
        {"too large", huge, {116, "Effect file Bin? is 65543 bytes long, more than the 65536 an effect may have; it is not loaded"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        // The name is shown cleaned, whatever bytes the file name holds.
        const EffectParser::Result result = EffectParser::Parse(c.text, "Bin\n");
        EXPECT_FALSE(result.readable);
        EXPECT_TRUE(result.shader.empty());
        EXPECT_FALSE(result.foundMain);
        EXPECT_EQ(result.faults, std::vector<Fault>{c.fault});
    }
}

// Units go to the channels the program really samples, in channel order whatever the file's
// order, then to its images in file order; a sampler the compiler dropped gets none.
TEST(EffectParser, AssignsTextureUnitsToTheActiveSamplers)
{
    const EffectParser::Result effect = EffectParser::Parse("$image stars\n$source magnetismTexture\n$image dust\n$source fontTexture\n"
                                                            "$source colourTexture\n$image unread\n$main:\n",
                                                            "Units");
    ASSERT_TRUE(effect.faults.empty());
    using Unit = EffectParser::SamplerUnit;
    const struct
    {
        const char* what;
        std::set<std::string> active;
        std::vector<Unit> units;
    } cases[] = {
        {"colour, magnetism and an image", {"colourTexture", "magnetismTexture", "dust"},
         {{"colourTexture", 0, false, EffectParser::ColourChannel}, {"magnetismTexture", 1, false, EffectParser::MagnetismChannel},
          {"dust", 2, true, 1}}},
        {"a declared channel the body never reads", {"colourTexture", "stars"},
         {{"colourTexture", 0, false, EffectParser::ColourChannel}, {"stars", 1, true, 0}}},
        {"all four channels and two images",
         {"colourTexture", "fontTexture", "worldShapesTexture", "magnetismTexture", "stars", "dust"},
         {{"colourTexture", 0, false, 0}, {"fontTexture", 1, false, 1}, {"worldShapesTexture", 2, false, 2}, {"magnetismTexture", 3, false, 3},
          {"stars", 4, true, 0}, {"dust", 5, true, 1}}},
        {"nothing sampled", {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto units = EffectParser::AssignUnits(effect, [&](const std::string& sampler) { return c.active.count(sampler) > 0; });
        EXPECT_EQ(units, c.units);
    }
}
