#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "ControlScheme.h"
#include "FolderAsFound.h"

namespace
{
// A visible GLFW window with a current context, with the pointer resting on it so that X sends it
// the keyboard (there is no window manager under Xvfb to give it the focus).
class ControlsTestWindow
{
public:
    ControlsTestWindow()
    {
        if (glfwInit() != GLFW_TRUE)
            return;
        window = glfwCreateWindow(320, 240, "Controls test", nullptr, nullptr);
        if (window == nullptr)
            return;
        glfwMakeContextCurrent(window);
        glfwSetWindowPos(window, 0, 0);
        glfwShowWindow(window);
        glfwPollEvents();
    }
    ~ControlsTestWindow()
    {
        if (window != nullptr)
            glfwDestroyWindow(window);
        glfwTerminate();
    }
    ControlsTestWindow(const ControlsTestWindow&) = delete;
    ControlsTestWindow& operator=(const ControlsTestWindow&) = delete;

    GLFWwindow* window = nullptr;
};

bool Xdotool(const std::string& arguments)
{
    return std::system(("xdotool " + arguments).c_str()) == 0;
}

// X delivers the input some time after xdotool returns; poll the window's events until the
// bindings read `wanted` or a generous while has passed. Returns the last reading.
bool WaitForHeld(const DynArray<InputBinding>& bindings, GLFWwindow* window, bool wanted)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool held = IsAnyBindingHeld(bindings, window);
    while (held != wanted && std::chrono::steady_clock::now() < giveUp)
    {
        glfwWaitEventsTimeout(0.02);
        held = IsAnyBindingHeld(bindings, window);
    }
    return held;
}
} // namespace

TEST(IsAnyBindingHeldInAWindow, DefaultBindingsFollowRealKeysAndButtons)
{
    const FolderAsFound runtimeTree;
    ControlsTestWindow test;
    ASSERT_NE(test.window, nullptr);
    ASSERT_TRUE(Xdotool("mousemove 100 100"));

    // The first start as the player sees it: no controls file, so the defaults are written and read.
    const std::string path = "Data/Player1Controls.txt";
    std::filesystem::create_directories("Data");
    ASSERT_FALSE(std::filesystem::exists(path));
    ControlScheme::MakeDefault().Save(path);
    const ControlScheme scheme = ControlScheme::Load(path);

    const struct
    {
        const char* press;
        const char* release;
        const DynArray<InputBinding>& action;
        const DynArray<InputBinding>& notAction;
    } cases[] = {
        {"keydown w", "keyup w", scheme.jump, scheme.fang},
        {"mousedown 1", "mouseup 1", scheme.jump, scheme.brake},
        {"keydown d", "keyup d", scheme.rotateRight, scheme.rotateLeft},
        {"keydown a", "keyup a", scheme.rotateLeft, scheme.rotateRight},
        {"keydown s", "keyup s", scheme.brake, scheme.jump},
        {"keydown space", "keyup space", scheme.fang, scheme.jump},
        {"mousedown 3", "mouseup 3", scheme.fang, scheme.jump}, // X's button 3 is the right button
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.press);
        ASSERT_FALSE(WaitForHeld(c.action, test.window, false)) << "held before the press";
        ASSERT_TRUE(Xdotool(c.press));
        EXPECT_TRUE(WaitForHeld(c.action, test.window, true));
        EXPECT_FALSE(IsAnyBindingHeld(c.notAction, test.window));
        ASSERT_TRUE(Xdotool(c.release));
        EXPECT_FALSE(WaitForHeld(c.action, test.window, false));
    }
}

TEST(IsAnyBindingHeldInAWindow, UnboundAndUnknownInputsAreNeverHeld)
{
    const FolderAsFound runtimeTree;
    ControlsTestWindow test;
    ASSERT_NE(test.window, nullptr);
    ASSERT_TRUE(Xdotool("mousemove 100 100"));

    DynArray<InputBinding> unbound;
    unbound.PushBack({});                            // an unknown binding
    unbound.PushBack({InputDevice::Key, 0});         // codes GLFW does not know
    unbound.PushBack({InputDevice::Key, 100000});
    unbound.PushBack({InputDevice::Mouse, 7});
    unbound.PushBack({InputDevice::Controller, 0});  // there is no gamepad
    unbound.PushBack({InputDevice::Controller, 99});
    DynArray<InputBinding> probe; // tells when the press below has arrived
    probe.PushBack({InputDevice::Key, GLFW_KEY_Q});

    ASSERT_TRUE(Xdotool("keydown q mousedown 2"));
    ASSERT_TRUE(WaitForHeld(probe, test.window, true));
    EXPECT_FALSE(IsAnyBindingHeld(unbound, test.window));
    EXPECT_FALSE(IsAnyBindingHeld(DynArray<InputBinding>(), test.window));

    // Duplicates and order: the first held binding decides, wherever it stands.
    DynArray<InputBinding> mixed = unbound;
    mixed.PushBack({InputDevice::Mouse, GLFW_MOUSE_BUTTON_MIDDLE});
    mixed.PushBack({InputDevice::Mouse, GLFW_MOUSE_BUTTON_MIDDLE});
    EXPECT_TRUE(WaitForHeld(mixed, test.window, true));
    ASSERT_TRUE(Xdotool("keyup q mouseup 2"));
    EXPECT_FALSE(WaitForHeld(mixed, test.window, false));
}
