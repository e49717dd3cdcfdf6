#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

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
#include "EditorTesting.h"
#include "LogWatch.h"

using namespace editor_testing;

namespace
{
DynArray<uint32_t> Indices(std::initializer_list<uint32_t> list)
{
    DynArray<uint32_t> indices;
    for (uint32_t index : list)
        indices.PushBack(index);
    return indices;
}

// Selectable indices of the small level (see `FillSmallLevel`).
constexpr uint32_t Start = 0, Square = 1, Triangle = 2, FirstTrinket = 3, Gate = 7, FirstSign = 8;

WorldShape& SquareShape(LevelEditor& editor)
{
    return editor.level->worldShapes[0];
}

struct ActionCase
{
    const char* name;
    std::function<std::unique_ptr<EditorAction>(LevelEditor&)> make;
    std::function<void(LevelEditor&)> expectApplied;
    /// Changes the small level before the action is made.
    std::function<void(LevelEditor&)> prepare = nullptr;
};

/// The actions whose undo gives back the level's bytes exactly (on the quarter-unit coordinates
/// of the small level), with what each must have done.
std::vector<ActionCase> ExactCases()
{
    return {
        {"add world shape",
         [](LevelEditor&) { return std::make_unique<Action_AddWorldGeo>(CornerShape({{20, 0}, {21, 0}, {21, 1}})); },
         [](LevelEditor& e) {
             ASSERT_EQ(e.level->worldShapes.count, 3u);
             const WorldShape& added = e.level->worldShapes[2];
             EXPECT_EQ(added.segments.count, 3u) << "compiled";
             EXPECT_EQ(added.levelTime, &e.level->time);
             EXPECT_EQ(added.segments[0].levelTime, &e.level->time);
             EXPECT_EQ(e.selectables.count, 11u) << "the list is rebuilt";
         }},
        {"add trinket", [](LevelEditor&) { return std::make_unique<Action_AddTrinket>(glm::vec2(2.5f, -1.0f)); },
         [](LevelEditor& e) {
             ASSERT_EQ(e.level->trinkets.count, 5u);
             EXPECT_EQ(e.level->trinkets[4].position, glm::vec2(2.5f, -1.0f));
             EXPECT_EQ(e.level->trinkets[4].timer, 0.0f);
         }},
        {"add waypoint", [](LevelEditor&) { return std::make_unique<Action_AddWaypoint>(glm::vec2(0, 0), glm::vec2(2, 0)); },
         [](LevelEditor& e) {
             ASSERT_EQ(e.level->waypoints.count, 2u);
             const Waypoint& added = e.level->waypoints[1];
             ExpectVecNear(added.respawnPoint, {1.0f, 0.3f});
             EXPECT_EQ(added.index, -1);
             EXPECT_EQ(added.previous, -1);
             EXPECT_EQ(added.levelTime, &e.level->time);
         }},
        {"add signpost", [](LevelEditor&) { return std::make_unique<Action_AddSignpost>(glm::vec2(0, 0)); },
         [](LevelEditor& e) {
             ASSERT_EQ(e.level->signposts.count, 3u);
             const Signpost& added = e.level->signposts[2];
             EXPECT_EQ(added.text, "Your Text Here");
             EXPECT_EQ(added.boxCornerA, glm::vec2(-1.5f, -1.0f));
             EXPECT_EQ(added.boxCornerB, glm::vec2(1.5f, -2.0f));
         }},
        {"translate one of each kind",
         [](LevelEditor&) {
             return std::make_unique<Action_Translate>(glm::vec2(1.25f, -0.5f), Indices({Start, Square, FirstTrinket, Gate, FirstSign}));
         },
         [](LevelEditor& e) {
             EXPECT_EQ(e.level->start.position, glm::vec2(1.75f, -0.25f));
             EXPECT_EQ(SquareShape(e).points[0].position, glm::vec2(1.25f, -0.5f));
             EXPECT_EQ(e.level->trinkets[0].position, glm::vec2(11.25f, -0.5f));
             EXPECT_EQ(e.level->waypoints[0].respawnPoint, glm::vec2(2.25f, 4.75f));
             EXPECT_EQ(e.level->signposts[0].boxCornerB, glm::vec2(-1.25f, -2.5f));
             EXPECT_EQ(e.selectionCentre, glm::vec2(1.25f, -0.5f)) << "the gizmo goes with them";
         }},
        {"delete trinkets 1 and 3", [](LevelEditor& e) { return std::make_unique<Action_DeleteSelection>(Indices({4, 6}), e); },
         [](LevelEditor& e) {
             ASSERT_EQ(e.level->trinkets.count, 2u);
             EXPECT_EQ(e.level->trinkets[0].position.x, 10.0f);
             EXPECT_EQ(e.level->trinkets[1].position.x, 12.0f) << "the former index 3 went second";
         }},
        {"delete one of each kind and the level start",
         [](LevelEditor& e) { return std::make_unique<Action_DeleteSelection>(Indices({Start, Triangle, 5, Gate, 9}), e); },
         [](LevelEditor& e) {
             EXPECT_EQ(e.level->start.position, glm::vec2(0.5f, 0.25f)) << "the level start is never deleted";
             EXPECT_EQ(e.level->worldShapes.count, 1u);
             EXPECT_EQ(e.level->trinkets.count, 3u);
             EXPECT_EQ(e.level->waypoints.count, 0u);
             ASSERT_EQ(e.level->signposts.count, 1u);
             EXPECT_EQ(e.level->signposts[0].text, "first");
         }},
        {"move a point with its handles", [](LevelEditor&) { return std::make_unique<Action_MoveVertex>(0, glm::vec2(0.5f, 0.25f), Square, 2); },
         [](LevelEditor& e) {
             const ShapePoint& moved = SquareShape(e).points[2];
             EXPECT_EQ(moved.position, glm::vec2(1.5f, 1.25f));
             EXPECT_EQ(moved.handleA, glm::vec2(1.5f, 1.0f));
             EXPECT_EQ(SquareShape(e).segments[1].p1, glm::vec2(1.5f, 1.25f)) << "recompiled";
         }},
        {"move a corner's handle A (index -1 is the last point)",
         [](LevelEditor&) { return std::make_unique<Action_MoveVertex>(1, glm::vec2(0.25f, 0.0f), Square, -1); },
         [](LevelEditor& e) {
             EXPECT_EQ(SquareShape(e).points[3].handleA, glm::vec2(0.5f, 1.0f));
             EXPECT_EQ(SquareShape(e).points[3].handleB, glm::vec2(0.0f, 0.75f)) << "a corner's other handle stays";
         }},
        {"delete point 0", [](LevelEditor& e) { return std::make_unique<Action_DeleteVertex>(Square, 0, e); },
         [](LevelEditor& e) {
             ASSERT_EQ(SquareShape(e).points.count, 3u);
             EXPECT_EQ(SquareShape(e).points[0].position, glm::vec2(1.0f, 0.0f));
         }},
        {"surface type of edge 0", [](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(Square, 0, 3, e); },
         [](LevelEditor& e) {
             EXPECT_EQ(SquareShape(e).points[0].surfaceType, SurfaceType::Jagged);
             EXPECT_EQ(SquareShape(e).segments[0].surfaceType, SurfaceType::Jagged);
         }},
        {"make edge 4 (edge 0) a spline",
         [](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(Square, 4, Action_ChangeSpline::ToggleSpline, e); },
         [](LevelEditor& e) {
             EXPECT_TRUE(SquareShape(e).points[0].isSpline);
             EXPECT_TRUE(SquareShape(e).segments[0].isCurved);
         }},
        {"make a corner smooth", [](LevelEditor& e) { return std::make_unique<Action_ChangeVertex>(Square, 0, e); },
         [](LevelEditor& e) {
             const ShapePoint& point = SquareShape(e).points[0];
             EXPECT_FALSE(point.isCorner);
             EXPECT_EQ(point.handleA, glm::vec2(-1.0f, -1.0f));
             EXPECT_EQ(point.handleB, glm::vec2(1.0f, 1.0f));
         },
         [](LevelEditor& e) {
             ShapePoint& point = SquareShape(e).points[0];
             point.handleA = {1.0f, 0.0f};
             point.handleB = {3.0f, 2.0f};
             SquareShape(e).Compile();
         }},
        {"make a smooth point a corner", [](LevelEditor& e) { return std::make_unique<Action_ChangeVertex>(Square, 1, e); },
         [](LevelEditor& e) {
             const ShapePoint& point = SquareShape(e).points[1];
             EXPECT_TRUE(point.isCorner);
             EXPECT_EQ(point.handleA, glm::vec2(0.75f, 0.0f)) << "only the flag changes";
         },
         [](LevelEditor& e) { SquareShape(e).points[1].isCorner = false; }},
        {"move a waypoint's respawn point", [](LevelEditor&) { return std::make_unique<Action_ChangeWaypoint>(2, glm::vec2(0.25f, 0.5f), Gate); },
         [](LevelEditor& e) { EXPECT_EQ(e.level->waypoints[0].respawnPoint, glm::vec2(1.25f, 5.75f)); }},
        {"change a signpost's text", [](LevelEditor&) { return std::make_unique<Action_ChangeSignpost>(FirstSign, "first", "changed"); },
         [](LevelEditor& e) { EXPECT_EQ(e.level->signposts[0].text, "changed"); }},
    };
}
} // namespace

