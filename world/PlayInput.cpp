#include "PlayInput.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "ControlScheme.h"

static_assert(PlayInput::RespawnKey == GLFW_KEY_R && PlayInput::LeaveKey == GLFW_KEY_ESCAPE);

PlayInput PlayInput::Read(const ControlScheme* controls, GLFWwindow* window)
{
    PlayInput input;
    if (controls != nullptr)
    {
        input.jump = IsAnyBindingHeld(controls->jump, window);
        input.brake = IsAnyBindingHeld(controls->brake, window);
        input.rotateLeft = IsAnyBindingHeld(controls->rotateLeft, window);
        input.rotateRight = IsAnyBindingHeld(controls->rotateRight, window);
        input.fang = IsAnyBindingHeld(controls->fang, window);
    }
    if (window != nullptr)
    {
        input.respawn = glfwGetKey(window, RespawnKey) == GLFW_PRESS;
        input.leave = glfwGetKey(window, LeaveKey) == GLFW_PRESS;
    }
    return input;
}
