#include "InputNames.h"

#include <fstream>
#include <utility>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace
{
using NamePair = std::pair<int32_t, const char*>;

// Each list is the single source of a pair of tables, so a name and its code cannot disagree
// between the two directions.
const NamePair KeyNames[] = {
    {GLFW_KEY_SPACE, "Key::Space"},
    {GLFW_KEY_APOSTROPHE, "Key::Apostrophe"},
    {GLFW_KEY_COMMA, "Key::Comma"},
    {GLFW_KEY_MINUS, "Key::Minus_Standard"},
    {GLFW_KEY_PERIOD, "Key::FullStop"},
    {GLFW_KEY_SLASH, "Key::ForwardSlash"},
    {GLFW_KEY_0, "Key::Zero_Standard"},
    {GLFW_KEY_1, "Key::One_Standard"},
    {GLFW_KEY_2, "Key::Two_Standard"},
    {GLFW_KEY_3, "Key::Three_Standard"},
    {GLFW_KEY_4, "Key::Four_Standard"},
    {GLFW_KEY_5, "Key::Five_Standard"},
    {GLFW_KEY_6, "Key::Six_Standard"},
    {GLFW_KEY_7, "Key::Seven_Standard"},
    {GLFW_KEY_8, "Key::Eight_Standard"},
    {GLFW_KEY_9, "Key::Nine_Standard"},
    {GLFW_KEY_SEMICOLON, "Key::Semicolon"},
    {GLFW_KEY_EQUAL, "Key::Equals_Standard"},
    {GLFW_KEY_A, "Key::A"},
    {GLFW_KEY_B, "Key::B"},
    {GLFW_KEY_C, "Key::C"},
    {GLFW_KEY_D, "Key::D"},
    {GLFW_KEY_E, "Key::E"},
    {GLFW_KEY_F, "Key::F"},
    {GLFW_KEY_G, "Key::G"},
    {GLFW_KEY_H, "Key::H"},
    {GLFW_KEY_I, "Key::I"},
    {GLFW_KEY_J, "Key::J"},
    {GLFW_KEY_K, "Key::K"},
    {GLFW_KEY_L, "Key::L"},
    {GLFW_KEY_M, "Key::M"},
    {GLFW_KEY_N, "Key::N"},
    {GLFW_KEY_O, "Key::O"},
    {GLFW_KEY_P, "Key::P"},
    {GLFW_KEY_Q, "Key::Q"},
    {GLFW_KEY_R, "Key::R"},
    {GLFW_KEY_S, "Key::S"},
    {GLFW_KEY_T, "Key::T"},
    {GLFW_KEY_U, "Key::U"},
    {GLFW_KEY_V, "Key::V"},
    {GLFW_KEY_W, "Key::W"},
    {GLFW_KEY_X, "Key::X"},
    {GLFW_KEY_Y, "Key::Y"},
    {GLFW_KEY_Z, "Key::Z"},
    {GLFW_KEY_LEFT_BRACKET, "Key::LeftBracket"},
    {GLFW_KEY_BACKSLASH, "Key::BackSlash"},
    {GLFW_KEY_RIGHT_BRACKET, "Key::RightBracket"},
    {GLFW_KEY_GRAVE_ACCENT, "Key::Grave"},
    {GLFW_KEY_WORLD_1, "Key::WorldKey1"},
    {GLFW_KEY_WORLD_2, "Key::WorldKey2"},
    {GLFW_KEY_ESCAPE, "Key::Escape"},
    {GLFW_KEY_ENTER, "Key::Enter"},
    {GLFW_KEY_TAB, "Key::Tab"},
    {GLFW_KEY_BACKSPACE, "Key::Backspace"},
    {GLFW_KEY_INSERT, "Key::Insert"},
    {GLFW_KEY_DELETE, "Key::Delete"},
    {GLFW_KEY_RIGHT, "Key::RightArrow"},
    {GLFW_KEY_LEFT, "Key::LeftArrow"},
    {GLFW_KEY_DOWN, "Key::DownArrow"},
    {GLFW_KEY_UP, "Key::UpArrow"},
    {GLFW_KEY_PAGE_UP, "Key::PageUp"},
    {GLFW_KEY_PAGE_DOWN, "Key::PageDown"},
    {GLFW_KEY_HOME, "Key::Home"},
    {GLFW_KEY_END, "Key::End"},
    {GLFW_KEY_CAPS_LOCK, "Key::CapsLock"},
    {GLFW_KEY_SCROLL_LOCK, "Key::ScrollLock"},
    {GLFW_KEY_NUM_LOCK, "Key::NumLock"},
    {GLFW_KEY_PRINT_SCREEN, "Key::PrintScreen"},
    {GLFW_KEY_PAUSE, "Key::Pause"},
    {GLFW_KEY_F1, "Key::F1"},
    {GLFW_KEY_F2, "Key::F2"},
    {GLFW_KEY_F3, "Key::F3"},
    {GLFW_KEY_F4, "Key::F4"},
    {GLFW_KEY_F5, "Key::F5"},
    {GLFW_KEY_F6, "Key::F6"},
    {GLFW_KEY_F7, "Key::F7"},
    {GLFW_KEY_F8, "Key::F8"},
    {GLFW_KEY_F9, "Key::F9"},
    {GLFW_KEY_F10, "Key::F10"},
    {GLFW_KEY_F11, "Key::F11"},
    {GLFW_KEY_F12, "Key::F12"},
    {GLFW_KEY_F13, "Key::F13"},
    {GLFW_KEY_F14, "Key::F14"},
    {GLFW_KEY_F15, "Key::F15"},
    {GLFW_KEY_F16, "Key::F16"},
    {GLFW_KEY_F17, "Key::F17"},
    {GLFW_KEY_F18, "Key::F18"},
    {GLFW_KEY_F19, "Key::F19"},
    {GLFW_KEY_F20, "Key::F20"},
    {GLFW_KEY_F21, "Key::F21"},
    {GLFW_KEY_F22, "Key::F22"},
    {GLFW_KEY_F23, "Key::F23"},
    {GLFW_KEY_F24, "Key::F24"},
    {GLFW_KEY_F25, "Key::F25"},
    {GLFW_KEY_KP_0, "Key::Zero_Numpad"},
    {GLFW_KEY_KP_1, "Key::One_Numpad"},
    {GLFW_KEY_KP_2, "Key::Two_Numpad"},
    {GLFW_KEY_KP_3, "Key::Three_Numpad"},
    {GLFW_KEY_KP_4, "Key::Four_Numpad"},
    {GLFW_KEY_KP_5, "Key::Five_Numpad"},
    {GLFW_KEY_KP_6, "Key::Six_Numpad"},
    {GLFW_KEY_KP_7, "Key::Seven_Numpad"},
    {GLFW_KEY_KP_8, "Key::Eight_Numpad"},
    {GLFW_KEY_KP_9, "Key::Nine_Numpad"},
    {GLFW_KEY_KP_DECIMAL, "Key::FullStop_Numpad"},
    {GLFW_KEY_KP_DIVIDE, "Key::ForwardSlash_Numpad"},
    {GLFW_KEY_KP_MULTIPLY, "Key::Asterisk_Numpad"},
    {GLFW_KEY_KP_SUBTRACT, "Key::Minus_Numpad"},
    {GLFW_KEY_KP_ADD, "Key::Plus_Numpad"},
    {GLFW_KEY_KP_ENTER, "Key::Enter_Numpad"},
    {GLFW_KEY_KP_EQUAL, "Key::Equals_Numpad"},
    {GLFW_KEY_LEFT_SHIFT, "Key::LeftShift"},
    {GLFW_KEY_LEFT_CONTROL, "Key::LeftControl"},
    {GLFW_KEY_LEFT_ALT, "Key::LeftAlt"},
    {GLFW_KEY_LEFT_SUPER, "Key::LeftSuper"},
    {GLFW_KEY_RIGHT_SHIFT, "Key::RightShift"},
    {GLFW_KEY_RIGHT_CONTROL, "Key::RightControl"},
    {GLFW_KEY_RIGHT_ALT, "Key::RightAlt"},
    {GLFW_KEY_RIGHT_SUPER, "Key::RightSuper"},
    {GLFW_KEY_MENU, "Key::Menu"},
};

const NamePair MouseNames[] = {
    {GLFW_MOUSE_BUTTON_LEFT, "Mouse::LeftClick"},
    {GLFW_MOUSE_BUTTON_RIGHT, "Mouse::RightClick"},
    {GLFW_MOUSE_BUTTON_MIDDLE, "Mouse::MiddleClick"},
};

// The game's own controller codes, not GLFW's gamepad button numbers: controls files store these.
const NamePair ControllerNames[] = {
    {0, "Controller::A"},
    {1, "Controller::B"},
    {2, "Controller::X"},
    {3, "Controller::Y"},
    {4, "Controller::LeftBumper"},
    {5, "Controller::RightBumper"},
    {6, "Controller::LeftJoystickClick"},
    {7, "Controller::RightJoystickClick"},
    {8, "Controller::DPadUp"},
    {9, "Controller::DPadDown"},
    {10, "Controller::DPadLeft"},
    {11, "Controller::DPadRight"},
    {12, "Controller::Start"},
    {13, "Controller::Back"},
};

template <size_t N>
std::map<int32_t, std::string> CodesToNames(const NamePair (&pairs)[N])
{
    std::map<int32_t, std::string> table;
    for (const NamePair& pair : pairs)
        table.emplace(pair.first, pair.second);
    return table;
}

template <size_t N>
std::map<std::string, int32_t> NamesToCodes(const NamePair (&pairs)[N])
{
    std::map<std::string, int32_t> table;
    for (const NamePair& pair : pairs)
        table.emplace(pair.second, pair.first);
    return table;
}

int32_t FindCode(const std::map<std::string, int32_t>& table, const std::string& name, int32_t absent)
{
    const auto found = table.find(name);
    return found == table.end() ? absent : found->second;
}

std::string FindName(const std::map<int32_t, std::string>& table, int32_t code, const char* absent)
{
    const auto found = table.find(code);
    return found == table.end() ? std::string(absent) : found->second;
}
} // namespace