TEST(EditorActions, EachAppliesUndoesAndRedoesToTheExactBytes)
{
    for (const ActionCase& c : ExactCases())
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        FillSmallLevel(*editor);
        if (c.prepare)
            c.prepare(*editor);
        const std::vector<uint8_t> before = LevelBytes(editor.level());

        editor->AddAction(c.make(*editor));
        ASSERT_EQ(editor->actionIndex, 0);
        c.expectApplied(*editor);
        const std::vector<uint8_t> applied = LevelBytes(editor.level());
        EXPECT_NE(applied, before);

        editor->Undo();
        EXPECT_EQ(editor->actionIndex, -1);
        EXPECT_EQ(LevelBytes(editor.level()), before);
        editor->Redo();
        EXPECT_EQ(LevelBytes(editor.level()), applied);
        c.expectApplied(*editor);
        editor->Undo();
        EXPECT_EQ(LevelBytes(editor.level()), before);
    }
}

TEST(EditorActions, InexactUndosComeBackWithinRounding)
{
    // Turning back by the negated angle, removing an inserted point (which stretches the
    // neighbouring handles back) and re-aligning a smooth point's other handle round off the
    // last bits; everything comes back to within float rounding.
    const ActionCase cases[] = {
        {"rotate a quarter turn", [](LevelEditor&) { return std::make_unique<Action_Rotate>(glm::vec2(0.5f, 0.5f), 1.5707964f, Indices({Start, Square, FirstTrinket, Gate, FirstSign})); },
         [](LevelEditor& e) {
             ExpectVecNear(e.level->trinkets[0].position, {0.0f, -9.0f});
             ExpectVecNear(e.level->start.position, {0.25f, 0.5f});
         }},
        {"add a point on edge 0", [](LevelEditor&) { return std::make_unique<Action_AddVertex>(Square, glm::vec2(0.5f, 0.03f), 1); },
         [](LevelEditor& e) {
             ASSERT_EQ(SquareShape(e).points.count, 5u);
             ExpectVecNear(SquareShape(e).points[1].position, {0.5f, 0.0f}, 1e-3f);
         }},
        {"drag a smooth point's handle B", [](LevelEditor&) { return std::make_unique<Action_MoveVertex>(2, glm::vec2(0.3f, 0.7f), Square, 1); },
         [](LevelEditor& e) {
             const ShapePoint& point = SquareShape(e).points[1];
             const glm::vec2 in = point.position - point.handleA;
             const glm::vec2 out = point.handleB - point.position;
             EXPECT_NEAR(in.x * out.y - in.y * out.x, 0.0f, 1e-5f) << "handle A turned to stay in line";
         },
         [](LevelEditor& e) {
             ShapePoint& point = SquareShape(e).points[1];
             point.isCorner = false;
             point.handleB = {1.25f, 0.0f};
             SquareShape(e).Compile();
         }},
    };
    for (const ActionCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        FillSmallLevel(*editor);
        if (c.prepare)
            c.prepare(*editor);
        EditorHarness original;
        FillSmallLevel(*original);
        if (c.prepare)
            c.prepare(*original);

        editor->AddAction(c.make(*editor));
        c.expectApplied(*editor);
        editor->Undo();
        const Level& undone = editor.level();
        const Level& expected = original.level();
        ExpectVecNear(undone.start.position, expected.start.position);
        ASSERT_EQ(undone.worldShapes.count, expected.worldShapes.count);
        for (uint32_t s = 0; s < undone.worldShapes.count; ++s)
        {
            ASSERT_EQ(undone.worldShapes[s].points.count, expected.worldShapes[s].points.count);
            for (uint32_t p = 0; p < undone.worldShapes[s].points.count; ++p)
            {
                const ShapePoint& a = undone.worldShapes[s].points[p];
                const ShapePoint& b = expected.worldShapes[s].points[p];
                ExpectVecNear(a.position, b.position);
                ExpectVecNear(a.handleA, b.handleA);
                ExpectVecNear(a.handleB, b.handleB);
                EXPECT_EQ(a.isCorner, b.isCorner);
            }
        }
        for (uint32_t t = 0; t < undone.trinkets.count; ++t)
            ExpectVecNear(undone.trinkets[t].position, expected.trinkets[t].position);
        ExpectVecNear(undone.waypoints[0].endB, expected.waypoints[0].endB);
        ExpectVecNear(undone.signposts[0].boxCornerA, expected.signposts[0].boxCornerA);
    }
}

