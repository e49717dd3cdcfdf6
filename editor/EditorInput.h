#pragma once

#include <cstdint>

#include "PlayInput.h"

class ControlScheme;

/// What the level editor asks about the keyboard, the mouse buttons and the user interface
/// between input events: the state of a held key or button, whether the user-interface library
/// wants the mouse or the keyboard for itself this frame, and what is held in play-testing. The
/// game answers from its window (`WindowInput`); tests answer from a script.
class EditorInput
{
public:
    virtual ~EditorInput() = default;

    /// True while the key (a window-library key code) is held down.
    virtual bool IsKeyDown(int32_t key) const = 0;
    /// True while the mouse button (0 left, 1 right, 2 middle) is held down.
    virtual bool IsMouseButtonDown(int32_t button) const = 0;
    /// True while the user interface takes the mouse (the cursor is over one of its windows).
    virtual bool InterfaceWantsMouse() const = 0;
    /// True while the user interface takes the keyboard (a text field is active).
    virtual bool InterfaceWantsKeyboard() const = 0;
    /// What is held in a frame of play-testing: the actions of `controls` (the local player's
    /// bindings; none when null) and the level's own keys.
    virtual PlayInput ReadPlay(const ControlScheme* controls) const = 0;
};
