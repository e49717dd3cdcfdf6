#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "ControlScheme.h"
#include "InputNames.h"
#include "LogChannel.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

namespace
{
// The input names of one list, in order: what a player would see in the file.
std::vector<std::string> Names(const DynArray<InputBinding>& list)
{
    std::vector<std::string> names;
    for (const InputBinding& binding : list)
        names.push_back(InputToName(binding));
    return names;
}

struct SchemeNames
{
    std::vector<std::string> jump, rotateRight, rotateLeft, brake, fang;
};

void ExpectScheme(const ControlScheme& scheme, const SchemeNames& expected)
{
    EXPECT_EQ(Names(scheme.jump), expected.jump);
    EXPECT_EQ(Names(scheme.rotateRight), expected.rotateRight);
    EXPECT_EQ(Names(scheme.rotateLeft), expected.rotateLeft);
    EXPECT_EQ(Names(scheme.brake), expected.brake);
    EXPECT_EQ(Names(scheme.fang), expected.fang);
}

// Runs `action` and hands back the ErrorLog lines it ended.
template <typename Action>
std::vector<std::string> ErrorsDuring(Action action)
{
    const uint32_t before = ErrorLog.GetHistory().count;
    testing::internal::CaptureStdout(); // the echoed copies would only clutter the test output
    action();
    testing::internal::GetCapturedStdout();
    const DynArray<std::string>& history = ErrorLog.GetHistory();
    return std::vector<std::string>(history.items + before, history.items + history.count);
}

std::string Malformed(int line, const std::string& text)
{
    return "[ControlScheme.cpp:" + std::to_string(line) + "]Found malformed input settings line: \"" + text + "\".Ignoring...";
}

const SchemeNames DefaultNames = {
    {"Key::W", "Mouse::LeftClick"}, {"Key::D"}, {"Key::A"}, {"Key::S"}, {"Key::Space", "Mouse::RightClick"}};

const char* const DefaultFile = "Fang->Key::Space\n"
                                "Fang->Mouse::RightClick\n"
                                "Jump->Key::W\n"
                                "Jump->Mouse::LeftClick\n"
                                "Brake->Key::S\n"
                                "RotateLeft->Key::A\n"
                                "RotateRight->Key::D\n";
} // namespace

TEST(ControlScheme, NewSchemeHasFiveEmptyLists)
{
    const ControlScheme scheme;
    for (const DynArray<InputBinding>* list : {&scheme.jump, &scheme.rotateRight, &scheme.rotateLeft, &scheme.brake, &scheme.fang})
    {
        EXPECT_EQ(list->count, 0u);
        EXPECT_EQ(list->capacity, 16u);
    }
}

TEST(ControlScheme, DefaultsAreSavedAsSevenLinesAndReadBackUnchanged)
{
    const ScratchFolder folder;
    const ControlScheme defaults = ControlScheme::MakeDefault();
    ExpectScheme(defaults, DefaultNames);
    EXPECT_EQ(defaults.jump[0], (InputBinding{InputDevice::Key, 87}));
    EXPECT_EQ(defaults.fang[1], (InputBinding{InputDevice::Mouse, 1}));

    WriteFile("Player1Controls.txt", "an older, much longer file that Save must replace entirely\n\n\n\n\n\n\n\n\n\n\n\n\n\n");
    defaults.Save("Player1Controls.txt");
    EXPECT_EQ(ReadFile("Player1Controls.txt"), DefaultFile);

    ControlScheme loaded;
    const std::vector<std::string> errors = ErrorsDuring([&] { loaded = ControlScheme::Load("Player1Controls.txt"); });
    EXPECT_TRUE(errors.empty());
    ExpectScheme(loaded, DefaultNames);
}

TEST(ControlScheme, SaveWritesEveryActionInFileOrderWithNamesOrInvalid)
{
    const ScratchFolder folder;
    ControlScheme scheme;
    scheme.rotateRight.PushBack({InputDevice::Controller, 11});
    scheme.rotateLeft.PushBack({InputDevice::Mouse, 2});
    scheme.brake.PushBack({InputDevice::Key, 0});       // a code without a name
    scheme.brake.PushBack({InputDevice::Unknown, 5});
    scheme.jump.PushBack({InputDevice::Controller, 0});
    scheme.jump.PushBack({InputDevice::Controller, 0}); // duplicates are kept
    scheme.Save("controls.txt");
    EXPECT_EQ(ReadFile("controls.txt"), "Jump->Controller::A\n"
                                        "Jump->Controller::A\n"
                                        "Brake->Key::Invalid\n"
                                        "Brake->Unknown::Invalid\n"
                                        "RotateLeft->Mouse::MiddleClick\n"
                                        "RotateRight->Controller::DPadRight\n");

    // Nowhere to write: silently nothing.
    std::filesystem::create_directory("folder");
    const std::vector<std::string> errors = ErrorsDuring([&] {
        scheme.Save("folder");
        scheme.Save("no/such/folder/controls.txt");
    });
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(std::filesystem::is_directory("folder"));
    EXPECT_FALSE(std::filesystem::exists("no"));
}

