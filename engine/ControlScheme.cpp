#include "ControlScheme.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "InputNames.h"
#include "LogChannel.h"

namespace
{
// Messages are known by these lines in bug reports; they stay when the code around them moves.
constexpr int LineNoArrow = 18;
constexpr int LineUnknownAction = 50;
constexpr int LineUnknownInput = 55;
constexpr int LineUnopenable = 63;

void ReportMalformedLine(int knownLine, const std::string& line)
{
    ErrorLog << LogLocation(__FILE__, knownLine) << "Found malformed input settings line: \"" << line << "\".Ignoring...";
    ErrorLog.EndMessage();
}

bool IsNoSuchInput(const InputBinding& binding)
{
    switch (binding.device)
    {
    case InputDevice::Key:
        return binding.code == NoSuchKey;
    case InputDevice::Mouse:
        return binding.code == NoSuchMouseButton;
    case InputDevice::Controller:
        return binding.code == NoSuchControllerButton;
    default:
        return true;
    }
}

// The action lists in the order the file is written in, and in which names are matched.
struct NamedList
{
    const char* action;
    DynArray<InputBinding> ControlScheme::*list;
};
constexpr NamedList ActionsInFileOrder[] = {
    {"Fang", &ControlScheme::fang},
    {"Jump", &ControlScheme::jump},
    {"Brake", &ControlScheme::brake},
    {"RotateLeft", &ControlScheme::rotateLeft},
    {"RotateRight", &ControlScheme::rotateRight},
};

void ReadBindingLine(ControlScheme& scheme, const std::string& line)
{
    const size_t arrow = line.find("->");
    if (arrow == std::string::npos)
    {
        if (!line.empty())
            ReportMalformedLine(LineNoArrow, line);
        return;
    }
    const std::string action = line.substr(0, arrow);
    const InputBinding binding = NameToInput(line.substr(arrow + 2));
    // The input is judged before the action, so a line wrong in both is reported as a bad input.
    if (IsNoSuchInput(binding))
    {
        ReportMalformedLine(LineUnknownInput, line);
        return;
    }
    for (const NamedList& named : ActionsInFileOrder)
    {
        if (action == named.action)
        {
            (scheme.*named.list).PushBack(binding);
            return;
        }
    }
    ReportMalformedLine(LineUnknownAction, line);
}

// The game's controller codes follow its own button order; GLFW's gamepad order differs from
// "Controller::LeftJoystickClick" on. Indexed by the game's code.
constexpr int GamepadButtonOfCode[] = {
    GLFW_GAMEPAD_BUTTON_A,           // 0 "Controller::A"
    GLFW_GAMEPAD_BUTTON_B,           // 1 "Controller::B"
    GLFW_GAMEPAD_BUTTON_X,           // 2 "Controller::X"
    GLFW_GAMEPAD_BUTTON_Y,           // 3 "Controller::Y"
    GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, // 4 "Controller::LeftBumper"
    GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER,// 5 "Controller::RightBumper"
    GLFW_GAMEPAD_BUTTON_LEFT_THUMB,  // 6 "Controller::LeftJoystickClick"
    GLFW_GAMEPAD_BUTTON_RIGHT_THUMB, // 7 "Controller::RightJoystickClick"
    GLFW_GAMEPAD_BUTTON_DPAD_UP,     // 8 "Controller::DPadUp"
    GLFW_GAMEPAD_BUTTON_DPAD_DOWN,   // 9 "Controller::DPadDown"
    GLFW_GAMEPAD_BUTTON_DPAD_LEFT,   // 10 "Controller::DPadLeft"
    GLFW_GAMEPAD_BUTTON_DPAD_RIGHT,  // 11 "Controller::DPadRight"
    GLFW_GAMEPAD_BUTTON_START,       // 12 "Controller::Start"
    GLFW_GAMEPAD_BUTTON_BACK,        // 13 "Controller::Back"
};
static_assert(sizeof(GamepadButtonOfCode) / sizeof(GamepadButtonOfCode[0]) == NoSuchControllerButton);
} // namespace

