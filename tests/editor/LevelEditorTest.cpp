#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "Action_AddSignpost.h"
#include "Action_AddTrinket.h"
#include "Action_AddWorldGeo.h"
#include "Action_ChangeSignpost.h"
#include "Action_ChangeSpline.h"
#include "Action_DeleteSelection.h"
#include "Action_MoveVertex.h"
#include "Action_Rotate.h"
#include "Action_Translate.h"
#include "EditorTesting.h"
#include "LevelLimits.h"
#include "LineRenderer.h"
#include "LogWatch.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "Utilities.h"

using namespace editor_testing;

namespace
{
std::vector<uint32_t> Selection(LevelEditor& editor)
{
    return std::vector<uint32_t>(editor.selection.begin(), editor.selection.end());
}

bool PopupOpen(const char* name)
{
    ImGui::NewFrame();
    const bool open = ImGui::IsPopupOpen(name);
    ImGui::EndFrame();
    return open;
}
} // namespace

TEST(LevelEditorGrid, SpacingDoublesAndHalvesWithinItsLimits)
{
    const struct
    {
        const char* name;
        std::vector<uint32_t> keys;
        std::vector<float> spacings;
    } cases[] = {
        {"=", {GLFW_KEY_EQUAL, GLFW_KEY_EQUAL, GLFW_KEY_EQUAL, GLFW_KEY_KP_ADD, GLFW_KEY_EQUAL, GLFW_KEY_EQUAL},
         {0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 8.0f}},
        {"-", {GLFW_KEY_MINUS, GLFW_KEY_KP_SUBTRACT, GLFW_KEY_MINUS, GLFW_KEY_MINUS}, {0.125f, 0.0625f, 0.03125f, 0.03125f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        for (size_t k = 0; k < c.keys.size(); ++k)
        {
            editor.Key(c.keys[k]);
            EXPECT_EQ(editor->gridSpacing, c.spacings[k]) << "press " << k + 1;
        }
    }
}

TEST(LevelEditorGrid, HoldingGSnapsToTheSpacingFromTheOriginWhateverTheDrawnGrid)
{
    EditorHarness editor;
    editor.Frame({0.374f, -0.125f});
    EXPECT_EQ(editor->Position(), glm::vec2(0.374f, -0.125f)) << "no snapping without G";
    editor.input->keysDown.insert(GLFW_KEY_G);
    EXPECT_EQ(editor->Position(), glm::vec2(0.25f, -0.25f)) << "halves away from zero";
    editor->gridOrigin = {0.1f, 0.1f};
    EXPECT_EQ(editor->Position(), glm::vec2(0.25f, -0.25f));

    editor.Key(GLFW_KEY_G, true);
    EXPECT_EQ(editor->gridOrigin, glm::vec2(0.374f, -0.125f)) << "Ctrl+G takes the cursor as it is";
    editor->gridSpacing = 2.0f;
    editor.Key(GLFW_KEY_G, true, true);
    EXPECT_EQ(editor->gridOrigin, glm::vec2(0.0f, 0.0f));
    EXPECT_EQ(editor->gridSpacing, 0.25f);

    // A new trinket lands on the snapped position.
    editor->creationMode = CreateTrinkets;
    editor.Click({1.13f, 2.9f});
    ASSERT_EQ(editor.level().trinkets.count, 1u);
    EXPECT_EQ(editor.level().trinkets[0].position, glm::vec2(1.25f, 3.0f));
}

TEST(LevelEditorGrid, EveryOrdinaryViewDrawsEveryLineAndAFarViewStaysBounded)
{
    const struct
    {
        const char* name;
        float viewHeight;
        float centreX;
        float spacing;
        /// The lines across and up and down, and the step between them as a multiple of the
        /// spacing; 0 lines: only bounded.
        uint32_t vertical, horizontal;
        float step;
    } cases[] = {
        // x from -7.5 to 7.5 and y from -5 to 5: the lines strictly inside.
        {"the first view, smallest spacing", 10.0f, 0.0f, LevelEditor::SmallestGridSpacing, 479, 319, 1.0f},
        {"the first view", 10.0f, 0.0f, LevelEditor::DefaultGridSpacing, 59, 39, 1.0f},
        {"zoomed out, smallest spacing", 80.0f, 0.0f, LevelEditor::SmallestGridSpacing, 3839, 2559, 1.0f},
        {"zoomed out past a line a pixel", 200.0f, 0.0f, LevelEditor::SmallestGridSpacing, 0, 0, 0.0f},
        {"far out and zoomed far out", 2.0e6f, 9.0e5f, LevelEditor::SmallestGridSpacing, 0, 0, 0.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        editor->gridSpacing = c.spacing;
        editor.camera.viewHeight = c.viewHeight;
        editor.camera.centreX = c.centreX;
        LineRenderer lines;
        editor->Draw(lines);
        std::vector<float> across;
        uint32_t upAndDown = 0;
        for (size_t i = 0; i + 1 < lines.positions.size(); i += 2)
        {
            if (lines.colours[i] != glm::vec3(0.2f, 0.2f, 0.2f))
                continue;
            const glm::vec2 a = lines.positions[i];
            const glm::vec2 b = lines.positions[i + 1];
            if (a.x == b.x)
                across.push_back(a.x);
            else if (a.y == b.y)
                ++upAndDown;
        }
        if (c.vertical == 0)
        {
            EXPECT_LE(across.size(), LevelEditor::MostGridLines + 1u);
            EXPECT_LE(upAndDown, LevelEditor::MostGridLines + 1u);
            EXPECT_GT(across.size(), 100u) << "a coarser grid is still drawn";
            continue;
        }
        EXPECT_EQ(across.size(), c.vertical);
        EXPECT_EQ(upAndDown, c.horizontal);
        for (float x : across)
            ASSERT_EQ(std::fmod(x, c.spacing * c.step), 0.0f) << x << " is no snapping position";
    }
}

TEST(LevelEditorSelection, RepeatedClicksCycleThroughOverlappingObjects)
{
    EditorHarness editor;
    editor.level().trinkets.PushBack(Trinket({0.0f, 0.0f}));
    editor.level().signposts.PushBack(Signpost("here", {0.0f, 0.05f}, {-1.5f, -1.0f}, {1.5f, -2.0f}));
    editor->RefreshSelectables(); // level start 0, trinket 1, signpost 2, all under (-0.05, -0.05)

    const std::vector<std::vector<uint32_t>> expected = {{0}, {1}, {2}, {0}};
    for (const auto& selected : expected)
    {
            editor.Click({-0.05f, -0.05f}); // clear of the gizmo of each of them
        EXPECT_EQ(Selection(*editor), selected);
        for (uint32_t i = 0; i < 3; ++i)
            EXPECT_EQ(editor->selectables[i]->selected, i == selected[0]);
    }

    editor.Click({5.0f, 5.0f});
    EXPECT_TRUE(Selection(*editor).empty()) << "a click on empty space empties the selection";
    editor.Click({-0.05f, -0.05f});
    EXPECT_EQ(Selection(*editor), std::vector<uint32_t>{0}) << "and starts the cycle again";

    editor.Drag({-1.0f, -1.0f}, {1.0f, 1.0f});
    EXPECT_EQ(Selection(*editor), (std::vector<uint32_t>{0, 1, 2})) << "a dragged band takes every hit";
    editor.Click({-0.05f, -0.05f});
    EXPECT_EQ(Selection(*editor), std::vector<uint32_t>{0}) << "a dragged band resets the cycle";
    editor.Drag({3.0f, 3.0f}, {4.0f, 4.0f});
    EXPECT_TRUE(Selection(*editor).empty()) << "a band that touches nothing empties the selection";
}

TEST(LevelEditorGizmo, MoveHandlesRecordOneActionAndOtherButtonsCancel)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    editor.Drag({9.5f, -0.5f}, {11.5f, 0.5f}); // trinkets at 10 and 11
    ASSERT_EQ(Selection(*editor), (std::vector<uint32_t>{3, 4}));
    const glm::vec2 centre = editor->selectionCentre;
    EXPECT_EQ(centre, glm::vec2(10.5f, 0.0f));
    const float s = 0.025f * editor.camera.viewHeight;

    const struct
    {
        const char* name;
        glm::vec2 handle;
        uint32_t expected;
        glm::vec2 moved;
    } cases[] = {
        {"x handle", centre + glm::vec2(2.0f * s, 0.0f), GizmoMoveX, {1.0f, 0.0f}},
        {"y handle", centre + glm::vec2(0.0f, 2.0f * s), GizmoMoveY, {0.0f, 0.5f}},
        {"free square", centre + glm::vec2(0.5f * s, 0.5f * s), GizmoMoveFree, {1.0f, 0.5f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const glm::vec2 before = editor.level().trinkets[0].position;
        const glm::vec2 from = editor->selectionCentre;
        const glm::vec2 handle = c.handle + (from - centre);
        EXPECT_EQ(editor->HitTestGizmo(handle), c.expected);
        const uint32_t actionsBefore = editor->actions.count;

        editor.Press(handle);
        editor.Frame(from + glm::vec2(0.5f, 0.25f));
        editor.Release(from + glm::vec2(1.0f, 0.5f));
        EXPECT_EQ(editor->actions.count, actionsBefore + 1);
        ExpectVecNear(editor.level().trinkets[0].position, before + c.moved);
        ExpectVecNear(editor->selectionCentre, from + c.moved);

        editor.Press(editor->selectionCentre + (handle - from));
        editor.Release(editor->selectionCentre + glm::vec2(3.0f, 3.0f), 1);
        EXPECT_EQ(editor->actions.count, actionsBefore + 1) << "a right release adds nothing";
        EXPECT_EQ(editor->gizmoHandle, GizmoNone);
    }
}

TEST(LevelEditorGizmo, ASignpostsTextFollowsItsDragAndStopsShowingOnceLetGo)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    editor.Click({-4.0f, 0.3f});
    ASSERT_EQ(Selection(*editor), std::vector<uint32_t>{8});
    const Signpost& signpost = editor.level().signposts[0];
    const float s = 0.025f * editor.camera.viewHeight;
    LineRenderer lines;

    editor.Press({-4.0f + 0.5f * s, 0.5f * s}); // the free-move square
    editor.Frame({-3.0f, 1.0f});
    editor->Draw(lines);
    EXPECT_TRUE(signpost.showPreview);
    EXPECT_EQ(signpost.previewText, "first");
    EXPECT_EQ(signpost.previewPosition, glm::vec2(-3.0f, 1.0f));
    editor.Release({-3.0f, 1.0f});
    EXPECT_EQ(signpost.position, glm::vec2(-3.0f, 1.0f));

    editor.Click({20.0f, 20.0f});
    editor->Draw(lines);
    EXPECT_FALSE(signpost.showPreview) << "let go, the signpost shows its own text";
}

TEST(LevelEditorGizmo, ReleasingTheRotateHandleWhereItIsTurnsAFullCircle)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    editor.Click({10.0f, 0.0f});
    ASSERT_EQ(Selection(*editor), std::vector<uint32_t>{3});
    const float s = 0.025f * editor.camera.viewHeight;
    const glm::vec2 handle = editor->selectionCentre - glm::vec2(1.5f * s, 1.5f * s);
    ASSERT_EQ(editor->HitTestGizmo(handle), GizmoRotate);
    editor.Press(handle);
    editor.Release(handle);
    ASSERT_EQ(editor->actions.count, 1u);
    const auto& rotate = static_cast<const Action_Rotate&>(*editor->actions[0]);
    EXPECT_FLOAT_EQ(rotate.angle, 6.2831821f);
    ExpectVecNear(editor.level().trinkets[0].position, {10.0f, 0.0f});

    editor->creationMode = CreateTrinkets;
    EXPECT_EQ(editor->HitTestGizmo(handle), GizmoNone) << "no gizmo while a creation tool is on";
}

TEST(LevelEditorModes, EditModeNeedsOneEditableObjectAndEscapeEndsTheToolFirst)
{
    const struct
    {
        const char* name;
        std::vector<uint32_t> selected;
        bool entersEditMode;
    } cases[] = {
        {"a world shape", {1}, true},
        {"a waypoint", {7}, true},
        {"a signpost", {8}, true},
        {"two objects", {1, 2}, false},
        {"a trinket", {3}, false},
        {"the level start", {0}, false},
        {"nothing", {}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        FillSmallLevel(*editor);
        for (uint32_t index : c.selected)
        {
            editor->selectables[index]->selected = true;
            editor->selection.PushBack(index);
        }
        editor.Key(GLFW_KEY_E);
        EXPECT_EQ(editor->editMode, c.entersEditMode);
        EXPECT_EQ(editor->shapeEdit != nullptr, c.entersEditMode);
        editor.Key(GLFW_KEY_E);
        EXPECT_FALSE(editor->editMode) << "E in edit mode always leaves it";
    }

    EditorHarness editor;
    FillSmallLevel(*editor);
    SelectOnly(*editor, {8});
    editor.Key(GLFW_KEY_E);
    EXPECT_STREQ(editor->signpostText, "first");
    editor->creationMode = CreateWaypointWaiting;
    editor.Key(GLFW_KEY_ESCAPE);
    EXPECT_EQ(editor->creationMode, CreateNothing);
    EXPECT_TRUE(editor->editMode) << "the first Escape only ends the tool";
    editor.Key(GLFW_KEY_ESCAPE);
    EXPECT_FALSE(editor->editMode);
}

TEST(LevelEditorModes, EditModeNeverStartsWhileABandOrAGizmoDragIsHeld)
{
    // The square is selected; a left press starts a band on empty space or grabs the gizmo's
    // free-move handle; edit mode is asked for; the middle button drags the square's point (1, 1);
    // the left button is let go over the triangle or on empty space, then the middle button.
    const struct
    {
        const char* name;
        glm::vec2 leftPress;
        glm::vec2 leftRelease;
        bool byKey; ///< E, or the edit panel's "Enable edit mode"
    } cases[] = {
        {"band let go over the triangle, E", {4.5f, -0.5f}, {6.0f, 0.5f}, true},
        {"band let go over the triangle, the panel", {4.5f, -0.5f}, {6.0f, 0.5f}, false},
        {"band let go on empty space, E", {4.5f, -0.5f}, {4.0f, -0.6f}, true},
        {"gizmo drag, E", {0.6f, 0.6f}, {2.0f, 2.0f}, true},
        {"gizmo drag, the panel", {0.6f, 0.6f}, {2.0f, 2.0f}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        FillSmallLevel(*editor);
        const std::vector<uint8_t> original = LevelBytes(editor.level());
        editor.Click({0.25f, 0.75f});
        ASSERT_EQ(Selection(*editor), std::vector<uint32_t>{1});

        editor.Press(c.leftPress);
        ASSERT_TRUE(editor->bandActive || editor->gizmoHandle == GizmoMoveFree);
        if (c.byKey)
            editor.Key(GLFW_KEY_E);
        else
            editor->EnableEditMode();
        EXPECT_FALSE(editor->editMode) << "refused while the left button is held";
        editor.Press({1.0f, 1.0f}, 2);
        editor.Frame({1.5f, 1.5f});
        editor.Release(c.leftRelease);
        editor.Release(c.leftRelease, 2);
        EXPECT_TRUE(!editor->editMode || editor->selection.count == 1) << "edit mode without exactly one selected object";

        // The level holds only what the history records: undone, it is the level as it was.
        const std::vector<uint8_t> edited = LevelBytes(editor.level());
        while (editor->CanUndo())
            editor->Undo();
        EXPECT_EQ(LevelBytes(editor.level()), original);
        while (editor->CanRedo())
            editor->Redo();
        EXPECT_EQ(LevelBytes(editor.level()), edited);
    }
}

TEST(LevelEditorModes, KeysNeedControlWhereTheyAskForItAndNothingElseHasTheKeyboard)
{
    EditorHarness editor;
    editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(1.0f, 1.0f)));
    editor.Key(GLFW_KEY_Z);
    EXPECT_EQ(editor->actionIndex, 0) << "Z without Ctrl";
    editor.input->interfaceWantsKeyboard = true;
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(editor->actionIndex, 0) << "a text field has the keyboard";
    editor.input->interfaceWantsKeyboard = false;
    editor->OnKey(GLFW_KEY_Z, false, false, true, false);
    EXPECT_EQ(editor->actionIndex, 0) << "releases do nothing";
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(editor->actionIndex, -1);
    editor.Key(GLFW_KEY_Y);
    EXPECT_EQ(editor->actionIndex, -1) << "Y without Ctrl";
    editor.Key(GLFW_KEY_Y, true);
    EXPECT_EQ(editor->actionIndex, 0);

    editor.input->interfaceWantsMouse = true;
    editor->creationMode = CreateTrinkets;
    editor.Click({4.0f, 4.0f});
    EXPECT_EQ(editor.level().trinkets.count, 1u) << "the mouse over a window adds nothing";
}

TEST(LevelEditorCreation, WaypointsLongerThanPointEightAreMadeAndARightPressDropsOne)
{
    EditorHarness editor;
    editor->creationMode = CreateWaypointWaiting;
    editor.Press({0.0f, 0.0f});
    EXPECT_EQ(editor->creationMode, CreateWaypointInProgress);
    editor.Release({0.8f, 0.0f});
    EXPECT_EQ(editor.level().waypoints.count, 0u) << "0.8 long is too short";
    EXPECT_EQ(editor->creationMode, CreateWaypointWaiting);

    editor.Press({0.0f, 0.0f});
    editor.Release({0.81f, 0.0f});
    ASSERT_EQ(editor.level().waypoints.count, 1u);
    ExpectVecNear(editor.level().waypoints[0].respawnPoint, {0.405f, 0.3f});

    editor.Press({3.0f, 0.0f});
    editor.Press({5.0f, 0.0f}, 1);
    EXPECT_EQ(editor->creationMode, CreateWaypointWaiting);
    editor.Release({5.0f, 0.0f}, 0);
    EXPECT_EQ(editor.level().waypoints.count, 1u) << "the first end was dropped";
    editor.Press({5.0f, 0.0f}, 1);
    EXPECT_EQ(editor->creationMode, CreateNothing);
}

TEST(LevelEditorCreation, TheShapeBuilderMakesOneUndoableShape)
{
    EditorHarness editor;
    editor->creationMode = CreateShapeWaiting;
    for (glm::vec2 at : {glm::vec2(0, 0), glm::vec2(1, 0), glm::vec2(1, 1), glm::vec2(0, 1)})
        editor.Click(at);
    EXPECT_EQ(editor->creationMode, CreateShapeInProgress);
    editor.Key(GLFW_KEY_ESCAPE);
    EXPECT_EQ(editor->creationMode, CreateNothing);
    ASSERT_NE(editor->shapeBuilder, nullptr) << "an unfinished shape is kept";
    editor->creationMode = CreateShapeWaiting;
    editor.Click({0.02f, 0.01f}); // resumes the builder, and closes the ring on the first point
    editor.Frame({0.0f, 0.0f});
    ASSERT_EQ(editor.level().worldShapes.count, 1u);
    EXPECT_EQ(editor.level().worldShapes[0].points.count, 4u);
    EXPECT_EQ(editor.level().worldShapes[0].segments.count, 4u);
    EXPECT_EQ(editor->shapeBuilder, nullptr);
    EXPECT_EQ(editor->creationMode, CreateShapeWaiting);
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(editor.level().worldShapes.count, 0u);

    editor.Click({3.0f, 3.0f});
    editor.Click({3.0f, 3.0f}, 1);
    editor.Frame({3.0f, 3.0f});
    EXPECT_EQ(editor->shapeBuilder, nullptr) << "one point and a right click abandon the shape";
    EXPECT_EQ(editor.level().worldShapes.count, 0u);
}

TEST(LevelEditorEditMode, DraggedPointsAndWaypointEndsAreOneStepAndCancelExactly)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    const std::vector<uint8_t> original = LevelBytes(editor.level());

    SelectOnly(*editor, {1});
    editor.Key(GLFW_KEY_E);
    editor.Press({1.0f, 1.0f}); // point 2 of the square
    EXPECT_EQ(editor->shapeEdit->elementKind, ElementPoint);
    editor.Frame({1.25f, 1.75f});
    EXPECT_EQ(editor.level().worldShapes[0].points[2].position, glm::vec2(1.25f, 1.75f)) << "the point follows live";
    EXPECT_EQ(editor->actions.count, 0u);
    editor.Release({1.5f, 1.5f});
    ASSERT_EQ(editor->actions.count, 1u);
    EXPECT_EQ(editor.level().worldShapes[0].points[2].position, glm::vec2(1.5f, 1.5f));
    EXPECT_TRUE(editor.level().worldShapes[0].selected);
    EXPECT_EQ(editor.level().worldShapes[0].levelTime, &editor.level().time);

    editor.Press({1.5f, 1.5f});
    editor.Frame({4.0f, 4.0f});
    editor.Key(GLFW_KEY_Z, true); // an undo during a drag puts the drag back first
    EXPECT_EQ(LevelBytes(editor.level()), original);
    editor.Release({4.0f, 4.0f});
    EXPECT_EQ(LevelBytes(editor.level()), original) << "the cancelled drag records nothing";

    SelectOnly(*editor, {7}); // the gate from (0, 5) to (2, 5)
    editor.Key(GLFW_KEY_E);   // leaves edit mode on the square
    editor.Key(GLFW_KEY_E);   // and enters it on the gate
    ASSERT_TRUE(editor->editMode);
    editor.Press({0.1f, 5.05f});
    editor.Frame({0.5f, 6.0f});
    EXPECT_EQ(editor.level().waypoints[0].endA, glm::vec2(0.5f, 6.0f));
    editor.Press({0.5f, 6.0f}, 1);
    EXPECT_EQ(editor.level().waypoints[0].endA, glm::vec2(0.0f, 5.0f)) << "a right press cancels to where it was";
    editor.Release({0.5f, 6.0f}, 1);
    editor.Release({0.5f, 6.0f}, 0);

    editor.Press({0.05f, 5.0f});
    editor.Release({1.0f, 7.0f});
    EXPECT_EQ(editor.level().waypoints[0].endA, glm::vec2(1.0f, 7.0f));
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(LevelBytes(editor.level()), original) << "undo brings the end back exactly";
}

TEST(LevelEditorEditMode, APopupWhoseShapeIsGoneCloses)
{
    EditorHarness editor;
    FillSmallLevel(*editor);
    SelectOnly(*editor, {1});
    editor.Key(GLFW_KEY_E);
    editor.Press({1.0f, 0.0f}, 1); // point 1 of the square
    editor.Release({1.0f, 0.0f}, 1);
    EXPECT_EQ(editor->popupIndex, 1);
    editor.Frame({1.0f, 0.0f});
    EXPECT_TRUE(PopupOpen("PointEditMenu"));
    EXPECT_EQ(editor.level().worldShapes[0].points[1].position, glm::vec2(1.0f, 0.0f)) << "a right press drags nothing";

    editor.Press({0.5f, -0.02f}, 1); // edge 0
    editor.Release({0.5f, -0.02f}, 1);
    editor.Frame({0.5f, 0.0f});
    EXPECT_TRUE(PopupOpen("SplineEditMenu"));
    editor.Key(GLFW_KEY_E);
    editor.Frame({0.5f, 0.0f});
    EXPECT_FALSE(PopupOpen("SplineEditMenu")) << "edit mode ended, so the popup has nothing to change";

    SelectOnly(*editor, {7});
    editor.Key(GLFW_KEY_E);
    editor->popupRequest = PopupSplineEdit;
    LogWatch errors(ErrorLog);
    editor.Frame({0.0f, 0.0f});
    EXPECT_EQ(errors.Lines(), std::vector<std::string>{
                                  "[LevelEditor.cpp:1273]A popup for the world menu somehow doesn't have a matching world shape."});
    EXPECT_FALSE(PopupOpen("SplineEditMenu"));
}

TEST(LevelEditorPlayTest, PlayTestingRunsTheLevelInPlaceUntilEscape)
{
    const ScratchFolder folder; // for the controls file that the figure reads or writes
    EditorHarness editor;
    FillSmallLevel(*editor);
    SelectOnly(*editor, {1});
    editor.Key(GLFW_KEY_E);
    editor->creationMode = CreateTrinkets;
    const std::vector<uint8_t> before = LevelBytes(editor.level());
    editor.Key(GLFW_KEY_P);
    ASSERT_TRUE(editor->playTesting) << "P starts at once, in a creation tool and in edit mode";
    ASSERT_NE(editor.level().world, nullptr);
    ASSERT_NE(editor.level().localPlayer, nullptr);
    EXPECT_FALSE(editor->selectables[1]->selected) << "the selection's highlight is hidden";
    EXPECT_EQ(Selection(*editor), std::vector<uint32_t>{1});

    editor.input->play.jump = true;
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(editor.Frame({0.0f, 0.0f}));
    EXPECT_GT(editor.level().time, 0.0f) << "the level runs";
    editor.Click({1.0f, 1.0f});
    editor.Key(GLFW_KEY_DELETE);
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(editor->actions.count, 0u) << "the editor's mouse and keys are off";

    editor.input->play.leave = true;
    editor.Frame({0.0f, 0.0f});
    EXPECT_FALSE(editor->playTesting);
    EXPECT_EQ(editor.level().world, nullptr) << "the game is over";
    EXPECT_TRUE(editor->selectables[1]->selected) << "the highlight is back";
    EXPECT_TRUE(editor->editMode);
    EXPECT_EQ(editor->creationMode, CreateTrinkets);
    EXPECT_EQ(LevelBytes(editor.level()), before) << "playing changed nothing that is saved";
}

TEST(LevelEditorFiles, SavingReplacesTheFileWholeOrKeepsItAndSaysSo)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("levels");
    WriteFile("levels/level.lrl", std::string(5000, 'x'));
    WriteFile("not-a-folder", "x");
    EditorHarness editor;
    FillSmallLevel(*editor);

    EXPECT_TRUE(editor->SaveLevel("levels/level.lrl"));
    EXPECT_EQ(FileBytes("levels/level.lrl"), LevelBytes(editor.level()));
    EXPECT_EQ(editor->fileName, "levels/level.lrl");
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator("levels"))
        entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"level.lrl"}) << "no temporary file is left";

    for (const char* unwritable : {"missing-folder/level.lrl", "not-a-folder/level.lrl", "levels"})
    {
        SCOPED_TRACE(unwritable);
        LogWatch errors(ErrorLog);
        LogWatch warnings(WarningLog);
        EXPECT_FALSE(editor->SaveLevel(unwritable));
        EXPECT_EQ(errors.Lines().size() + warnings.Lines().size(), 1u);
        EXPECT_NE(editor->note.find("could not be saved"), std::string::npos) << editor->note;
        EXPECT_EQ(editor->fileName, unwritable);
    }
    EXPECT_EQ(FileBytes("levels/level.lrl"), LevelBytes(editor.level()));
    EXPECT_TRUE(std::filesystem::is_directory("levels"));
}

