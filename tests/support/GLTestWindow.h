#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <glm/mat4x4.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/vec4.hpp>

#include "FrameBuffer.h"
#include "Shader.h"

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

    /// Sizes `target` to `width` x `height` pixels, binds it as the draw target with a matching
    /// viewport and clears it to `clearColour`.
    static void DrawInto(FrameBuffer& target, uint32_t width, uint32_t height, glm::vec4 clearColour)
    {
        target.Resize(width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
        glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
        glClearColor(clearColour.r, clearColour.g, clearColour.b, clearColour.a);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    /// Makes `shader` current with `projection` as its "vpMatrix".
    static void UseWithProjection(const Shader& shader, const glm::mat4& projection)
    {
        glUseProgram(shader.program);
        glUniformMatrix4fv(glGetUniformLocation(shader.program, "vpMatrix"), 1, GL_FALSE, glm::value_ptr(projection));
    }

    GLFWwindow* window = nullptr;
};