ControlScheme ControlScheme::Load(const std::string& path)
{
    ControlScheme scheme;
    std::error_code error;
    // A folder opens as a file on some systems and then fails on the first read; it can never
    // hold bindings, so it is reported like a missing file.
    const bool isFolder = std::filesystem::is_directory(path, error);
    std::ifstream file;
    if (!isFolder)
        file.open(path);
    if (isFolder || !file.is_open())
    {
        ErrorLog << LogLocation(__FILE__, LineUnopenable) << "Failed to open input file \"" << path << "\".";
        ErrorLog.EndMessage();
        return scheme;
    }
    std::string line;
    while (!file.eof())
    {
        std::getline(file, line);
        if (file.fail() && !file.eof())
            break; // a read error, not the end: keep what was read rather than spin
        // A file saved on Windows keeps its carriage returns here; Windows' text mode drops them.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ReadBindingLine(scheme, line);
    }
    return scheme;
}

ControlScheme ControlScheme::MakeDefault()
{
    ControlScheme scheme;
    scheme.jump.PushBack(InputBinding{InputDevice::Key, GLFW_KEY_W});
    scheme.jump.PushBack(InputBinding{InputDevice::Mouse, GLFW_MOUSE_BUTTON_LEFT});
    scheme.rotateRight.PushBack(InputBinding{InputDevice::Key, GLFW_KEY_D});
    scheme.rotateLeft.PushBack(InputBinding{InputDevice::Key, GLFW_KEY_A});
    scheme.brake.PushBack(InputBinding{InputDevice::Key, GLFW_KEY_S});
    scheme.fang.PushBack(InputBinding{InputDevice::Key, GLFW_KEY_SPACE});
    scheme.fang.PushBack(InputBinding{InputDevice::Mouse, GLFW_MOUSE_BUTTON_RIGHT});
    return scheme;
}

void ControlScheme::Save(const std::string& path) const
{
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file.is_open())
        return;
    for (const NamedList& named : ActionsInFileOrder)
    {
        for (const InputBinding& binding : this->*named.list)
            file << named.action << "->" << InputToName(binding) << '\n';
    }
}

bool IsControllerButtonHeld(const GLFWgamepadstate& state, int32_t code)
{
    if (code < 0 || code >= NoSuchControllerButton)
        return false;
    return state.buttons[GamepadButtonOfCode[code]] == GLFW_PRESS;
}

bool IsAnyBindingHeld(const DynArray<InputBinding>& bindings, GLFWwindow* window)
{
    GLFWgamepadstate gamepad{};
    bool gamepadRead = false;
    for (const InputBinding& binding : bindings)
    {
        switch (binding.device)
        {
        case InputDevice::Key:
            // GLFW reports codes outside its ranges as an error each time it is asked.
            if (window != nullptr && binding.code >= GLFW_KEY_SPACE && binding.code <= GLFW_KEY_LAST &&
                glfwGetKey(window, binding.code) == GLFW_PRESS)
                return true;
            break;
        case InputDevice::Mouse:
            if (window != nullptr && binding.code >= 0 && binding.code <= GLFW_MOUSE_BUTTON_LAST &&
                glfwGetMouseButton(window, binding.code) == GLFW_PRESS)
                return true;
            break;
        case InputDevice::Controller:
            if (!gamepadRead)
            {
                // Without a connected gamepad (or a mapping for it) the state stays all released.
                if (glfwGetGamepadState(GLFW_JOYSTICK_1, &gamepad) != GLFW_TRUE)
                    gamepad = GLFWgamepadstate{};
                gamepadRead = true;
            }
            if (IsControllerButtonHeld(gamepad, binding.code))
                return true;
            break;
        default:
            break;
        }
    }
    return false;
}
