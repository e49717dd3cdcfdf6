#pragma once

#include <cstdint>

/// Which kind of input a binding's code refers to. Stored as a u32; values past `Unknown` can only
/// come from a cast and are treated like `Unknown`.
enum class InputDevice : uint32_t
{
    Key = 0,        ///< code: a GLFW key code
    Mouse = 1,      ///< code: a GLFW mouse button, 0 to 2
    Controller = 2, ///< code: the game's own controller button code, 0 to 13
    Unknown = 3,    ///< no input; such a binding is never held
};

/// One input bound to an action: a device and a code on that device. A default binding is
/// `Unknown`, which is what the spare slots of a binding list hold.
struct InputBinding
{
    InputDevice device = InputDevice::Unknown;
    int32_t code = 0; ///< meaningless when `device` is `Unknown`

    bool operator==(const InputBinding&) const = default;
};
