#pragma once

#include <cstdint>
#include <string>

#include <glm/vec2.hpp>

#include "Camera.h"
#include "Config.h"
#include "LineRenderer.h"
#include "Mesh.h"
#include "Shader.h"

struct GLFWwindow;
struct ImGuiContext;

/// The application shell: reads the settings, opens the one window with its OpenGL context,
/// starts the user-interface library, loads the base shaders and the screen quad, and once per
/// frame fixes the time step, the aspect ratio, the mouse and a new user-interface frame. The
/// window library's input reaches the game through the five virtual handlers, which run inside
/// the event poll at the end of a frame. One instance, on the main thread, as the base of the game.
class GameBase
{
public:
    /// The start-up sequence. When it cannot finish (no window library, no window, no OpenGL 4.5)
    /// it stops early and `IsReady` answers false; the object is then only fit for destruction.
    GameBase();
    /// Shuts down the user interface, the GL objects of this class and the window, in that order.
    virtual ~GameBase();

    GameBase(const GameBase&) = delete;
    GameBase& operator=(const GameBase&) = delete;

    /// A mouse button went down: 0 left, 1 right, 2 middle.
    virtual void OnMouseDown(int32_t button);
    /// A mouse button came up.
    virtual void OnMouseUp(int32_t button);
    /// One step of the vertical wheel; `up` when it turned away from the player.
    virtual void OnScroll(bool up);
    /// A key (window-library key code) was pressed or released, with the modifiers held then.
    /// Repeats of a held key are not delivered.
    virtual void OnKey(int32_t key, bool pressed, bool alt, bool control, bool shift);
    /// The window or its framebuffer is `width` by `height` pixels (every frame, and on a resize).
    virtual void OnResize(int32_t width, int32_t height);

    /// The frame step; called once per frame before any screen logic.
    void Step();

    /// True when the window, its context and the user interface are up.
    bool IsReady() const { return startupFailure.empty(); }
    /// Why the start-up stopped early, for the player; empty when it did not.
    const std::string& GetStartupFailure() const { return startupFailure; }

    static void WindowSizeCallback(GLFWwindow* window, int width, int height);
    static void MouseButtonCallback(GLFWwindow* window, int button, int action, int mods);
    static void ScrollCallback(GLFWwindow* window, double xOffset, double yOffset);
    static void KeyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);

    Camera camera;
    GLFWwindow* window = nullptr; ///< owned; null until created
    Shader simpleShader;          ///< coloured lines
    Shader textureShader;         ///< textured meshes, sampling texture unit 0
    Mesh quad;                    ///< the unit quad through which post effects cover the screen
    glm::vec2 mouseWorldPosition{0.0f, 0.0f};
    /// Since the previous frame, in normalised device units with x scaled by the aspect ratio.
    glm::vec2 mouseMovement{0.0f, 0.0f};
    bool leftButtonDown = false;
    bool rightButtonDown = false;
    float totalTime = 0.0f; ///< seconds: the sum of all frame steps
    float frameStep = 0.0f; ///< seconds: 1 over the refresh rate, never measured
    LineRenderer worldLines;
    bool quit = false; ///< set by the game to end the main loop after the current frame
    /// Hertz of the primary monitor at start (`FallbackRefreshRate` when it reports none).
    int32_t refreshRate = 0;
    Config config;
    glm::vec2 previousCursor{0.0f, 0.0f}; ///< normalised device units

private:
    void StopStartup(const std::string& reason);
    void ReleaseGLObjects();

    bool windowLibraryStarted = false;
    ImGuiContext* userInterface = nullptr;
    bool userInterfaceBackEndsStarted = false;
    std::string startupFailure;
};