TEST(ControlScheme, LoadReportsEachMalformedLineAndKeepsTheRest)
{
    const ScratchFolder folder;
    const std::string longName(1 << 20, 'a');
    const struct
    {
        const char* label;
        std::string file;
        std::vector<std::string> errors;
        SchemeNames scheme;
    } cases[] = {
        {"empty file", "", {}, {}},
        {"only line ends", "\n\n\n", {}, {}},
        {"every action, no final line end",
         "RotateRight->Controller::DPadUp\nRotateLeft->Key::LeftArrow\nBrake->Mouse::MiddleClick\nFang->Key::F25\nJump->Key::Zero_Numpad",
         {},
         {{"Key::Zero_Numpad"}, {"Controller::DPadUp"}, {"Key::LeftArrow"}, {"Mouse::MiddleClick"}, {"Key::F25"}}},
        {"duplicates stand twice", "Jump->Key::W\nJump->Key::W\n", {}, {{"Key::W", "Key::W"}, {}, {}, {}, {}}},
        {"Windows line ends", "Jump->Key::W\r\n\r\nBrake->Key::S\r\n", {}, {{"Key::W"}, {}, {}, {"Key::S"}, {}}},
        {"no arrow", "Jump\n", {Malformed(18, "Jump")}, {}},
        {"spaces around the arrow", "Jump -> Key::W\n", {Malformed(55, "Jump -> Key::W")}, {}},
        {"action in small letters", "jump->Key::W\n", {Malformed(50, "jump->Key::W")}, {}},
        {"tab before the arrow", "Jump\t->Key::W\n", {Malformed(50, "Jump\t->Key::W")}, {}},
        {"nothing after the arrow", "Jump->\n", {Malformed(55, "Jump->")}, {}},
        {"invalid input name", "Jump->Key::Invalid\n", {Malformed(55, "Jump->Key::Invalid")}, {}},
        {"nothing before the arrow", "->Key::W\n", {Malformed(50, "->Key::W")}, {}},
        {"bad action and bad input", "Dance->Key::Nope\n", {Malformed(55, "Dance->Key::Nope")}, {}},
        {"only the first arrow splits", "Jump->Key::W->X\n", {Malformed(55, "Jump->Key::W->X")}, {}},
        {"a lone arrow", "->\n", {Malformed(55, "->")}, {}},
        {"odd bytes", "\x01\xff\xfe->\x80\x7f\n", {Malformed(55, "\x01\xff\xfe->\x80\x7f")}, {}},
        {"a NUL inside the input name", std::string("Jump->Key::W\0tail\n", 18), {Malformed(55, std::string("Jump->Key::W\0tail", 17))}, {}},
        {"a very long line without an arrow", longName + "\n", {Malformed(18, longName)}, {}},
        {"a very long action", longName + "->Key::W", {Malformed(50, longName + "->Key::W")}, {}},
        {"good lines around bad ones",
         "Fang->Mouse::RightClick\nJump\n\nbrake->Key::S\nRotateLeft->Controller::Back\nJump->Key::Jump\nFang->Key::Space",
         {Malformed(18, "Jump"), Malformed(50, "brake->Key::S"), Malformed(55, "Jump->Key::Jump")},
         {{}, {}, {"Controller::Back"}, {}, {"Mouse::RightClick", "Key::Space"}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        WriteFile("controls.txt", c.file);
        ControlScheme scheme;
        const std::vector<std::string> errors = ErrorsDuring([&] { scheme = ControlScheme::Load("controls.txt"); });
        EXPECT_EQ(errors, c.errors);
        ExpectScheme(scheme, c.scheme);
    }
}

TEST(ControlScheme, UnopenableFileIsReportedAndGivesNoBindings)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("a folder");
    for (const std::string path : {"missing.txt", "a folder", "no/such/folder/controls.txt", ""})
    {
        SCOPED_TRACE(path);
        ControlScheme scheme = ControlScheme::MakeDefault();
        const std::vector<std::string> errors = ErrorsDuring([&] { scheme = ControlScheme::Load(path); });
        EXPECT_EQ(errors, std::vector<std::string>{"[ControlScheme.cpp:63]Failed to open input file \"" + path + "\"."});
        ExpectScheme(scheme, {});
    }
}

TEST(ControlScheme, MoveAssignmentTakesTheListsAndEmptiesTheSource)
{
    ControlScheme source = ControlScheme::MakeDefault();
    ControlScheme target;
    target.brake.PushBack({InputDevice::Key, 81}); // replaced, and its block freed (ASan would see a leak)
    const InputBinding* sourceJumpBlock = source.jump.items;

    target = std::move(source);
    ExpectScheme(target, DefaultNames);
    EXPECT_EQ(target.jump.items, sourceJumpBlock) << "the block moves, it is not copied";
    for (const DynArray<InputBinding>* list : {&source.jump, &source.rotateRight, &source.rotateLeft, &source.brake, &source.fang})
    {
        EXPECT_EQ(list->count, 0u);
        EXPECT_EQ(list->capacity, 0u);
        EXPECT_EQ(list->items, nullptr);
    }

    // A moved-from scheme is still usable.
    source.fang.PushBack({InputDevice::Mouse, 0});
    EXPECT_EQ(Names(source.fang), std::vector<std::string>{"Mouse::LeftClick"});
}

TEST(IsAnyBindingHeld, NothingIsHeldWithoutAnInputThatCanBe)
{
    // No GLFW here at all: GLFW answers every query as released and the guards keep the null
    // window from reaching it.
    DynArray<InputBinding> bindings;
    EXPECT_FALSE(IsAnyBindingHeld(bindings, nullptr));
    bindings.PushBack({});
    bindings.PushBack({InputDevice::Unknown, 87});
    bindings.PushBack({static_cast<InputDevice>(9), 0});
    bindings.PushBack({InputDevice::Key, 87});
    bindings.PushBack({InputDevice::Mouse, 0});
    bindings.PushBack({InputDevice::Controller, 0});
    bindings.PushBack({InputDevice::Controller, 1000});
    EXPECT_FALSE(IsAnyBindingHeld(bindings, nullptr));
}

TEST(IsControllerButtonHeld, EachCodeReadsTheGamepadButtonOfItsName)
{
    const struct
    {
        const char* name;
        int gamepadButton;
    } buttons[] = {
        {"Controller::A", GLFW_GAMEPAD_BUTTON_A},
        {"Controller::B", GLFW_GAMEPAD_BUTTON_B},
        {"Controller::X", GLFW_GAMEPAD_BUTTON_X},
        {"Controller::Y", GLFW_GAMEPAD_BUTTON_Y},
        {"Controller::LeftBumper", GLFW_GAMEPAD_BUTTON_LEFT_BUMPER},
        {"Controller::RightBumper", GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER},
        {"Controller::LeftJoystickClick", GLFW_GAMEPAD_BUTTON_LEFT_THUMB},
        {"Controller::RightJoystickClick", GLFW_GAMEPAD_BUTTON_RIGHT_THUMB},
        {"Controller::DPadUp", GLFW_GAMEPAD_BUTTON_DPAD_UP},
        {"Controller::DPadDown", GLFW_GAMEPAD_BUTTON_DPAD_DOWN},
        {"Controller::DPadLeft", GLFW_GAMEPAD_BUTTON_DPAD_LEFT},
        {"Controller::DPadRight", GLFW_GAMEPAD_BUTTON_DPAD_RIGHT},
        {"Controller::Start", GLFW_GAMEPAD_BUTTON_START},
        {"Controller::Back", GLFW_GAMEPAD_BUTTON_BACK},
    };
    ASSERT_EQ(std::size(buttons), ControllerNameToButton.size());
    for (const auto& pressed : buttons)
    {
        SCOPED_TRACE(pressed.name);
        GLFWgamepadstate state{};
        state.buttons[pressed.gamepadButton] = GLFW_PRESS;
        for (const auto& asked : buttons)
        {
            const InputBinding binding = NameToInput(asked.name);
            ASSERT_EQ(binding.device, InputDevice::Controller);
            EXPECT_EQ(IsControllerButtonHeld(state, binding.code), &asked == &pressed) << "asked " << asked.name;
        }
    }

    // The guide button has no name, and codes outside the table read nothing, even with every
    // button down.
    GLFWgamepadstate everything{};
    for (unsigned char& button : everything.buttons)
        button = GLFW_PRESS;
    for (const int32_t code : {-1, 14, 15, 1000, INT32_MIN, INT32_MAX})
        EXPECT_FALSE(IsControllerButtonHeld(everything, code)) << code;
}
