#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

/// A small hidden GLFW window with its OpenGL context current and the functions loaded, for tests
/// that need real GL objects. Tests run under their own Xvfb display (tools/run-test.sh).
class GLTestWindow
{
public:
    explicit GLTestWindow(int width = 256, int height = 256)
    {
        if (!glfwInit())
            throw std::runtime_error("GLFW failed to initialise (is DISPLAY set?)");
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        window = glfwCreateWindow(width, height, "GL test", nullptr, nullptr);
        if (window == nullptr)
        {
            glfwTerminate();
            throw std::runtime_error("no window with an OpenGL context could be made");
        }
        glfwMakeContextCurrent(window);
        if (gladLoadGL(glfwGetProcAddress) == 0)
        {
            glfwDestroyWindow(window);
            glfwTerminate();
            throw std::runtime_error("the OpenGL functions could not be loaded");
        }
    }

    ~GLTestWindow()
    {
        glfwDestroyWindow(window);
        glfwTerminate();
    }

    GLTestWindow(const GLTestWindow&) = delete;
    GLTestWindow& operator=(const GLTestWindow&) = delete;

    /// The RGBA8 pixels of the bound read framebuffer, bottom row first.
    static std::vector<uint8_t> ReadPixels(int width, int height)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    GLFWwindow* window = nullptr;
};