TEST(EditorActions, WrongTargetsAreLoggedAndChangeNothing)
{
    // Trinket 3 stands where a world shape or a signpost was expected.
    const struct
    {
        const char* name;
        std::function<std::unique_ptr<EditorAction>(LevelEditor&)> make;
        std::vector<std::string> applyAndUndoErrors;
    } cases[] = {
        {"add vertex", [](LevelEditor&) { return std::make_unique<Action_AddVertex>(FirstTrinket, glm::vec2(10, 0), 1); },
         {"[Action_AddVertex.cpp:9]Tried to apply an 'add vertex' action with a target of the wrong type.",
          "[Action_AddVertex.cpp:19]Tried to undo an 'add vertex' action with a target of the wrong type."}},
        {"change spline", [](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(FirstTrinket, 0, 7, e); },
         {"[Action_ChangeSpline.cpp:9]Tried to add a 'change spline' action with a target of the wrong type.",
          "[Action_ChangeSpline.cpp:19]Tried to apply a 'change spline' action with a target of the wrong type.",
          "[Action_ChangeSpline.cpp:37]Tried to undo a 'change spline' action with a target of the wrong type."}},
        {"change vertex", [](LevelEditor& e) { return std::make_unique<Action_ChangeVertex>(FirstTrinket, 0, e); },
         {"[Action_ChangeVertex.cpp:9]Tried to add a 'change vertex' action with a target of the wrong type.",
          "[Action_ChangeVertex.cpp:20]Tried to apply a 'change vertex' action with a target of the wrong type.",
          "[Action_ChangeVertex.cpp:38]Tried to undo a 'change vertex' action with a target of the wrong type."}},
        {"delete vertex", [](LevelEditor& e) { return std::make_unique<Action_DeleteVertex>(FirstTrinket, 0, e); },
         {"[Action_DeleteVertex.cpp:9]Tried to add a 'delete vertex' action with a target of the wrong type.",
          "[Action_DeleteVertex.cpp:21]Tried to apply a 'delete vertex' action with a target of the wrong type.",
          "[Action_DeleteVertex.cpp:31]Tried to undo a 'delete vertex' action with a target of the wrong type."}},
        {"change signpost", [](LevelEditor&) { return std::make_unique<Action_ChangeSignpost>(FirstTrinket, "a", "b"); },
         {"[Action_ChangeSignpost.cpp:9]Tried to apply a 'change signpost' action with a target of the wrong type.",
          "[Action_ChangeSignpost.cpp:19]Tried to undo a 'change signpost' action with a target of the wrong type."}},
        {"move vertex, silently", [](LevelEditor&) { return std::make_unique<Action_MoveVertex>(0, glm::vec2(1, 1), FirstTrinket, 0); }, {}},
        {"change waypoint, silently", [](LevelEditor&) { return std::make_unique<Action_ChangeWaypoint>(0, glm::vec2(1, 1), Square); }, {}},
        {"a target beyond the list", [](LevelEditor&) { return std::make_unique<Action_ChangeWaypoint>(0, glm::vec2(1, 1), 99); }, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        FillSmallLevel(*editor);
        const std::vector<uint8_t> before = LevelBytes(editor.level());
        LogWatch errors(ErrorLog);
        editor->AddAction(c.make(*editor));
        EXPECT_EQ(LevelBytes(editor.level()), before);
        editor->Undo();
        EXPECT_EQ(LevelBytes(editor.level()), before);
        EXPECT_EQ(errors.Lines(), c.applyAndUndoErrors);
    }
}

TEST(EditorHistory, AddingAfterUndosDropsTheRedoPartAndTheEndsDoNothing)
{
    EditorHarness editor;
    const std::vector<uint8_t> empty = LevelBytes(editor.level());
    editor->Undo();
    editor->Redo();
    EXPECT_EQ(editor->actionIndex, -1) << "nothing to undo or redo";

    for (float x : {1.0f, 2.0f, 3.0f})
        editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(x, 0.0f)));
    EXPECT_FALSE(editor->CanRedo());
    editor->Redo();
    EXPECT_EQ(editor->actionIndex, 2) << "redo at the top does nothing";

    editor->Undo();
    editor->Undo();
    EXPECT_TRUE(editor->CanRedo());
    editor->AddAction(std::make_unique<Action_AddSignpost>(glm::vec2(0.0f, 0.0f)));
    EXPECT_EQ(editor->actions.count, 2u) << "the two undone actions are gone";
    EXPECT_EQ(editor->actionIndex, 1);
    EXPECT_FALSE(editor->CanRedo());
    EXPECT_EQ(editor.level().trinkets.count, 1u);
    EXPECT_EQ(editor.level().signposts.count, 1u);

    editor->Undo();
    editor->Undo();
    EXPECT_FALSE(editor->CanUndo());
    EXPECT_EQ(LevelBytes(editor.level()), empty);
}

