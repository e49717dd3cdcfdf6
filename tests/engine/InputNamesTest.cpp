#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "InputNames.h"
#include "LogChannel.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

namespace
{
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text)
    {
        if (c == '\n')
        {
            lines.push_back(line);
            line.clear();
        }
        else
            line += c;
    }
    if (!line.empty())
        lines.push_back(line); // a last line without its line end shows up as an extra line
    return lines;
}
} // namespace

TEST(NameToInput, ResolvesNamesExactly)
{
    const struct
    {
        std::string name;
        InputDevice device;
        int32_t code; // ignored for Unknown
    } cases[] = {
        {"Key::W", InputDevice::Key, 87},
        {"Key::Space", InputDevice::Key, 32},
        {"Key::FullStop", InputDevice::Key, 46},
        {"Key::Grave", InputDevice::Key, 96},
        {"Key::WorldKey2", InputDevice::Key, 162},
        {"Key::Escape", InputDevice::Key, 256},
        {"Key::F25", InputDevice::Key, 314},
        {"Key::Zero_Numpad", InputDevice::Key, 320},
        {"Key::Equals_Numpad", InputDevice::Key, 336},
        {"Key::Menu", InputDevice::Key, 348},
        {"Mouse::LeftClick", InputDevice::Mouse, 0},
        {"Mouse::RightClick", InputDevice::Mouse, 1},
        {"Mouse::MiddleClick", InputDevice::Mouse, 2},
        {"Controller::A", InputDevice::Controller, 0},
        {"Controller::Start", InputDevice::Controller, 12},
        {"Controller::Back", InputDevice::Controller, 13},
        {"Key::Invalid", InputDevice::Unknown, 0},
        {"Mouse::Invalid", InputDevice::Unknown, 0},
        {"Controller::Invalid", InputDevice::Unknown, 0},
        {"Unknown::Invalid", InputDevice::Unknown, 0},
        {"key::w", InputDevice::Unknown, 0},
        {"Key::w", InputDevice::Unknown, 0},
        {" Key::W", InputDevice::Unknown, 0},
        {"Key::W ", InputDevice::Unknown, 0},
        {"Key::W\r", InputDevice::Unknown, 0},
        {std::string("Key::W\0", 7), InputDevice::Unknown, 0},
        {"W", InputDevice::Unknown, 0},
        {"", InputDevice::Unknown, 0},
        {"\xff\xfe::\x01", InputDevice::Unknown, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("name \"" + c.name + "\"");
        const InputBinding binding = NameToInput(c.name);
        EXPECT_EQ(binding.device, c.device);
        if (c.device != InputDevice::Unknown)
        {
            EXPECT_EQ(binding.code, c.code);
        }
    }
}

TEST(InputToName, NamesCodesAndFallsBackPerDevice)
{
    const struct
    {
        InputBinding binding;
        const char* name;
    } cases[] = {
        {{InputDevice::Key, 87}, "Key::W"},
        {{InputDevice::Key, 161}, "Key::WorldKey1"},
        {{InputDevice::Key, 0}, "Key::Invalid"},
        {{InputDevice::Key, 349}, "Key::Invalid"},
        {{InputDevice::Key, 58}, "Key::Invalid"}, // a gap between named keys
        {{InputDevice::Key, -1}, "Key::Invalid"},
        {{InputDevice::Mouse, 2}, "Mouse::MiddleClick"},
        {{InputDevice::Mouse, 3}, "Mouse::Invalid"},
        {{InputDevice::Mouse, -1}, "Mouse::Invalid"},
        {{InputDevice::Controller, 6}, "Controller::LeftJoystickClick"},
        {{InputDevice::Controller, 14}, "Controller::Invalid"},
        {{InputDevice::Controller, INT32_MIN}, "Controller::Invalid"},
        {{InputDevice::Unknown, 0}, "Unknown::Invalid"},
        {{InputDevice::Unknown, 87}, "Unknown::Invalid"},
        {{static_cast<InputDevice>(4), 0}, "Unknown::Invalid"},
        {{static_cast<InputDevice>(0xFFFFFFFFu), 1}, "Unknown::Invalid"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InputToName(c.binding), c.name);
    }
}

TEST(InputNameTables, HoldEveryNameOnceInBothDirections)
{
    const struct
    {
        const std::map<int32_t, std::string>& byCode;
        const std::map<std::string, int32_t>& byName;
        size_t entries;
        const char* prefix;
        InputDevice device;
        int32_t firstCode;
        int32_t noSuchInput;
    } devices[] = {
        {KeyCodeToName, KeyNameToCode, 120, "Key::", InputDevice::Key, 32, NoSuchKey},
        {MouseButtonToName, MouseNameToButton, 3, "Mouse::", InputDevice::Mouse, 0, NoSuchMouseButton},
        {ControllerButtonToName, ControllerNameToButton, 14, "Controller::", InputDevice::Controller, 0, NoSuchControllerButton},
    };
    for (const auto& d : devices)
    {
        SCOPED_TRACE(d.prefix);
        ASSERT_EQ(d.byCode.size(), d.entries);
        ASSERT_EQ(d.byName.size(), d.entries);
        EXPECT_EQ(d.byCode.begin()->first, d.firstCode);
        EXPECT_EQ(d.byCode.rbegin()->first, d.noSuchInput - 1) << "one past the last code means no input";
        for (const auto& [code, name] : d.byCode)
        {
            SCOPED_TRACE(name);
            EXPECT_TRUE(name.starts_with(d.prefix));
            ASSERT_TRUE(d.byName.contains(name));
            EXPECT_EQ(d.byName.at(name), code);
            const InputBinding binding = NameToInput(name);
            EXPECT_EQ(binding, (InputBinding{d.device, code}));
            EXPECT_EQ(InputToName(binding), name);
        }
    }
}

TEST(WriteControlInfo, ListsEveryNameAtItsLine)
{
    const ScratchFolder folder;
    std::filesystem::create_directories("Data");
    {
        // An earlier, longer file must not leave its tail behind.
        std::ofstream earlier("Data/ControlInfo.txt");
        for (int i = 0; i < 500; ++i)
            earlier << "stale line " << i << '\n';
    }
    WriteControlInfo();
    const std::string text = ReadFile("Data/ControlInfo.txt");
    ASSERT_TRUE(text.ends_with("Controller::Back\n"));
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 140u);

    EXPECT_EQ(lines[0], "The following options are available for customising your controls (although controller input doesn't work yet):");
    EXPECT_EQ(lines[1], "Key::Space");
    EXPECT_EQ(lines[120], "Key::Menu");
    EXPECT_EQ(lines[121], "");
    EXPECT_EQ(lines[122], "Mouse::LeftClick");
    EXPECT_EQ(lines[123], "Mouse::RightClick");
    EXPECT_EQ(lines[124], "Mouse::MiddleClick");
    EXPECT_EQ(lines[125], "");
    EXPECT_EQ(lines[126], "Controller::A");
    EXPECT_EQ(lines[139], "Controller::Back");

    // Keys climb by code, controllers by the game's own code.
    int32_t previousKey = -1;
    for (size_t i = 1; i <= 120; ++i)
    {
        ASSERT_TRUE(KeyNameToCode.contains(lines[i])) << lines[i];
        EXPECT_GT(KeyNameToCode.at(lines[i]), previousKey) << lines[i];
        previousKey = KeyNameToCode.at(lines[i]);
    }
    for (int32_t code = 0; code < 14; ++code)
        EXPECT_EQ(lines[126 + code], ControllerButtonToName.at(code));
}

TEST(WriteControlInfo, WithoutTheDataFolderWritesNothingAndReportsNothing)
{
    const ScratchFolder folder;
    std::filesystem::remove_all("Data");
    const uint32_t errorsBefore = ErrorLog.GetHistory().count;
    WriteControlInfo();
    EXPECT_FALSE(std::filesystem::exists("Data/ControlInfo.txt"));
    EXPECT_FALSE(std::filesystem::exists("Data"));
    EXPECT_EQ(ErrorLog.GetHistory().count, errorsBefore);
}
