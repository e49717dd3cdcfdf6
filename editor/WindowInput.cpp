#include "WindowInput.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

bool WindowInput::IsKeyDown(int32_t key) const
{
    return window != nullptr && glfwGetKey(window, key) == GLFW_PRESS;
}

bool WindowInput::IsMouseButtonDown(int32_t button) const
{
    return window != nullptr && glfwGetMouseButton(window, button) == GLFW_PRESS;
}

bool WindowInput::InterfaceWantsMouse() const
{
    return ImGui::GetCurrentContext() != nullptr && ImGui::GetIO().WantCaptureMouse;
}

bool WindowInput::InterfaceWantsKeyboard() const
{
    return ImGui::GetCurrentContext() != nullptr && ImGui::GetIO().WantCaptureKeyboard;
}

PlayInput WindowInput::ReadPlay(const ControlScheme* controls) const
{
    return PlayInput::Read(controls, window);
}