TEST(EditorHistory, TheSelectionFollowsItsObjectsThroughEveryStep)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    SelectOnly(*editor, {Gate, 9});

    // A trinket added before them moves both one place on in the list.
    editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(0.0f, -3.0f)));
    EXPECT_EQ(std::vector<uint32_t>(editor->selection.begin(), editor->selection.end()), (std::vector<uint32_t>{8, 10}));
    EXPECT_EQ(editor->SelectableAt(8)->GetSelectableType(), SelectableWaypoint);
    editor->Undo();
    EXPECT_EQ(std::vector<uint32_t>(editor->selection.begin(), editor->selection.end()), (std::vector<uint32_t>{Gate, 9}));

    // Deleting a selected object leaves no index to it behind; edit mode on it ends.
    SelectOnly(*editor, {FirstSign});
    editor->EnableEditMode();
    ASSERT_TRUE(editor->editMode);
    editor->AddAction(std::make_unique<Action_DeleteSelection>(Indices({Triangle, FirstSign}), *editor));
    EXPECT_EQ(editor->selection.count, 0u);
    EXPECT_FALSE(editor->editMode);
    EXPECT_EQ(editor->shapeEdit, nullptr);
    // Undone, the signpost comes back unselected (a copy is never selected); every index is valid.
    editor->Undo();
    for (uint32_t index : editor->selection)
        EXPECT_LT(index, editor->selectables.count);
}

