#include "GameBase.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl3.h>

#include "FrameMaths.h"
#include "LogChannel.h"

namespace
{
// The window library reports its faults through a callback; the last one explains a failed start.
std::string lastWindowLibraryError;

void RecordWindowLibraryError(int code, const char* description)
{
    lastWindowLibraryError = description != nullptr ? description : "";
    VerboseLog << "Window library error " << code << ": " << lastWindowLibraryError;
    VerboseLog.EndMessage();
}

std::string WithLibraryReason(const std::string& reason)
{
    return lastWindowLibraryError.empty() ? reason : reason + " (" + lastWindowLibraryError + ")";
}

GameBase* GameOf(GLFWwindow* window)
{
    return static_cast<GameBase*>(glfwGetWindowUserPointer(window));
}
} // namespace

GameBase::GameBase()
{
    lastWindowLibraryError.clear();
    glfwSetErrorCallback(RecordWindowLibraryError);
    if (!glfwInit())
    {
        StopStartup(WithLibraryReason("The window library could not start; is a display available?"));
        return;
    }
    windowLibraryStarted = true;

    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    refreshRate = mode != nullptr ? mode->refreshRate : 0;
    InfoLog << "Refresh rate guessed at " << refreshRate << "hz.";
    InfoLog.EndMessage();
    if (refreshRate <= 0)
    {
        // A step of 1/0 would be infinite; virtual displays report 0 Hz.
        refreshRate = FallbackRefreshRate;
        InfoLog << "The monitor reports no refresh rate, so the game runs at " << refreshRate << "hz.";
        InfoLog.EndMessage();
    }

    if (config.fullscreen && mode != nullptr)
        window = glfwCreateWindow(mode->width, mode->height, "Quorvane Ledrow", monitor, nullptr);
    else
        window = glfwCreateWindow(1920, 1280, "Quorvane Ledrow", nullptr, nullptr);
    if (window == nullptr)
    {
        StopStartup(WithLibraryReason("The game window with an OpenGL context could not be created"));
        return;
    }

    glfwSetWindowUserPointer(window, this);
    glfwSetWindowSizeCallback(window, WindowSizeCallback);
    glfwSetMouseButtonCallback(window, MouseButtonCallback);
    glfwSetScrollCallback(window, ScrollCallback);
    glfwSetKeyCallback(window, KeyCallback);

    glfwMakeContextCurrent(window);
    const int version = gladLoadGL(glfwGetProcAddress);
    if (version == 0)
    {
        StopStartup(WithLibraryReason("The OpenGL functions could not be loaded"));
        return;
    }
    if (version < GLAD_MAKE_VERSION(4, 5))
    {
        StopStartup("OpenGL 4.5 is needed, but the driver offers only " + std::to_string(GLAD_VERSION_MAJOR(version)) + "." +
                    std::to_string(GLAD_VERSION_MINOR(version)));
        return;
    }
    glfwSwapInterval(1);

    userInterface = ImGui::CreateContext();
    ImGui::SetCurrentContext(userInterface);
    ImGui::GetIO().IniFilename = "Data/imgui.ini";
    // The back-end's own callbacks call those registered above before handling an event.
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    ImGui_ImplOpenGL3_Init();
    userInterfaceBackEndsStarted = true;

    simpleShader = Shader("BaseShaders/Simple.vsd", "BaseShaders/Simple.fsd");
    textureShader = Shader("BaseShaders/Texture.vsd", "BaseShaders/Texture.fsd");

    quad.CreateBuffer();
    quad.AddUnitQuad();
    quad.Upload();

    worldLines.CreateBuffers();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

GameBase::~GameBase()
{
    if (window != nullptr)
        glfwSetWindowUserPointer(window, nullptr); // no handler may reach a half-destroyed game
    if (userInterfaceBackEndsStarted)
    {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplGlfw_Shutdown();
    }
    if (userInterface != nullptr)
        ImGui::DestroyContext(userInterface);
    // GL objects must go while their context still exists.
    ReleaseGLObjects();
    if (window != nullptr)
        glfwDestroyWindow(window);
    if (windowLibraryStarted)
        glfwTerminate();
}

void GameBase::OnMouseDown(int32_t) {}
void GameBase::OnMouseUp(int32_t) {}
void GameBase::OnScroll(bool) {}
void GameBase::OnKey(int32_t, bool, bool, bool, bool) {}
void GameBase::OnResize(int32_t, int32_t) {}

void GameBase::Step()
{
    if (!IsReady())
        return;
    frameStep = FrameStepFor(refreshRate);

    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    camera.SetAspectRatioFrom(width, height);
    OnResize(width, height);

    totalTime += frameStep;

    double cursorX = 0.0;
    double cursorY = 0.0;
    glfwGetCursorPos(window, &cursorX, &cursorY);
    // A minimised window has no cursor position; the mouse then stands still where it was.
    if (const std::optional<glm::vec2> cursor = WindowToNormalised(cursorX, cursorY, width, height))
    {
        mouseMovement = MouseMovement(*cursor, previousCursor, camera.aspectRatio);
        previousCursor = *cursor;
    }
    else
    {
        mouseMovement = {0.0f, 0.0f};
    }
    mouseWorldPosition = camera.NormalisedToWorld(previousCursor);

    leftButtonDown = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
    rightButtonDown = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;

    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
}

void GameBase::WindowSizeCallback(GLFWwindow* window, int width, int height)
{
    if (GameBase* game = GameOf(window))
        game->OnResize(width, height);
}

void GameBase::MouseButtonCallback(GLFWwindow* window, int button, int action, int)
{
    GameBase* game = GameOf(window);
    if (game == nullptr)
        return;
    if (action == GLFW_PRESS)
        game->OnMouseDown(button);
    else if (action == GLFW_RELEASE)
        game->OnMouseUp(button);
}

void GameBase::ScrollCallback(GLFWwindow* window, double, double yOffset)
{
    // A purely sideways scroll has no vertical step; taken as "down" it would zoom out.
    if (yOffset == 0.0)
        return;
    if (GameBase* game = GameOf(window))
        game->OnScroll(yOffset > 0.0);
}

void GameBase::KeyCallback(GLFWwindow* window, int key, int, int action, int mods)
{
    GameBase* game = GameOf(window);
    if (game == nullptr || (action != GLFW_PRESS && action != GLFW_RELEASE))
        return;
    game->OnKey(key, action == GLFW_PRESS, (mods & GLFW_MOD_ALT) != 0, (mods & GLFW_MOD_CONTROL) != 0, (mods & GLFW_MOD_SHIFT) != 0);
}

void GameBase::StopStartup(const std::string& reason)
{
    startupFailure = reason;
    WarningLog << LogLocation(__FILE__, 208) << reason << '.';
    WarningLog.EndMessage();
}

void GameBase::ReleaseGLObjects()
{
    simpleShader = Shader();
    textureShader = Shader();
    if (quad.created)
    {
        glDeleteBuffers(1, &quad.buffer);
        quad.created = false;
    }
    if (worldLines.created)
    {
        glDeleteBuffers(1, &worldLines.positionBuffer);
        glDeleteBuffers(1, &worldLines.colourBuffer);
        worldLines.created = false;
    }
}
