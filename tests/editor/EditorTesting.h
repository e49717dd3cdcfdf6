#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>
#include <glm/vec2.hpp>
#include <imgui.h>

#include "ByteBlob.h"
#include "Camera.h"
#include "EditorInput.h"
#include "HeadlessInterface.h"
#include "Level.h"
#include "LevelEditor.h"
#include "../world/ShapeFixtures.h"

namespace editor_testing
{
/// Input scripted by the test: the keys and buttons held and what the user interface wants.
class ScriptedInput final : public EditorInput
{
public:
    std::set<int32_t> keysDown;
    std::set<int32_t> buttonsDown;
    bool interfaceWantsMouse = false;
    bool interfaceWantsKeyboard = false;
    /// What is held in play-testing.
    PlayInput play;

    bool IsKeyDown(int32_t key) const override { return keysDown.count(key) > 0; }
    bool IsMouseButtonDown(int32_t button) const override { return buttonsDown.count(button) > 0; }
    bool InterfaceWantsMouse() const override { return interfaceWantsMouse; }
    bool InterfaceWantsKeyboard() const override { return interfaceWantsKeyboard; }
    PlayInput ReadPlay(const ControlScheme*) const override { return play; }
};

/// A level editor: a user-interface context of its own (no back-end, nothing drawn), a camera
/// with the game's start values and scripted input. Without a window unless given one, whose
/// context then holds what the editor builds on the GPU. One per test.
class EditorHarness
{
public:
    HeadlessInterface userInterface{ImVec2(1920.0f, 1280.0f)}; ///< outlives the editor
    Camera camera;
    ScriptedInput* input = nullptr; ///< owned by the editor
    std::unique_ptr<LevelEditor> editor;

    explicit EditorHarness(GLFWwindow* window = nullptr)
    {
        auto scripted = std::make_unique<ScriptedInput>();
        input = scripted.get();
        editor = std::make_unique<LevelEditor>(&camera, std::move(scripted), window);
    }

    EditorHarness(const EditorHarness&) = delete;
    EditorHarness& operator=(const EditorHarness&) = delete;

    LevelEditor& operator*() { return *editor; }
    LevelEditor* operator->() { return editor.get(); }
    Level& level() { return *editor->level; }

    /// One frame of the game with the cursor at `cursor` (world units). Answers `Update`.
    bool Frame(glm::vec2 cursor, glm::vec2 movement = {0.0f, 0.0f})
    {
        ImGui::NewFrame();
        const bool open = editor->Update(cursor, movement, 1.0f / 72.0f);
        ImGui::EndFrame();
        return open;
    }

    /// A press and a release of `button` at `at`, a frame before each as the game runs them.
    void Click(glm::vec2 at, uint32_t button = 0)
    {
        Press(at, button);
        Release(at, button);
    }

    void Press(glm::vec2 at, uint32_t button = 0)
    {
        Frame(at);
        input->buttonsDown.insert(static_cast<int32_t>(button));
        editor->OnMouseDown(button);
    }

    /// A frame with the button still held, the release, and the frame after it.
    void Release(glm::vec2 at, uint32_t button = 0)
    {
        Frame(at);
        input->buttonsDown.erase(static_cast<int32_t>(button));
        editor->OnMouseUp(button);
        Frame(at);
    }

    /// A band dragged from `from` to `to` with the left button in select mode.
    void Drag(glm::vec2 from, glm::vec2 to, uint32_t button = 0)
    {
        Press(from, button);
        Frame(0.5f * (from + to));
        Release(to, button);
    }

    void Key(uint32_t key, bool ctrl = false, bool shift = false, bool alt = false)
    {
        editor->OnKey(key, true, alt, ctrl, shift);
        editor->OnKey(key, false, alt, ctrl, shift);
    }
};

/// The level's file bytes: header and level record, as the editor saves them.
inline std::vector<uint8_t> LevelBytes(Level& level)
{
    ByteBlob blob;
    blob.WriteHeader();
    level.Serialise(blob);
    return std::vector<uint8_t>(blob.data, blob.data + blob.size);
}

/// Appends `shape` to the level as the editor would, compiled and on the level's clock.
inline WorldShape& PutShape(Level& level, const WorldShape& shape)
{
    level.worldShapes.PushBack(shape);
    WorldShape& put = level.worldShapes[level.worldShapes.count - 1];
    put.SetLevelTime(&level.time);
    put.Compile();
    return put;
}

inline void PutWaypoint(Level& level, glm::vec2 a, glm::vec2 b, glm::vec2 respawn)
{
    level.waypoints.PushBack(Waypoint(a, b, respawn, &level.time));
}

/// A small level of every kind of object, on quarter-unit coordinates: the start at (0.5, 0.25);
/// shapes 1 (a unit square at (0, 0)) and 2 (a triangle at (5, 0)); trinkets 3 to 6 at x = 10,
/// 11, 12, 13; waypoint 7; signposts 8 and 9.
inline void FillSmallLevel(LevelEditor& editor)
{
    Level& level = *editor.level;
    level.start.position = {0.5f, 0.25f};
    PutShape(level, CornerShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}}));
    PutShape(level, CornerShape({{5.0f, 0.0f}, {7.0f, 0.0f}, {6.0f, 2.0f}}));
    for (float x : {10.0f, 11.0f, 12.0f, 13.0f})
        level.trinkets.PushBack(Trinket({x, 0.0f}));
    PutWaypoint(level, {0.0f, 5.0f}, {2.0f, 5.0f}, {1.0f, 5.25f});
    level.signposts.PushBack(Signpost("first", {-4.0f, 0.0f}, {-5.5f, -1.0f}, {-2.5f, -2.0f}));
    level.signposts.PushBack(Signpost("second", {-4.0f, 4.0f}, {-5.5f, 3.0f}, {-2.5f, 2.0f}));
    editor.RefreshSelectables();
}

/// Selects exactly the objects at `indices` of the selectable list, as the rubber band would.
inline void SelectOnly(LevelEditor& editor, std::initializer_list<uint32_t> indices)
{
    for (Selectable* object : editor.selectables)
        object->selected = false;
    editor.selection.Clear();
    for (uint32_t index : indices)
    {
        editor.selectables[index]->selected = true;
        editor.selection.PushBack(index);
    }
}
} // namespace editor_testing