TEST(LevelEditorFiles, AFileThatIsNoLevelChangesNothingInTheEditor)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("levels");
    WriteFile("levels/damaged.lrl", std::string("\x98\xBE\x6F\x35\x04\x00\x00\x00\0\0\0\0\0\0\0\0\x04\0\0\0", 20));
    WriteFile("levels/text.lrl", "not a level at all");
    EditorHarness editor;
    FillSmallLevel(*editor);
    ASSERT_TRUE(editor->SaveLevel("levels/good.lrl"));
    editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(3.0f, 3.0f)));
    SelectOnly(*editor, {1});
    const std::vector<uint8_t> editing = LevelBytes(editor.level());
    const std::vector<uint8_t> damaged = FileBytes("levels/damaged.lrl");

    for (const char* bad : {"levels/damaged.lrl", "levels/text.lrl", "levels/missing.lrl"})
    {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(editor->LoadLevel(bad));
        EXPECT_EQ(editor->fileName, "levels/good.lrl");
        EXPECT_EQ(LevelBytes(editor.level()), editing);
        EXPECT_EQ(editor->actions.count, 1u);
        EXPECT_EQ(Selection(*editor), std::vector<uint32_t>{1});
        EXPECT_NE(editor->note.find("could not be loaded"), std::string::npos) << editor->note;
    }
    EXPECT_EQ(FileBytes("levels/damaged.lrl"), damaged);

    editor.Key(GLFW_KEY_S, true);
    EXPECT_EQ(FileBytes("levels/good.lrl"), editing) << "Ctrl+S still saves the level to its own file";

    editor->NewLevel();
    EXPECT_TRUE(editor->LoadLevel("levels/good.lrl"));
    EXPECT_EQ(LevelBytes(editor.level()), editing);
    EXPECT_FALSE(editor->CanUndo()) << "a loaded level starts a new history";
    EXPECT_TRUE(editor->selection.count == 0 && !editor->editMode);
    EXPECT_EQ(editor->selectables.count, 11u);
}