TEST(EditorHistory, UndoingTheAdditionOfASelectedObjectEndsEditModeAndTheSelection)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(0.0f, -3.0f)));
    editor->AddAction(std::make_unique<Action_AddSignpost>(glm::vec2(0.0f, -6.0f)));
    // Selectables: start, 2 shapes, 5 trinkets (the new one at 7), the gate, 3 signposts.
    SelectOnly(*editor, {FirstSign, 11}); // an old signpost and the new one
    editor->Undo();
    EXPECT_EQ(editor->selection.count, 0u) << "undoing a selected addition empties the whole selection";
    EXPECT_FALSE(editor->selectables[FirstSign + 1]->selected);

    SelectOnly(*editor, {7});
    editor->Undo();
    EXPECT_EQ(editor->selection.count, 0u);
    SelectOnly(*editor, {Gate});
    editor->Redo();
    EXPECT_EQ(std::vector<uint32_t>(editor->selection.begin(), editor->selection.end()), std::vector<uint32_t>{Gate + 1})
        << "redoing an addition before it only moves the selection on";

    editor->Redo();
    SelectOnly(*editor, {11});
    editor->EnableEditMode();
    ASSERT_TRUE(editor->editMode);
    editor->Undo();
    EXPECT_FALSE(editor->editMode) << "edit mode on the removed signpost ends first";
    EXPECT_EQ(editor->selection.count, 0u);
}

TEST(EditorHistory, DeletingASelectionWithTheLevelStartKeepsIt)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    SelectOnly(*editor, {Start, Square, FirstTrinket, Gate, FirstSign});
    editor->DeleteSelection();
    EXPECT_EQ(editor.level().worldShapes.count, 1u);
    EXPECT_EQ(editor.level().trinkets.count, 3u);
    EXPECT_EQ(editor->selectables.count, 6u);
    EXPECT_EQ(std::vector<uint32_t>(editor->selection.begin(), editor->selection.end()), std::vector<uint32_t>{Start})
        << "the level start stays, still selected";
    EXPECT_TRUE(editor.level().start.selected);
}

