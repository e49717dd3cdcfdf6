// Figures for the level editor on a large level (1,000 world shapes of some 10,000 points and
// 1,000 trinkets), without a GPU: a frame of the editor (its update with the user-interface frame,
// and drawing into the line batch) at the start view and with the whole level in view; selecting;
// applying, undoing and redoing each kind of action; and the memory that 1,000 undo steps hold.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

#include <imgui.h>

#include "Action_AddSignpost.h"
#include "Action_AddTrinket.h"
#include "Action_AddVertex.h"
#include "Action_AddWaypoint.h"
#include "Action_AddWorldGeo.h"
#include "Action_ChangeSignpost.h"
#include "Action_ChangeSpline.h"
#include "Action_ChangeVertex.h"
#include "Action_ChangeWaypoint.h"
#include "Action_DeleteSelection.h"
#include "Action_DeleteVertex.h"
#include "Action_MoveVertex.h"
#include "Action_Rotate.h"
#include "Action_Translate.h"
#include "Camera.h"
#include "EditorInput.h"
#include "HeadlessInterface.h"
#include "LevelEditor.h"
#include "LineRenderer.h"
#include "LogChannel.h"

namespace
{
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class NoInput final : public EditorInput
{
public:
    bool IsKeyDown(int32_t) const override { return false; }
    bool IsMouseButtonDown(int32_t) const override { return false; }
    bool InterfaceWantsMouse() const override { return false; }
    bool InterfaceWantsKeyboard() const override { return false; }
    PlayInput ReadPlay(const ControlScheme*) const override { return {}; }
};

/// A ring of ten points around `centre`: smooth curves for even `k`, clicked corners otherwise.
WorldShape Ring(glm::vec2 centre, int k)
{
    WorldShape shape;
    const bool smooth = k % 2 == 0;
    for (int i = 0; i < 10; ++i)
    {
        const float angle = 6.2831853f * static_cast<float>(i) / 10.0f;
        const glm::vec2 position = centre + glm::vec2(std::cos(angle), std::sin(angle));
        const glm::vec2 tangent(-std::sin(angle), std::cos(angle));
        shape.AddPoint(position - 0.2f * tangent, position, position + 0.2f * tangent, smooth, !smooth);
    }
    return shape;
}

/// The large level: a 32 by 32 grid of rings 3 units apart (1,000 of them used) with a trinket
/// beside each.
void FillLargeLevel(LevelEditor& editor)
{
    Level& level = *editor.level;
    for (int k = 0; k < 1000; ++k)
    {
        const glm::vec2 centre(3.0f * static_cast<float>(k % 32), 3.0f * static_cast<float>(k / 32));
        level.worldShapes.PushBack(Ring(centre, k));
        WorldShape& shape = level.worldShapes[level.worldShapes.count - 1];
        shape.SetLevelTime(&level.time);
        shape.Compile();
        level.trinkets.PushBack(Trinket(centre + glm::vec2(1.4f, 1.4f)));
    }
    level.waypoints.PushBack(Waypoint({-3.0f, 0.0f}, {-3.0f, 2.0f}, {-3.3f, 1.0f}, &level.time));
    level.signposts.PushBack(Signpost("sign", {-5.0f, 0.0f}, {-6.5f, -1.0f}, {-3.5f, -2.0f}));
    editor.RefreshSelectables();
}

class Bench
{
public:
    HeadlessInterface userInterface{ImVec2(1920.0f, 1280.0f)}; ///< outlives the editor
    Camera camera;
    std::unique_ptr<LevelEditor> editor;

    Bench()
    {
        editor = std::make_unique<LevelEditor>(&camera, std::make_unique<NoInput>());
        FillLargeLevel(*editor);
    }

    /// One editor frame without the GPU: the interface frame with the editor's update, then its
    /// lines; the batch is emptied as the render pass would.
    double Frame(glm::vec2 cursor)
    {
        const auto start = Clock::now();
        ImGui::NewFrame();
        editor->Update(cursor, {0.0f, 0.0f}, 1.0f / 72.0f);
        ImGui::Render();
        editor->Draw(lines);
        segments = lines.SegmentCount();
        lines.Clear();
        return MillisecondsSince(start);
    }