TEST(LevelEditorFiles, TheSaveDialogSavesUnderTheLevelsFolderOrNothingWhenCancelled)
{
    const ScratchFolder folder;
    std::filesystem::create_directories("Data/Levels");
    EditorHarness editor;
    FillSmallLevel(*editor);
    editor->AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(3.0f, 3.0f)));

    editor.Key(GLFW_KEY_S, true);
    ASSERT_TRUE(editor->saveDialogOpen) << "Ctrl+S without a file name asks for one";
    EXPECT_TRUE(editor->fileDialog.IsOpen(LevelEditor::SaveDialogKey));
    editor.Key(GLFW_KEY_Z, true);
    EXPECT_EQ(editor->actionIndex, 0) << "keys are off while a dialog shows";
    editor->fileDialog.Cancel();
    editor.Frame({0.0f, 0.0f});
    EXPECT_FALSE(editor->saveDialogOpen);
    EXPECT_TRUE(editor->fileName.empty());
    EXPECT_TRUE(std::filesystem::is_empty("Data/Levels"));

    editor.Key(GLFW_KEY_S, true);
    editor->fileDialog.SetFileName("mine");
    ASSERT_TRUE(editor->fileDialog.Confirm());
    editor.Frame({0.0f, 0.0f});
    EXPECT_FALSE(editor->saveDialogOpen);
    EXPECT_EQ(editor->fileName, "Data/Levels/mine.lrl");
    EXPECT_EQ(FileBytes("Data/Levels/mine.lrl"), LevelBytes(editor.level()));

    editor->OpenSaveDialog();
    editor->OpenLoadDialog();
    EXPECT_FALSE(editor->saveDialogOpen) << "opening the load dialog closes the save dialog";
    EXPECT_TRUE(editor->loadDialogOpen);
    EXPECT_TRUE(editor->fileDialog.IsOpen(LevelEditor::LoadDialogKey));
    editor->fileDialog.ChooseEntry(1); // mine.lrl, after ".."
    ASSERT_TRUE(editor->fileDialog.Confirm());
    editor.Frame({0.0f, 0.0f});
    EXPECT_FALSE(editor->loadDialogOpen);
    EXPECT_FALSE(editor->CanUndo()) << "loaded";
    EXPECT_EQ(editor.level().trinkets.count, 5u);
}

