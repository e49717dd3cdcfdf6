#pragma once

struct GLFWwindow;
class ControlScheme;

/// What the player holds down in one frame of play: the five actions of the local player's
/// bindings and the level's own keys. Read from the window in one place, so that everything
/// that a frame of play does with its input runs, and is tested, without a window.
struct PlayInput
{
    /// The window-library key codes of the level's own keys, which no binding changes.
    static constexpr int RespawnKey = 82; // R
    static constexpr int LeaveKey = 256;  // Escape

    bool jump = false;
    bool brake = false;
    bool rotateLeft = false;
    bool rotateRight = false;
    bool fang = false;
    /// R: back to the last checkpoint, every frame it is held.
    bool respawn = false;
    /// Escape: the caller leaves the level.
    bool leave = false;

    /// The held state of every action of `controls` (none when null) and of the level's keys in
    /// `window`. With a null window only controller bindings can be held, and the level's keys
    /// never are.
    static PlayInput Read(const ControlScheme* controls, GLFWwindow* window);
};
