#pragma once

#include <string>

#include "DynArray.h"
#include "InputBinding.h"

struct GLFWwindow;
struct GLFWgamepadstate;

/// The inputs bound to each of a player's five actions; any one of an action's bindings held makes
/// the action active. The scheme owns its five lists. Main thread only.
///
/// A controls file holds one binding per line: an action name ("Jump", "RotateRight",
/// "RotateLeft", "Brake" or "Fang"), "->", and an input name such as "Key::W", with no spaces.
class ControlScheme
{
public:
    DynArray<InputBinding> jump;
    DynArray<InputBinding> rotateRight;
    DynArray<InputBinding> rotateLeft;
    DynArray<InputBinding> brake;
    DynArray<InputBinding> fang;

    /// Five empty lists of capacity 16.
    ControlScheme() = default;
    ~ControlScheme() = default;

    ControlScheme(const ControlScheme&) = default;
    ControlScheme& operator=(const ControlScheme&) = default;
    /// Takes `other`'s lists; `other` is left with five empty lists of capacity 0.
    ControlScheme(ControlScheme&& other) noexcept = default;
    /// Frees this scheme's lists and takes `other`'s; `other` is left with five empty lists of
    /// capacity 0.
    ControlScheme& operator=(ControlScheme&& other) noexcept = default;

    /// Reads a controls file. Lines that are neither empty nor a valid binding are logged to
    /// `ErrorLog` one by one and skipped; the rest still count. A file that cannot be opened (a
    /// folder included) is logged and gives a scheme without bindings, as does a file without any
    /// valid line: the defaults are not put in their place.
    static ControlScheme Load(const std::string& path);

    /// The default bindings: Jump on W and the left mouse button, RotateRight on D, RotateLeft on
    /// A, Brake on S, Fang on Space and the right mouse button.
    static ControlScheme MakeDefault();

    /// Writes the scheme to `path`, replacing the file: the Fang bindings, then Jump, Brake,
    /// RotateLeft and RotateRight, each action's in list order. A file that cannot be written is
    /// silently left alone.
    void Save(const std::string& path) const;
};

/// True when any binding of `bindings` is held now: a key or mouse button pressed in `window`, or a
/// controller button pressed on the first gamepad. `Unknown` bindings, codes outside GLFW's key
/// and mouse-button ranges and controller codes outside 0 to 13 are never held; with a null window
/// only controller bindings can be. Nothing is held while GLFW is not initialised.
bool IsAnyBindingHeld(const DynArray<InputBinding>& bindings, GLFWwindow* window);

/// Whether the gamepad button that the game's controller code `code` names (0 "Controller::A" to
/// 13 "Controller::Back") is pressed in `state`. Any other code is not pressed.
bool IsControllerButtonHeld(const GLFWgamepadstate& state, int32_t code);
