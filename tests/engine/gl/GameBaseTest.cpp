#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include "FolderAsFound.h"
#include "GameBase.h"
#include "LogChannel.h"

namespace
{
// Writes down every handler call, so that a test can see what the window library's events became.
class RecordingGame : public GameBase
{
public:
    std::vector<std::string> calls;

    void OnMouseDown(int32_t button) override { calls.push_back("down " + std::to_string(button)); }
    void OnMouseUp(int32_t button) override { calls.push_back("up " + std::to_string(button)); }
    void OnScroll(bool up) override { calls.push_back(up ? "scroll up" : "scroll down"); }
    void OnKey(int32_t key, bool pressed, bool alt, bool control, bool shift) override
    {
        calls.push_back("key " + std::to_string(key) + (pressed ? " pressed" : " released") + (alt ? " alt" : "") +
                        (control ? " control" : "") + (shift ? " shift" : ""));
    }
    void OnResize(int32_t width, int32_t height) override { calls.push_back("resize " + std::to_string(width) + "x" + std::to_string(height)); }

    // One frame step, then the user-interface frame is closed so that the next one may begin.
    void StepFrame()
    {
        Step();
        ImGui::EndFrame();
    }
};

bool HistoryHas(const LogChannel& channel, const std::string& line)
{
    for (const std::string& entry : channel.GetHistory())
    {
        if (entry == line)
            return true;
    }
    return false;
}
} // namespace

TEST(GameBase, OpensItsWindowAndFallsBackToSixtyHertzOnAVirtualDisplay)
{
    const FolderAsFound runtimeTree;
    RecordingGame game;
    ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
    // The virtual display reports 0 Hz: the rate is still logged, then replaced.
    EXPECT_TRUE(HistoryHas(InfoLog, "Refresh rate guessed at 0hz."));
    EXPECT_TRUE(HistoryHas(InfoLog, "The monitor reports no refresh rate, so the game runs at 60hz."));
    EXPECT_EQ(game.refreshRate, 60);

    int width = 0, height = 0;
    glfwGetWindowSize(game.window, &width, &height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1280);
    EXPECT_EQ(glfwGetWindowMonitor(game.window), nullptr);
    EXPECT_EQ(glfwGetCurrentContext(), game.window);

    EXPECT_TRUE(game.simpleShader.owned);
    EXPECT_TRUE(game.textureShader.owned);
    EXPECT_TRUE(game.quad.created);
    EXPECT_EQ(game.quad.vertices.count, 6u);
    EXPECT_TRUE(game.worldLines.created);
    EXPECT_STREQ(ImGui::GetIO().IniFilename, "Data/imgui.ini");
}

TEST(GameBase, StepFixesTimeAspectMouseAndResizesEveryFrame)
{
    const FolderAsFound runtimeTree;
    RecordingGame game;
    ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
    game.camera.centreX = 3.0f;
    game.camera.centreY = 4.0f;

    glfwSetCursorPos(game.window, 960, 640);
    game.StepFrame();
    game.StepFrame();
    const float step = 1.0f / 60.0f;
    EXPECT_EQ(game.frameStep, step);
    EXPECT_EQ(game.totalTime, step + step);
    EXPECT_FLOAT_EQ(game.camera.aspectRatio, 1.5f);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"resize 1920x1280", "resize 1920x1280"}));
    EXPECT_NEAR(game.mouseWorldPosition.x, 3.0f, 1e-4f);
    EXPECT_NEAR(game.mouseWorldPosition.y, 4.0f, 1e-4f);
    EXPECT_EQ(game.mouseMovement, glm::vec2(0.0f, 0.0f));

    // Half the window's height straight up: the top edge, half a view height above the centre.
    glfwSetCursorPos(game.window, 960, 0);
    game.StepFrame();
    EXPECT_EQ(game.mouseMovement, glm::vec2(0.0f, 1.0f));
    EXPECT_NEAR(game.mouseWorldPosition.y, 4.0f + game.camera.viewHeight / 2.0f, 1e-4f);
    EXPECT_FALSE(game.leftButtonDown);
}

TEST(GameBase, WindowEventsReachTheHandlersThroughTheUserInterfaceCallbacks)
{
    const FolderAsFound runtimeTree;
    RecordingGame game;
    ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
    GLFWwindow* window = game.window;

    // The user interface installed its callbacks over the game's; each hands the event on first.
    ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_A, 0, GLFW_PRESS, GLFW_MOD_ALT | GLFW_MOD_SHIFT);
    ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_A, 0, GLFW_REPEAT, GLFW_MOD_ALT | GLFW_MOD_SHIFT);
    ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_A, 0, GLFW_RELEASE, GLFW_MOD_CONTROL);
    ImGui_ImplGlfw_MouseButtonCallback(window, GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
    ImGui_ImplGlfw_MouseButtonCallback(window, GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    ImGui_ImplGlfw_ScrollCallback(window, 0.0, 1.0);
    ImGui_ImplGlfw_ScrollCallback(window, 0.0, -2.0);
    ImGui_ImplGlfw_ScrollCallback(window, 3.0, 0.0); // sideways only: no step of the wheel
    EXPECT_EQ(game.calls, (std::vector<std::string>{"key 65 pressed alt shift", "key 65 released control", "down 1", "up 1",
                                                    "scroll up", "scroll down"}));

    // A real resize of the window arrives through the event poll.
    game.calls.clear();
    glfwSetWindowSize(window, 1000, 700);
    for (int i = 0; i < 100 && game.calls.empty(); ++i)
        glfwWaitEventsTimeout(0.01);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"resize 1000x700"}));
}
