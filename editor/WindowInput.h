#pragma once

#include "EditorInput.h"

struct GLFWwindow;

/// The editor's input as the game's window and its user-interface library report it. Needs the
/// window and a user-interface context for its whole life; neither is owned.
class WindowInput final : public EditorInput
{
public:
    explicit WindowInput(GLFWwindow* window) : window(window) {}

    bool IsKeyDown(int32_t key) const override;
    bool IsMouseButtonDown(int32_t button) const override;
    bool InterfaceWantsMouse() const override;
    bool InterfaceWantsKeyboard() const override;
    PlayInput ReadPlay(const ControlScheme* controls) const override;

private:
    GLFWwindow* window;
};