namespace
{
/// True when every coordinate is a multiple of 1/1024 below 4096 in size, so that adding and
/// taking away quarter-unit offsets is exact in single precision.
bool OnFineGrid(glm::vec2 v)
{
    for (float c : {v.x, v.y})
        if (!(std::fabs(c) < 4096.0f) || std::fmod(c * 1024.0f, 1.0f) != 0.0f)
            return false;
    return true;
}

bool OnFineGrid(LevelEditor& editor, uint32_t index)
{
    Selectable* object = editor.SelectableAt(index);
    switch (object->GetSelectableType())
    {
    case SelectableWorldShape:
        for (const ShapePoint& point : static_cast<WorldShape*>(object)->points)
            if (!OnFineGrid(point.position) || !OnFineGrid(point.handleA) || !OnFineGrid(point.handleB))
                return false;
        return true;
    case SelectableWaypoint:
    {
        const Waypoint& gate = *static_cast<Waypoint*>(object);
        return OnFineGrid(gate.endA) && OnFineGrid(gate.endB) && OnFineGrid(gate.respawnPoint);
    }
    case SelectableSignpost:
    {
        const Signpost& sign = *static_cast<Signpost*>(object);
        return OnFineGrid(sign.position) && OnFineGrid(sign.boxCornerA) && OnFineGrid(sign.boxCornerB);
    }
    default: return OnFineGrid(object->GetPosition());
    }
}

/// A random action on the editor's level as it stands, among those whose undo is exact: moves
/// only of objects on the fine grid (a new waypoint's respawn point lies 0.3 beside its gate,
/// off any grid, and adding an offset to it and taking it away again may round), handle drags
/// only on corners. Null when the drawn kind has no target.
std::unique_ptr<EditorAction> RandomAction(LevelEditor& editor, std::mt19937& random)
{
    auto quarter = [&](int low, int high) {
        return static_cast<float>(std::uniform_int_distribution<int>(low * 4, high * 4)(random)) * 0.25f;
    };
    auto pick = [&](uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(random); };
    const uint32_t shapeCount = editor.level->worldShapes.count;
    auto randomShape = [&]() { return 1 + pick(shapeCount); };
    const uint32_t firstWaypoint = 1 + shapeCount + editor.level->trinkets.count;
    const uint32_t firstSignpost = firstWaypoint + editor.level->waypoints.count;

    switch (pick(13))
    {
    case 0: return std::make_unique<Action_AddTrinket>(glm::vec2(quarter(-8, 8), quarter(-8, 8)));
    case 1:
    {
        const glm::vec2 a(quarter(-8, 8), quarter(-8, 8));
        return std::make_unique<Action_AddWaypoint>(a, a + glm::vec2(quarter(1, 3), quarter(-2, 2)));
    }
    case 2: return std::make_unique<Action_AddSignpost>(glm::vec2(quarter(-8, 8), quarter(-8, 8)));
    case 3:
    {
        const glm::vec2 corner(quarter(-8, 8), quarter(-8, 8));
        const float side = quarter(1, 2);
        return std::make_unique<Action_AddWorldGeo>(
            CornerShape({corner, corner + glm::vec2(side, 0.0f), corner + glm::vec2(side, side), corner + glm::vec2(0.0f, side)}));
    }
    case 4:
    case 5:
    {
        DynArray<uint32_t> targets;
        for (uint32_t i = 0; i < editor.selectables.count; ++i)
            if (pick(3) == 0 && OnFineGrid(editor, i))
                targets.PushBack(i);
        if (pick(2) == 0)
            return std::make_unique<Action_Translate>(glm::vec2(quarter(-2, 2), quarter(-2, 2)), std::move(targets));
        return std::make_unique<Action_DeleteSelection>(targets, editor);
    }
    case 6:
    {
        if (shapeCount == 0)
            return nullptr;
        const uint32_t target = randomShape();
        const WorldShape& shape = *editor.ShapeAt(target);
        const auto point = static_cast<int32_t>(pick(shape.points.count));
        uint32_t kind = shape.PointAt(point).isCorner ? pick(3) : 0;
        if (!OnFineGrid(editor, target))
            return nullptr;
        return std::make_unique<Action_MoveVertex>(kind, glm::vec2(quarter(-1, 1), quarter(-1, 1)), target, point);
    }
    case 7:
    {
        if (shapeCount == 0)
            return nullptr;
        const uint32_t target = randomShape();
        if (editor.ShapeAt(target)->points.count < 3)
            return nullptr;
        return std::make_unique<Action_DeleteVertex>(target, static_cast<int32_t>(pick(8)) - 2, editor);
    }
    case 8:
    {
        if (shapeCount == 0)
            return nullptr;
        static const uint32_t values[] = {0, 1, 2, 3, 4, 5, 7, Action_ChangeSpline::ToggleSpline};
        return std::make_unique<Action_ChangeSpline>(randomShape(), static_cast<int32_t>(pick(6)), values[pick(8)], editor);
    }
    case 9:
        if (shapeCount == 0)
            return nullptr;
        return std::make_unique<Action_ChangeVertex>(randomShape(), static_cast<int32_t>(pick(5)), editor);
    case 10:
    case 11:
    {
        if (firstSignpost == firstWaypoint)
            return nullptr;
        const uint32_t target = firstWaypoint + pick(firstSignpost - firstWaypoint);
        if (!OnFineGrid(editor, target))
            return nullptr;
        return std::make_unique<Action_ChangeWaypoint>(pick(3), glm::vec2(quarter(-1, 1), quarter(-1, 1)), target);
    }
    default:
    {
        if (firstSignpost == editor.selectables.count)
            return nullptr;
        const uint32_t target = firstSignpost + pick(editor.selectables.count - firstSignpost);
        return std::make_unique<Action_ChangeSignpost>(target, editor.SignpostAt(target)->text, "text " + std::to_string(pick(100)));
    }
    }
}
/// Where the test's mouse goes next: a random quarter point, or one where a press does
/// something: an object, a shape's point, a waypoint's end or a handle of the gizmo. Always on
/// the fine grid.
glm::vec2 RandomCursor(LevelEditor& editor, std::mt19937& random)
{
    auto pick = [&](uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(random); };
    const glm::vec2 quarter(static_cast<float>(static_cast<int>(pick(65)) - 32) * 0.25f,
                            static_cast<float>(static_cast<int>(pick(65)) - 32) * 0.25f);
    glm::vec2 target = quarter;
    Selectable* object = editor.SelectableAt(pick(editor.selectables.count));
    switch (pick(4))
    {
    case 0: target = object->GetPosition(); break;
    case 1:
        if (object->GetSelectableType() == SelectableWorldShape)
        {
            const WorldShape& shape = *static_cast<WorldShape*>(object);
            target = shape.PointAt(static_cast<int32_t>(pick(shape.points.count))).position;
        }
        else if (object->GetSelectableType() == SelectableWaypoint)
        {
            target = pick(2) == 0 ? static_cast<Waypoint*>(object)->endA : static_cast<Waypoint*>(object)->endB;
        }
        break;
    case 2:
    {
        const float s = 0.025f * editor.camera->viewHeight;
        const glm::vec2 handles[] = {{0.0f, 0.0f}, {2.0f * s, 0.0f}, {0.0f, 2.0f * s}};
        target = editor.selectionCentre + handles[pick(3)];
        break;
    }
    default: break;
    }
    return OnFineGrid(target) ? target : quarter;
}

/// True when a press of `button` at `at` would begin a drag whose recorded step need not undo to
/// the exact bytes: the rotate handle, a move of objects off the fine grid, a handle of a curve
/// (which turns its partner with it), or a point of a shape or waypoint off the fine grid.
bool StartsAnInexactDrag(LevelEditor& editor, glm::vec2 at, uint32_t button)
{
    if (!editor.editMode)
    {
        const uint32_t handle = button == 0 ? editor.HitTestGizmo(at) : GizmoNone;
        if (handle == GizmoNone)
            return false;
        if (handle == GizmoRotate || !OnFineGrid(editor.selectionCentre))
            return true;
        for (uint32_t index : editor.selection)
            if (!OnFineGrid(editor, index))
                return true;
        return false;
    }
    Selectable* edited = editor.EditedObject();
    if (edited == nullptr || edited->GetSelectableType() == SelectableSignpost)
        return false;
    if (!OnFineGrid(editor, editor.selection[0]))
        return true;
    if (edited->GetSelectableType() != SelectableWorldShape)
        return false;
    ShapeEditState probe;
    probe.Pick(*static_cast<WorldShape*>(edited), at, LevelEditor::PickRadius);
    return probe.elementKind == ElementHandleA || probe.elementKind == ElementHandleB;
}

/// A point, handle or waypoint end follows the cursor: the level holds a preview of the drag.
bool DragShown(const LevelEditor& editor)
{
    return (editor.shapeEdit && editor.shapeEdit->IsDragging()) || editor.waypointDrag;
}

/// One random piece of the designer's input: a press or release of any button (a band, a gizmo
/// drag, a pick in edit mode), E, Escape or Delete, in any order.
void RandomInput(EditorHarness& editor, std::mt19937& random)
{
    auto pick = [&](uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(random); };
    const glm::vec2 at = RandomCursor(*editor, random);
    const uint32_t roll = pick(10);
    if (roll < 6)
    {
        const uint32_t button = roll % 3;
        if (editor.input->buttonsDown.count(static_cast<int32_t>(button)) > 0)
            editor.Release(at, button);
        else if (!StartsAnInexactDrag(*editor, at, button))
            editor.Press(at, button);
        return;
    }
    editor.Frame(at);
    if (roll < 8)
        editor.Key(GLFW_KEY_E);
    else if (roll < 9)
        editor.Key(GLFW_KEY_ESCAPE);
    else
        editor.Key(GLFW_KEY_DELETE);
}
} // namespace