TEST(LevelEditorLimits, EditsStayWithinWhatTheLoaderTakesAndALevelAtEachLimitLoadsBack)
{
    const ScratchFolder folder;
    // A rectangle `width` long and 0.2 high, its long bottom edge of surface `bottom`.
    auto rectangle = [](glm::vec2 corner, float width, SurfaceType bottom = SurfaceType::Plain) {
        WorldShape shape = CornerShape({corner, corner + glm::vec2(width, 0.0f), corner + glm::vec2(width, 0.2f),
                                        corner + glm::vec2(0.0f, 0.2f)});
        shape.points[0].surfaceType = bottom;
        return shape;
    };
    // Three rectangles of two edges 4000 long and one of two edges `lastWidth` long, costing
    // 80,036 each (8 for the shape, 4 for each point, 1 for each compiled point; an edge compiles
    // to 2 x trunc(5 x length + 0.5) + 2 points, at most 40,002, and a short end 0.2 long to 4)
    // and 36 + 4 x trunc(5 x lastWidth + 0.5) for the last. Answers what they cost.
    auto addLongRectangles = [&](LevelEditor& e, float lastWidth) {
        uint64_t total = 0;
        for (int k = 0; k < 4; ++k)
        {
            const WorldShape shape = rectangle({-4000.0f, static_cast<float>(k)}, k < 3 ? 4000.0f : lastWidth);
            total += Level::ShapeLoadCost(shape.points.count, shape.MeasureCompiled());
            e.AddAction(std::make_unique<Action_AddWorldGeo>(shape));
        }
        return total;
    };
    const struct
    {
        const char* name;
        /// Brings the editor's level to the limit with actions that must all be taken.
        std::function<void(LevelEditor&)> toTheLimit;
        /// One more action, beyond the limit.
        std::function<std::unique_ptr<EditorAction>(LevelEditor&)> beyond;
        const char* refusal;
    } cases[] = {
        {"coordinates",
         [](LevelEditor& e) {
             e.AddAction(std::make_unique<Action_AddTrinket>(glm::vec2(1.0e6f, -1.0e6f)));
             e.AddAction(std::make_unique<Action_AddWorldGeo>(CornerShape({{999998, 0}, {1.0e6f, 0}, {1.0e6f, 2}})));
         },
         [](LevelEditor&) { return std::make_unique<Action_AddTrinket>(glm::vec2(std::nextafter(1.0e6f, 2.0e6f), 0.0f)); },
         "beyond the edge of the world"},
        {"cost",
         [&](LevelEditor& e) {
             // The last rectangle's 9,892 make 250,000 in all.
             ASSERT_EQ(addLongRectangles(e, 492.8f), Level::MaxLoadCost);
         },
         [](LevelEditor&) { return std::make_unique<Action_AddTrinket>(glm::vec2(0.0f, 50.0f)); },
         "too large to load"},
        {"cost of a signpost's text",
         [&](LevelEditor& e) {
             // 9,884 for the last rectangle, 8 for a signpost and its text of 15 bytes (a unit for
             // every 16): 250,000.
             const uint64_t shapes = addLongRectangles(e, 492.4f);
             e.AddAction(std::make_unique<Action_AddSignpost>(glm::vec2(0.0f, 50.0f)));
             e.AddAction(std::make_unique<Action_ChangeSignpost>(5, "Your Text Here", "fifteen bytes.."));
             ASSERT_EQ(shapes + Level::SignpostLoadCost(e.level->signposts[0]), Level::MaxLoadCost);
         },
         [](LevelEditor&) { return std::make_unique<Action_ChangeSignpost>(5, "fifteen bytes..", "sixteen bytes..."); },
         "too large to load"},
        {"magnet fields, which are no limit",
         [&](LevelEditor& e) {
             // Six fields of 8192 by 160 texels and one of 3264 by 160: 8,386,560 of the 8,388,608
             // a level builds.
             for (int k = 0; k < 6; ++k)
                 e.AddAction(std::make_unique<Action_AddWorldGeo>(
                     rectangle({0.0f, 20.0f * static_cast<float>(k)}, 502.0f, SurfaceType::MagneticRepulsor)));
             e.AddAction(std::make_unique<Action_AddWorldGeo>(rectangle({0.0f, -20.0f}, 194.0f, SurfaceType::MagneticRepulsor)));
         },
         // A curve that needs more field than is left: building the fields leaves some out, not the level.
         [](LevelEditor& e) { return std::make_unique<Action_ChangeSpline>(7, 1, 4, e); },
         nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EditorHarness editor;
        c.toTheLimit(*editor);
        ASSERT_TRUE(editor->note.empty()) << editor->note;
        const int32_t taken = editor->actionIndex;
        const std::vector<uint8_t> atTheLimit = LevelBytes(editor.level());

        editor->AddAction(c.beyond(*editor));
        if (c.refusal != nullptr)
        {
            EXPECT_NE(editor->note.find(c.refusal), std::string::npos) << editor->note;
            EXPECT_EQ(editor->actionIndex, taken) << "the refused change is not in the history";
            EXPECT_EQ(LevelBytes(editor.level()), atTheLimit) << "and not in the level";
        }
        else
        {
            EXPECT_TRUE(editor->note.empty()) << editor->note;
            EXPECT_EQ(editor->actionIndex, taken + 1);
        }
        const std::vector<uint8_t> saved = LevelBytes(editor.level());

        ASSERT_TRUE(editor->SaveLevel("limit.lrl"));
        Level reloaded(&editor.camera);
        ASSERT_TRUE(reloaded.ReadFromFile("limit.lrl")) << "the loader takes the whole level back";
        EXPECT_EQ(LevelBytes(reloaded), saved);
    }
}

TEST(LevelEditorFiles, EveryShippedLevelLoadsEditsAndSavesBackUnchanged)
{
    const ScratchFolder folder;
    const DynArray<std::string> shipped = ListDirectory(LEDROW_SHIPPED_LEVELS_DIR, "lrl");
    ASSERT_GT(shipped.count, 0u);
    for (const std::string& name : shipped)
    {
        SCOPED_TRACE(name);
        const std::string path = std::string(LEDROW_SHIPPED_LEVELS_DIR) + "/" + name;
        EditorHarness editor;
        LogWatch errors(ErrorLog);
        LogWatch warnings(WarningLog);
        ASSERT_TRUE(editor->LoadLevel(path)) << editor->note;
        EXPECT_EQ(LevelLimits::Check(editor.level()), "");

        // Everything deleted and put back, in its places.
        DynArray<uint32_t> everything;
        for (uint32_t i = 0; i < editor->selectables.count; ++i)
            everything.PushBack(i);
        editor->AddAction(std::make_unique<Action_DeleteSelection>(everything, *editor));
        EXPECT_EQ(editor->selectables.count, 1u) << "only the level start is left";
        editor->Undo();
        ASSERT_TRUE(editor->SaveLevel("copy.lrl"));
        EXPECT_EQ(FileBytes("copy.lrl"), FileBytes(path));
        EXPECT_TRUE(errors.Lines().empty());
        EXPECT_TRUE(warnings.Lines().empty());
    }
}