    void FrameFigures(const char* name, int count)
    {
        std::vector<double> times;
        for (int i = 0; i < count; ++i)
            times.push_back(Frame({camera.centreX + 0.01f * static_cast<float>(i % 7), camera.centreY}));
        std::printf("frame, %-44s median %7.3f ms, worst %7.3f ms, %7zu line segments\n", name, Median(times),
                    *std::max_element(times.begin(), times.end()), segments);
    }

private:
    LineRenderer lines;
    size_t segments = 0;
};

struct ActionFigure
{
    const char* name;
    std::function<std::unique_ptr<EditorAction>(LevelEditor&)> make;
};

DynArray<uint32_t> Range(uint32_t first, uint32_t count)
{
    DynArray<uint32_t> indices;
    for (uint32_t i = 0; i < count; ++i)
        indices.PushBack(first + i);
    return indices;
}

/// Apply (through the editor, with its limit check and selection rebuild), undo and redo of one
/// action, each the median of `repeats`.
void ActionFigures(Bench& bench, const ActionFigure& figure, int repeats)
{
    LevelEditor& editor = *bench.editor;
    std::vector<double> apply, undo, redo;
    for (int i = 0; i < repeats; ++i)
    {
        std::unique_ptr<EditorAction> action = figure.make(editor);
        auto start = Clock::now();
        editor.AddAction(std::move(action));
        apply.push_back(MillisecondsSince(start));
        start = Clock::now();
        editor.Undo();
        undo.push_back(MillisecondsSince(start));
        start = Clock::now();
        editor.Redo();
        redo.push_back(MillisecondsSince(start));
        editor.Undo();
    }
    editor.ClearActions();
    std::printf("%-46s apply %7.3f ms   undo %7.3f ms   redo %7.3f ms\n", figure.name, Median(apply), Median(undo),
                Median(redo));
}

size_t AllocatedBytes()
{
    return mallinfo2().uordblks;
}
} // namespace