// Right after the log channels (priority 101), before every ordinary static object.
#if defined(__GNUC__)
#define LEDROW_INPUT_TABLES_INIT __attribute__((init_priority(102)))
#else
#define LEDROW_INPUT_TABLES_INIT
#endif
LEDROW_INPUT_TABLES_INIT const std::map<int32_t, std::string> KeyCodeToName = CodesToNames(KeyNames);
LEDROW_INPUT_TABLES_INIT const std::map<std::string, int32_t> KeyNameToCode = NamesToCodes(KeyNames);
LEDROW_INPUT_TABLES_INIT const std::map<int32_t, std::string> MouseButtonToName = CodesToNames(MouseNames);
LEDROW_INPUT_TABLES_INIT const std::map<std::string, int32_t> MouseNameToButton = NamesToCodes(MouseNames);
LEDROW_INPUT_TABLES_INIT const std::map<int32_t, std::string> ControllerButtonToName = CodesToNames(ControllerNames);
LEDROW_INPUT_TABLES_INIT const std::map<std::string, int32_t> ControllerNameToButton = NamesToCodes(ControllerNames);

InputBinding NameToInput(const std::string& name)
{
    const int32_t key = FindCode(KeyNameToCode, name, NoSuchKey);
    if (key != NoSuchKey)
        return InputBinding{InputDevice::Key, key};
    const int32_t button = FindCode(MouseNameToButton, name, NoSuchMouseButton);
    if (button != NoSuchMouseButton)
        return InputBinding{InputDevice::Mouse, button};
    const int32_t controllerButton = FindCode(ControllerNameToButton, name, NoSuchControllerButton);
    if (controllerButton != NoSuchControllerButton)
        return InputBinding{InputDevice::Controller, controllerButton};
    return InputBinding{InputDevice::Unknown, 0};
}

std::string InputToName(const InputBinding& binding)
{
    switch (binding.device)
    {
    case InputDevice::Key:
        return FindName(KeyCodeToName, binding.code, "Key::Invalid");
    case InputDevice::Mouse:
        return FindName(MouseButtonToName, binding.code, "Mouse::Invalid");
    case InputDevice::Controller:
        return FindName(ControllerButtonToName, binding.code, "Controller::Invalid");
    default:
        return "Unknown::Invalid";
    }
}

void WriteControlInfo()
{
    std::ofstream file("Data/ControlInfo.txt", std::ios::out | std::ios::trunc);
    if (!file.is_open())
        return;
    file << "The following options are available for customising your controls (although controller input doesn't work yet):\n";
    for (const auto& [code, name] : KeyCodeToName)
        file << name << '\n';
    file << '\n';
    for (const auto& [button, name] : MouseButtonToName)
        file << name << '\n';
    file << '\n';
    for (const auto& [code, name] : ControllerButtonToName)
        file << name << '\n';
}