TEST(EditorHistory, RandomSequencesUndoAndRedoToTheExactBytesOfEveryStep)
{
    for (uint32_t seed = 1; seed <= 12; ++seed)
    {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        EditorHarness editor;
        FillSmallLevel(*editor);
        // The bytes that each place in the history stands for: entry k is the level with the
        // first k actions applied.
        std::vector<std::vector<uint8_t>> expected{LevelBytes(editor.level())};
        uint32_t applied = 0;
        uint32_t recordedByInput = 0;
        for (int step = 0; step < 240; ++step)
        {
            const uint32_t roll = std::uniform_int_distribution<uint32_t>(0, 19)(random);
            const int32_t indexBefore = editor->actionIndex;
            if (roll < 3)
            {
                editor->Undo();
            }
            else if (roll < 6)
            {
                editor->Redo();
            }
            else if (roll < 10)
            {
                RandomInput(editor, random);
                ASSERT_TRUE(!editor->editMode || (editor->selection.count == 1 && editor->shapeEdit))
                    << "edit mode without exactly one selected object, step " << step;
                if (editor->actionIndex == indexBefore + 1)
                {
                    // The input recorded a step (the Delete key, a released drag, a new point).
                    ASSERT_FALSE(DragShown(*editor));
                    expected.resize(static_cast<size_t>(editor->actionIndex) + 1);
                    expected.push_back(LevelBytes(editor.level()));
                    ++recordedByInput;
                    continue;
                }
                ASSERT_EQ(editor->actionIndex, indexBefore) << "step " << step;
                if (DragShown(*editor))
                    continue;
            }
            else if (DragShown(*editor))
            {
                // The editor's own steps wait for a drag to end, as the designer's hand does.
                continue;
            }
            else if (std::unique_ptr<EditorAction> action = RandomAction(*editor, random))
            {
                editor->AddAction(std::move(action));
                ASSERT_TRUE(editor->note.empty()) << editor->note;
                expected.resize(static_cast<size_t>(editor->actionIndex) + 1);
                expected.push_back(LevelBytes(editor.level()));
                ++applied;
                continue;
            }
            ASSERT_EQ(LevelBytes(editor.level()), expected[static_cast<size_t>(editor->actionIndex + 1)]) << "step " << step;
        }
        EXPECT_GT(applied, 40u) << "the sequence must do something";
        EXPECT_GT(recordedByInput, 0u) << "and so must the input";
        const int32_t indexBeforeReleases = editor->actionIndex;
        for (uint32_t button = 0; button < 3; ++button)
            if (editor.input->buttonsDown.count(static_cast<int32_t>(button)) > 0)
                editor.Release({0.0f, 0.0f}, button);
        if (editor->actionIndex != indexBeforeReleases)
        {
            // A drag let go records its step.
            expected.resize(static_cast<size_t>(editor->actionIndex) + 1);
            expected.push_back(LevelBytes(editor.level()));
        }
        ASSERT_EQ(expected.size(), editor->actions.count + 1);
        while (editor->CanUndo())
        {
            editor->Undo();
            ASSERT_EQ(LevelBytes(editor.level()), expected[static_cast<size_t>(editor->actionIndex + 1)]);
        }
        EXPECT_EQ(LevelBytes(editor.level()), expected.front());
        while (editor->CanRedo())
            editor->Redo();
        EXPECT_EQ(LevelBytes(editor.level()), expected[editor->actions.count]);
    }
}