int main()
{
    Bench bench;
    LevelEditor& editor = *bench.editor;
    uint32_t points = 0;
    for (const WorldShape& shape : editor.level->worldShapes)
        points += shape.points.count;
    std::printf("level: %u world shapes of %u points, %u trinkets, %u selectables\n\n", editor.level->worldShapes.count,
                points, editor.level->trinkets.count, editor.selectables.count);

    bench.camera.centreX = 46.0f;
    bench.camera.centreY = 46.0f;
    bench.FrameFigures("start view (10 high), nothing selected", 300);
    bench.camera.viewHeight = 100.0f;
    bench.FrameFigures("whole level in view, nothing selected", 300);

    // Selecting: a rubber band over the whole level, then a click on one ring.
    auto start = Clock::now();
    editor.pressPoint = {-2.0f, -2.0f};
    editor.bandActive = true;
    bench.Frame({98.0f, 98.0f});
    editor.OnMouseUp(0);
    std::printf("\nrubber band over the whole level: %7.3f ms (the release), %u selected\n", MillisecondsSince(start),
                editor.selection.count);
    bench.FrameFigures("whole level in view, all 2,002 selected", 100);
    editor.gizmoHandle = GizmoMoveFree;
    bench.FrameFigures("whole level, dragging all of it (previews)", 50);
    editor.gizmoHandle = GizmoNone;
    std::vector<double> clicks;
    for (int i = 0; i < 50; ++i)
    {
        bench.Frame({45.0f + 0.001f * static_cast<float>(i), 45.0f});
        start = Clock::now();
        editor.OnMouseDown(0);
        editor.OnMouseUp(0);
        clicks.push_back(MillisecondsSince(start));
    }
    std::printf("click on one ring in the whole level: median %7.3f ms\n\n", Median(clicks));
    for (Selectable* object : editor.selectables)
        object->selected = false;
    editor.selection.Clear();

    // Shape 500 is the ring at (60, 45); its selectable index is 501. Trinket 500 is at 1,501.
    const uint32_t ring = 501;
    const ActionFigure figures[] = {
        {"add world shape (10 points)", [](LevelEditor&) { return std::make_unique<Action_AddWorldGeo>(Ring({-10.0f, -10.0f}, 1)); }},
        {"add trinket", [](LevelEditor&) { return std::make_unique<Action_AddTrinket>(glm::vec2(-4.0f, -4.0f)); }},
        {"add waypoint", [](LevelEditor&) { return std::make_unique<Action_AddWaypoint>(glm::vec2(-4, -6), glm::vec2(-2, -6)); }},
        {"add signpost", [](LevelEditor&) { return std::make_unique<Action_AddSignpost>(glm::vec2(-8.0f, -4.0f)); }},
        {"move one ring", [&](LevelEditor&) { return std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), Range(ring, 1)); }},
        {"move 10 rings", [&](LevelEditor&) { return std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), Range(ring, 10)); }},
        {"move 100 rings", [&](LevelEditor&) { return std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), Range(ring, 100)); }},
        {"move one trinket", [](LevelEditor&) { return std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), Range(1501, 1)); }},
        {"rotate one ring", [&](LevelEditor&) { return std::make_unique<Action_Rotate>(glm::vec2(60.0f, 45.0f), 0.3f, Range(ring, 1)); }},
        {"delete one ring", [&](LevelEditor& e) { return std::make_unique<Action_DeleteSelection>(Range(ring, 1), e); }},
        {"delete one trinket", [](LevelEditor& e) { return std::make_unique<Action_DeleteSelection>(Range(1501, 1), e); }},
        {"delete 100 rings and 100 trinkets",
         [&](LevelEditor& e) {
             DynArray<uint32_t> indices = Range(ring, 100);
             for (uint32_t i = 0; i < 100; ++i)
                 indices.PushBack(1501 + i);
             return std::make_unique<Action_DeleteSelection>(indices, e);
         }},
        {"move a point of a ring", [&](LevelEditor&) { return std::make_unique<Action_MoveVertex>(0, glm::vec2(0.2f, 0.1f), ring, 3); }},
        {"add a point to a ring", [&](LevelEditor& e) {
             const WorldShape& shape = *e.ShapeAt(ring);
             return std::make_unique<Action_AddVertex>(ring, shape.segments[2].points[shape.segments[2].points.count / 2], 3);
         }},
        {"delete a point of a ring", [&](LevelEditor& e) { return std::make_unique<Action_DeleteVertex>(ring, 4, e); }},
        {"surface type of an edge (magnetic)", [&](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(ring, 2, 4, e); }},
        {"spline flag of an edge", [&](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(ring, 2, 9, e); }},
        {"corner or smooth point", [&](LevelEditor& e) { return std::make_unique<Action_ChangeVertex>(ring, 5, e); }},
        {"move a waypoint end", [](LevelEditor& e) { return std::make_unique<Action_ChangeWaypoint>(0, glm::vec2(0.1f, 0.0f), e.selectables.count - 2); }},
        {"signpost text", [](LevelEditor& e) { return std::make_unique<Action_ChangeSignpost>(e.selectables.count - 1, "sign", "new text"); }},
    };
    for (const ActionFigure& figure : figures)
        ActionFigures(bench, figure, 41);

    // The same kind of step on an empty level, for what the level's size adds to every step.
    {
        Bench small;
        small.editor->NewLevel();
        ActionFigures(small, {"add trinket (empty level, for comparison)",
                              [](LevelEditor&) { return std::make_unique<Action_AddTrinket>(glm::vec2(-4.0f, -4.0f)); }},
                      41);
        ActionFigures(small, {"move one trinket (one-trinket level)",
                              [](LevelEditor&) { return std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), Range(1, 1)); }},
                      1);
    }

    // 1,000 undo steps of the kinds a designer makes most: moves, point drags, new trinkets,
    // new rings and deletions, a fifth each.
    VerboseLog.ClearHistory();
    InfoLog.ClearHistory();
    const size_t before = AllocatedBytes();
    for (int i = 0; i < 1000; ++i)
    {
        const uint32_t target = ring + static_cast<uint32_t>(i % 100);
        switch (i % 5)
        {
        case 0: editor.AddAction(std::make_unique<Action_Translate>(glm::vec2(0.25f, 0.0f), Range(target, 3))); break;
        case 1: editor.AddAction(std::make_unique<Action_MoveVertex>(0, glm::vec2(0.01f, 0.0f), target, 2)); break;
        case 2: editor.AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(-1.0f, static_cast<float>(-i)))); break;
        case 3: editor.AddAction(std::make_unique<Action_AddWorldGeo>(Ring({-20.0f, static_cast<float>(-3 * i)}, i))); break;
        default: editor.AddAction(std::make_unique<Action_DeleteSelection>(Range(1 + static_cast<uint32_t>(i), 1), editor)); break;
        }
    }
    // The added objects themselves belong to the level, not to the history: undone, they go.
    while (editor.CanUndo())
        editor.Undo();
    VerboseLog.ClearHistory();
    const size_t held = AllocatedBytes() - before;
    std::printf("\n1,000 undo steps (all undone, so only the history holds memory): %zu bytes, %.1f bytes a step\n", held,
                static_cast<double>(held) / 1000.0);
    return 0;
}
