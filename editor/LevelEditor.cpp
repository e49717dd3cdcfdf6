#include "LevelEditor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <GLFW/glfw3.h>

#include "Action_AddSignpost.h"
#include "Action_AddTrinket.h"
#include "Action_AddVertex.h"
#include "Action_AddWaypoint.h"
#include "Action_AddWorldGeo.h"
#include "Action_ChangeWaypoint.h"
#include "Action_DeleteSelection.h"
#include "Action_MoveVertex.h"
#include "Action_Rotate.h"
#include "Action_Translate.h"
#include "Camera.h"
#include "LevelLimits.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "WindowInput.h"

// The editor's state, its per-frame update, the mouse and keys, selection, the gizmo and the
// history. Its windows, dialogs, saving, loading and the view it draws are in
// LevelEditorWindows.cpp.

namespace
{
constexpr uint32_t LeftButton = 0;
constexpr uint32_t RightButton = 1;
constexpr uint32_t MiddleButton = 2;

constexpr glm::vec3 Red{1.0f, 0.0f, 0.0f};
constexpr glm::vec3 Green{0.0f, 1.0f, 0.0f};
constexpr glm::vec3 Blue{0.0f, 0.0f, 1.0f};
constexpr glm::vec3 Yellow{1.0f, 1.0f, 0.0f};

/// One coordinate snapped to the nearest multiple of `spacing`, halves away from zero. A
/// coordinate too far out for a 32-bit count of steps keeps its value; the edit that would use
/// it is refused by the level's limits.
float SnapCoordinate(float value, float spacing)
{
    const float steps = std::round(value / spacing);
    if (!(std::fabs(steps) < 2147483520.0f))
        return value;
    return static_cast<float>(static_cast<int32_t>(steps)) * spacing;
}
} // namespace

LevelEditor::LevelEditor(Camera* sharedCamera, GLFWwindow* gameWindow)
    : LevelEditor(sharedCamera, std::make_unique<WindowInput>(gameWindow), gameWindow)
{
}

LevelEditor::LevelEditor(Camera* sharedCamera, std::unique_ptr<EditorInput> editorInput, GLFWwindow* gameWindow)
    : camera(sharedCamera), input(std::move(editorInput)), graphicsAvailable(gameWindow != nullptr)
{
    ClearActions();
    level = std::make_unique<Level>(camera);
    fileName.clear();
    RefreshSelectables();
}

LevelEditor::~LevelEditor() = default;

bool LevelEditor::Update(glm::vec2 cursorPosition, glm::vec2 mouseMovement, float timeStep)
{
    if (playTesting)
    {
        const Player* local = level->localPlayer;
        const bool steering = local != nullptr && !local->departed;
        if (level->Update(timeStep, input->ReadPlay(steering ? &local->controls : nullptr)))
            EndPlayTest();
        return true;
    }

    cursor = cursorPosition;
    if (input->IsMouseButtonDown(MiddleButton))
    {
        camera->centreX -= mouseMovement.x * camera->viewHeight * 0.5f;
        camera->centreY -= mouseMovement.y * camera->viewHeight * 0.5f;
    }

    DrawMenuBar();
    if (showToolbox)
        DrawCreationToolbox();
    if (showLevelProperties)
        DrawLevelPropertiesWindow();
    if (showHelp)
        DrawHelpWindow();
    DrawEditPanel();
    DrawWorldShapePopups();
    DrawFileDialogs();

    const bool controlHeld = input->IsKeyDown(GLFW_KEY_LEFT_CONTROL) || input->IsKeyDown(GLFW_KEY_RIGHT_CONTROL);
    if (!saveDialogOpen && !loadDialogOpen && !input->InterfaceWantsKeyboard() && !controlHeld)
    {
        const float pan = 0.5f * timeStep * camera->viewHeight;
        if (input->IsKeyDown(GLFW_KEY_W))
            camera->centreY += pan;
        if (input->IsKeyDown(GLFW_KEY_S))
            camera->centreY -= pan;
        if (input->IsKeyDown(GLFW_KEY_A))
            camera->centreX -= pan;
        if (input->IsKeyDown(GLFW_KEY_D))
            camera->centreX += pan;
    }

    if (creationMode == CreateShapeInProgress && shapeBuilder)
    {
        const bool interfaceHasMouse = input->InterfaceWantsMouse();
        const bool left = input->IsMouseButtonDown(LeftButton) && !interfaceHasMouse;
        const bool right = input->IsMouseButtonDown(RightButton) && !interfaceHasMouse;
        if (shapeBuilder->Update(Position(), left, right))
        {
            if (shapeBuilder->points.count > 1)
            {
                WorldShape shape;
                shapeBuilder->Finish(shape);
                AddAction(std::make_unique<Action_AddWorldGeo>(shape));
            }
            shapeBuilder.reset();
            creationMode = CreateShapeWaiting;
        }
    }

    if (Selectable* edited = EditedObject())
    {
        if (shapeEdit && edited->GetSelectableType() == SelectableWorldShape)
        {
            static_cast<WorldShape*>(edited)->SetPointVector(Position(), shapeEdit->elementKind, shapeEdit->elementIndex);
        }
        else if (waypointDrag && edited->GetSelectableType() == SelectableWaypoint)
        {
            Waypoint& waypoint = *static_cast<Waypoint*>(edited);
            const glm::vec2 position = Position();
            if (waypointDrag->point == 0)
                waypoint.endA = position;
            else if (waypointDrag->point == 1)
                waypoint.endB = position;
            else
                waypoint.respawnPoint = position;
        }
    }
    return !closeRequested;
}

void LevelEditor::OnMouseDown(uint32_t button)
{
    if (playTesting || input->InterfaceWantsMouse())
        return;
    const glm::vec2 position = Position();
    switch (creationMode)
    {
    case CreateShapeWaiting:
        if (button == LeftButton)
        {
            creationMode = CreateShapeInProgress;
            if (!shapeBuilder)
            {
                shapeBuilder = std::make_unique<ShapeBuilder>(position);
            }
            else
            {
                // A builder left with a button held would take this press for the rest of an old
                // drag; it is a fresh click that goes on with the shape.
                shapeBuilder->leftWasDown = false;
                shapeBuilder->rightWasDown = false;
            }
        }
        else if (button == RightButton)
        {
            creationMode = CreateNothing;
        }
        return;
    case CreateShapeInProgress:
        return; // the builder reads the buttons itself
    case CreateTrinkets:
        if (button == LeftButton)
            AddAction(std::make_unique<Action_AddTrinket>(position));
        else if (button == RightButton)
            creationMode = CreateNothing;
        return;
    case CreateWaypointWaiting:
        if (button == LeftButton)
        {
            pressPoint = position;
            creationMode = CreateWaypointInProgress;
        }
        else if (button == RightButton)
        {
            creationMode = CreateNothing;
        }
        return;
    case CreateWaypointInProgress:
        if (button == RightButton)
            creationMode = CreateWaypointWaiting;
        return;
    case CreateSignposts:
        if (button == LeftButton)
            AddAction(std::make_unique<Action_AddSignpost>(position));
        else if (button == RightButton)
            creationMode = CreateNothing;
        return;
    default:
        break;
    }

    const uint32_t handle = HitTestGizmo(position);
    if (button == LeftButton && !bandActive && selection.count > 0)
    {
        if (editMode)
        {
            PressInEditMode(button);
            return;
        }
        if (handle != GizmoNone)
        {
            gizmoHandle = handle;
            return;
        }
    }
    if (!editMode)
    {
        if (button == LeftButton)
        {
            pressPoint = position;
            bandActive = true;
        }
        return;
    }
    PressInEditMode(button);
}

void LevelEditor::PressInEditMode(uint32_t button)
{
    Selectable* edited = EditedObject();
    if (edited == nullptr)
        return;
    const glm::vec2 position = Position();
    if (edited->GetSelectableType() == SelectableWorldShape)
    {
        WorldShape& shape = *static_cast<WorldShape*>(edited);
        // A second press while a point or handle follows the cursor would take a new snapshot of
        // the half-dragged shape and lose where the drag began.
        if (shapeEdit->IsDragging())
            return;
        shapeEdit->Pick(shape, position, PickRadius);
        uint32_t edge = 0;
        if (button == LeftButton)
        {
            if (!shapeEdit->IsDragging() && shape.IsNearEdge(position, PickRadius, edge))
                AddAction(std::make_unique<Action_AddVertex>(selection[0], position, edge + 1));
        }
        else if (button == RightButton)
        {
            if (shapeEdit->elementKind == ElementPoint)
            {
                popupRequest = PopupPointEdit;
                popupIndex = shapeEdit->elementIndex;
                shapeEdit->elementKind = ElementNone;
            }
            else if (!shapeEdit->IsDragging() && shape.IsNearEdge(position, PickRadius, edge))
            {
                popupRequest = PopupSplineEdit;
                popupIndex = static_cast<int32_t>(edge);
            }
        }
        return;
    }
    if (edited->GetSelectableType() == SelectableWaypoint)
    {
        Waypoint& waypoint = *static_cast<Waypoint*>(edited);
        if (button == LeftButton)
        {
            auto drag = std::make_unique<WaypointDrag>();
            drag->pressPosition = position;
            if (Distance(waypoint.endA, position) < 0.15f)
            {
                drag->point = 0;
                drag->original = waypoint.endA;
            }
            else if (Distance(waypoint.endB, position) < 0.15f)
            {
                drag->point = 1;
                drag->original = waypoint.endB;
            }
            else if (Distance(waypoint.respawnPoint, position) < 0.2f)
            {
                drag->point = 2;
                drag->original = waypoint.respawnPoint;
            }
            else
            {
                drag.reset();
            }
            waypointDrag = std::move(drag);
        }
        else if (button == RightButton && waypointDrag)
        {
            CancelDrags();
        }
    }
}

void LevelEditor::OnMouseUp(uint32_t button)
{
    if (playTesting || input->InterfaceWantsMouse())
        return;
    const glm::vec2 position = Position();
    if (creationMode == CreateWaypointInProgress && button == LeftButton)
    {
        if (Distance(pressPoint, position) > ShortestWaypoint)
            AddAction(std::make_unique<Action_AddWaypoint>(pressPoint, position));
        creationMode = CreateWaypointWaiting;
    }

    if (bandActive)
        ReleaseBand();
    else if (gizmoHandle != GizmoNone)
        ReleaseGizmo(button);
    else if (editMode)
        ReleaseInEditMode();
}

void LevelEditor::ReleaseBand()
{
    const glm::vec2 position = Position();
    for (uint32_t index : selection)
        if (Selectable* object = SelectableAt(index))
            object->selected = false;
    selection.Clear();

    const float minX = std::min(pressPoint.x, position.x);
    const float maxX = std::max(pressPoint.x, position.x);
    const float minY = std::min(pressPoint.y, position.y);
    const float maxY = std::max(pressPoint.y, position.y);
    for (uint32_t i = 0; i < selectables.count; ++i)
        if (selectables[i]->HitTestRect(minX, maxX, minY, maxY))
        {
            selectables[i]->selected = true;
            selection.PushBack(i);
        }

    if (selection.count > 0 && Distance(pressPoint, position) < 0.01f)
    {
        const uint32_t kept = selection[clickCycle % selection.count];
        for (uint32_t index : selection)
            selectables[index]->selected = false;
        selection.Clear();
        selection.PushBack(kept);
        selectables[kept]->selected = true;
        ++clickCycle;
    }
    else
    {
        clickCycle = 0;
    }
    bandActive = false;
    UpdateSelectionCentre();
}

void LevelEditor::ReleaseGizmo(uint32_t button)
{
    const uint32_t handle = gizmoHandle;
    gizmoHandle = GizmoNone;
    if (button != LeftButton)
        return;
    const glm::vec2 d = Position() - selectionCentre;
    DynArray<uint32_t> targets(selection);
    switch (handle)
    {
    case GizmoMoveX: AddAction(std::make_unique<Action_Translate>(glm::vec2(d.x, 0.0f), std::move(targets))); break;
    case GizmoMoveY: AddAction(std::make_unique<Action_Translate>(glm::vec2(0.0f, d.y), std::move(targets))); break;
    case GizmoMoveFree: AddAction(std::make_unique<Action_Translate>(d, std::move(targets))); break;
    case GizmoRotate:
        AddAction(std::make_unique<Action_Rotate>(selectionCentre, RotateAngle(d), std::move(targets)));
        break;
    default: break;
    }
}

void LevelEditor::ReleaseInEditMode()
{
    Selectable* edited = EditedObject();
    if (edited == nullptr || !shapeEdit)
        return;
    const glm::vec2 position = Position();
    const uint32_t target = selection[0];
    if (!shapeEdit->IsDragging() && waypointDrag && edited->GetSelectableType() == SelectableWaypoint)
    {
        const WaypointDrag drag = *waypointDrag;
        waypointDrag.reset();
        Waypoint& waypoint = *static_cast<Waypoint*>(edited);
        glm::vec2& dragged = drag.point == 0 ? waypoint.endA : drag.point == 1 ? waypoint.endB : waypoint.respawnPoint;
        dragged = drag.original;
        AddAction(std::make_unique<Action_ChangeWaypoint>(drag.point, position - drag.original, target));
        if (Selectable* moved = EditedObject())
            selectionCentre = moved->GetPosition();
        return;
    }
    if (shapeEdit->IsDragging() && edited->GetSelectableType() == SelectableWorldShape)
    {
        WorldShape& shape = *static_cast<WorldShape*>(edited);
        const uint32_t kind = shapeEdit->elementKind;
        const int32_t index = shapeEdit->elementIndex;
        shapeEdit->elementKind = ElementNone;
        shapeEdit->elementIndex = -1;
        shape = shapeEdit->snapshot;
        shape.SetLevelTime(&level->time);
        shape.selected = true;
        if (shape.points.count == 0)
            return;
        const ShapePoint& before = shapeEdit->snapshot.PointAt(index);
        const glm::vec2 element = kind == ElementPoint ? before.position : kind == ElementHandleA ? before.handleA : before.handleB;
        AddAction(std::make_unique<Action_MoveVertex>(kind, position - element, target, Wrapped(index, shape.points.count)));
        if (WorldShape* moved = ShapeAt(target))
        {
            moved->Compile();
            selectionCentre = moved->GetPosition();
        }
    }
}

void LevelEditor::OnKey(uint32_t key, bool pressed, bool alt, bool ctrl, bool shift)
{
    if (saveDialogOpen || loadDialogOpen || input->InterfaceWantsKeyboard() || playTesting || !pressed)
        return;
    switch (key)
    {
    case GLFW_KEY_ESCAPE:
        if (creationMode != CreateNothing)
            creationMode = CreateNothing;
        else if (editMode)
            LeaveEditMode();
        break;
    case GLFW_KEY_EQUAL:
    case GLFW_KEY_KP_ADD:
        if (gridSpacing < LargestGridSpacing)
            gridSpacing = std::min(LargestGridSpacing, gridSpacing * 2.0f);
        break;
    case GLFW_KEY_MINUS:
    case GLFW_KEY_KP_SUBTRACT:
        if (gridSpacing > SmallestGridSpacing)
            gridSpacing = std::max(SmallestGridSpacing, gridSpacing * 0.5f);
        break;
    case GLFW_KEY_G:
        if (ctrl && !alt && !shift)
        {
            gridOrigin = cursor;
        }
        else if (ctrl && shift && !alt)
        {
            gridSpacing = DefaultGridSpacing;
            gridOrigin = {0.0f, 0.0f};
        }
        break;
    case GLFW_KEY_P:
        StartPlayTest();
        break;
    case GLFW_KEY_S:
        if (ctrl)
        {
            if (fileName.empty())
                OpenSaveDialog();
            else
                SaveLevel(fileName);
        }
        break;
    case GLFW_KEY_Z:
        if (ctrl)
            Undo();
        break;
    case GLFW_KEY_Y:
        if (ctrl)
            Redo();
        break;
    case GLFW_KEY_DELETE:
        DeleteSelection();
        break;
    case GLFW_KEY_E:
        if (editMode)
        {
            LeaveEditMode();
        }
        else
        {
            EnableEditMode();
        }
        break;
    default:
        break;
    }
}

void LevelEditor::DrawGizmo(LineRenderer& lines)
{
    const float s = 0.025f * camera->viewHeight;
    const glm::vec2 c = selectionCentre;
    lines.AddLine(c, c + glm::vec2(2.0f * s, 0.0f), Red);
    lines.AddLine(c, c + glm::vec2(0.0f, 2.0f * s), Green);
    lines.AddLine({c.x, c.y + s}, {c.x + s, c.y + s}, Yellow);
    lines.AddLine({c.x + s, c.y}, {c.x + s, c.y + s}, Yellow);
    lines.AddLine(c, c - glm::vec2(1.5f * s, 1.5f * s), Blue);
    lines.AddCircle(c + glm::vec2(2.0f * s, 0.0f), 0.5f * s, Red, 64);
    lines.AddCircle(c + glm::vec2(0.0f, 2.0f * s), 0.5f * s, Green, 64);
    lines.AddCircle(c - glm::vec2(1.5f * s, 1.5f * s), 0.5f * s, Blue, 64);
}

uint32_t LevelEditor::HitTestGizmo(glm::vec2 point)
{
    if (!GizmoShown())
        return GizmoNone;
    const float s = 0.025f * camera->viewHeight;
    const glm::vec2 c = selectionCentre;
    if (point.x >= c.x && point.x <= c.x + s && point.y >= c.y && point.y <= c.y + s)
        return GizmoMoveFree;
    if (Distance(point, c + glm::vec2(2.0f * s, 0.0f)) < 0.5f * s)
        return GizmoMoveX;
    if (Distance(point, c + glm::vec2(0.0f, 2.0f * s)) < 0.5f * s)
        return GizmoMoveY;
    if (Distance(point, c - glm::vec2(1.5f * s, 1.5f * s)) < 0.5f * s)
        return GizmoRotate;
    return GizmoNone;
}

void LevelEditor::NewLevel()
{
    LeaveEditMode();
    ClearActions();
    ReplaceLevel(std::make_unique<Level>(camera));
    fileName.clear();
}

void LevelEditor::ReplaceLevel(std::unique_ptr<Level> replacement)
{
    selection.Clear();
    selectables.Clear();
    bandActive = false;
    gizmoHandle = GizmoNone;
    popupRequest = PopupNothing;
    level = std::move(replacement);
    RefreshSelectables();
}

void LevelEditor::StartPlayTest()
{
    if (playTesting)
        return;
    CancelDrags();
    bandActive = false;
    gizmoHandle = GizmoNone;
    // Edits recompile shapes, which drops their magnet fields; play shows them.
    if (graphicsAvailable)
        level->BuildDataTextures();
    InfoLog << "Play-testing the level in the editor; Escape ends it.";
    InfoLog.EndMessage();
    level->Start(1, 0);
    for (uint32_t index : selection)
        if (Selectable* object = SelectableAt(index))
            object->selected = false;
    playTesting = true;
}

void LevelEditor::EndPlayTest()
{
    playTesting = false;
    for (uint32_t index : selection)
        if (Selectable* object = SelectableAt(index))
            object->selected = true;
    level->EndGame();
    InfoLog << "Play-testing ended.";
    InfoLog.EndMessage();
}

void LevelEditor::AddAction(std::unique_ptr<EditorAction> action)
{
    action->Apply(*this);
    SyncSelection();
    DynArray<uint32_t> changedIndices;
    action->ListChanged(*this, changedIndices);
    DynArray<Selectable*> changed;
    for (uint32_t index : changedIndices)
        if (Selectable* object = SelectableAt(index))
            changed.PushBack(object);
    const std::string refusal = LevelLimits::CheckChanged(*level, changed);
    if (!refusal.empty())
    {
        // Taken back at once: the redo part of the history still fits the level as it is.
        action->Undo(*this);
        SyncSelection();
        ShowNote(std::string("That change was not made: ") + refusal + ".");
        return;
    }
    while (static_cast<int32_t>(actions.count) > actionIndex + 1)
        actions.RemoveAt(actions.count - 1);
    VerboseLog << "Editor: " << action->Describe() << ".";
    VerboseLog.EndMessage();
    actions.PushBack(std::move(action));
    ++actionIndex;
}

void LevelEditor::ClearActions()
{
    actions.Clear();
    actionIndex = -1;
}

void LevelEditor::Undo()
{
    if (!CanUndo())
        return;
    CancelDrags();
    EditorAction& action = *actions[static_cast<uint32_t>(actionIndex)];
    action.Undo(*this);
    --actionIndex;
    VerboseLog << "Editor: undid " << action.Describe() << ".";
    VerboseLog.EndMessage();
    SyncSelection();
}

void LevelEditor::Redo()
{
    if (!CanRedo())
        return;
    CancelDrags();
    ++actionIndex;
    EditorAction& action = *actions[static_cast<uint32_t>(actionIndex)];
    action.Apply(*this);
    VerboseLog << "Editor: redid " << action.Describe() << ".";
    VerboseLog.EndMessage();
    SyncSelection();
}

void LevelEditor::RefreshSelectables()
{
    if (playTesting || !level)
        return;
    selectables.Clear();
    selectables.Reserve(1 + level->worldShapes.count + level->trinkets.count + level->waypoints.count +
                        level->signposts.count);
    selectables.PushBack(&level->start);
    for (WorldShape& shape : level->worldShapes)
        selectables.PushBack(&shape);
    for (Trinket& trinket : level->trinkets)
        selectables.PushBack(&trinket);
    for (Waypoint& waypoint : level->waypoints)
        selectables.PushBack(&waypoint);
    for (Signpost& signpost : level->signposts)
        selectables.PushBack(&signpost);
}

void LevelEditor::SyncSelection()
{
    RefreshSelectables();
    if (playTesting)
        return;
    // Indices shift when an earlier object comes or goes; the selected flags travel with the
    // objects themselves, so they say what is selected now.
    bool changed = false;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < selectables.count; ++i)
    {
        if (!selectables[i]->selected)
            continue;
        changed = changed || kept >= selection.count || selection[kept] != i;
        if (kept < selection.count)
            selection[kept] = i;
        else
            selection.PushBack(i);
        ++kept;
    }
    changed = changed || kept != selection.count;
    selection.Resize(kept);

    if (editMode)
    {
        Selectable* edited = EditedObject();
        if (selection.count != 1 || edited == nullptr || edited->GetSelectableType() != editedType)
            DropEditState();
    }
    if (changed)
        UpdateSelectionCentre();
}

void LevelEditor::UpdateSelectionCentre()
{
    if (selection.count == 0)
        return;
    glm::vec2 sum{0.0f, 0.0f};
    for (uint32_t index : selection)
        sum += selectables[index]->GetPosition();
    selectionCentre = sum / static_cast<float>(selection.count);
}

void LevelEditor::DeleteSelection()
{
    if (editMode)
        LeaveEditMode();
    AddAction(std::make_unique<Action_DeleteSelection>(selection, *this));
}

bool LevelEditor::SelectionIsEditable() const
{
    if (selection.count != 1)
        return false;
    Selectable* only = SelectableAt(selection[0]);
    const uint32_t type = only != nullptr ? only->GetSelectableType() : SelectableLevelStart;
    return type == SelectableWorldShape || type == SelectableWaypoint || type == SelectableSignpost;
}

bool LevelEditor::LeftDragHeld() const
{
    return bandActive || gizmoHandle != GizmoNone;
}

void LevelEditor::EnableEditMode()
{
    // A band's release replaces the selection, and a gizmo's release moves it: edit mode begun
    // under either would be left on the wrong object, or on none.
    if (editMode || LeftDragHeld() || !SelectionIsEditable())
        return;
    Selectable* object = SelectableAt(selection[0]);
    const uint32_t type = object->GetSelectableType();
    editMode = true;
    editedType = type;
    shapeEdit = std::make_unique<ShapeEditState>();
    if (type == SelectableSignpost)
        CopySignpostText(static_cast<Signpost*>(object)->text);
}

void LevelEditor::LeaveEditMode()
{
    CancelDrags();
    DropEditState();
}

void LevelEditor::DropEditState()
{
    editMode = false;
    shapeEdit.reset();
    waypointDrag.reset();
}

void LevelEditor::CancelDrags()
{
    Selectable* edited = EditedObject();
    if (edited == nullptr)
        return;
    if (shapeEdit && shapeEdit->IsDragging() && edited->GetSelectableType() == SelectableWorldShape)
    {
        WorldShape& shape = *static_cast<WorldShape*>(edited);
        shape = shapeEdit->snapshot;
        shape.SetLevelTime(&level->time);
        shape.selected = true;
        shape.Compile();
        shapeEdit->elementKind = ElementNone;
        shapeEdit->elementIndex = -1;
    }
    if (waypointDrag && edited->GetSelectableType() == SelectableWaypoint)
    {
        Waypoint& waypoint = *static_cast<Waypoint*>(edited);
        glm::vec2& dragged = waypointDrag->point == 0   ? waypoint.endA
                             : waypointDrag->point == 1 ? waypoint.endB
                                                        : waypoint.respawnPoint;
        dragged = waypointDrag->original;
        waypointDrag.reset();
    }
}

Selectable* LevelEditor::SelectableAt(uint32_t index) const
{
    return index < selectables.count ? selectables[index] : nullptr;
}

WorldShape* LevelEditor::ShapeAt(uint32_t index) const
{
    Selectable* object = SelectableAt(index);
    return object != nullptr && object->GetSelectableType() == SelectableWorldShape ? static_cast<WorldShape*>(object)
                                                                                    : nullptr;
}

Waypoint* LevelEditor::WaypointAt(uint32_t index) const
{
    Selectable* object = SelectableAt(index);
    return object != nullptr && object->GetSelectableType() == SelectableWaypoint ? static_cast<Waypoint*>(object)
                                                                                  : nullptr;
}

Signpost* LevelEditor::SignpostAt(uint32_t index) const
{
    Selectable* object = SelectableAt(index);
    return object != nullptr && object->GetSelectableType() == SelectableSignpost ? static_cast<Signpost*>(object)
                                                                                  : nullptr;
}

Selectable* LevelEditor::EditedObject() const
{
    if (!editMode || selection.count == 0)
        return nullptr;
    return SelectableAt(selection[0]);
}

void LevelEditor::RemoveLastObject(uint32_t kind)
{
    Level& edited = *level;
    Selectable* last = nullptr;
    switch (kind)
    {
    case SelectableWorldShape: last = edited.worldShapes.count > 0 ? &edited.worldShapes[edited.worldShapes.count - 1] : nullptr; break;
    case SelectableTrinket: last = edited.trinkets.count > 0 ? &edited.trinkets[edited.trinkets.count - 1] : nullptr; break;
    case SelectableWaypoint: last = edited.waypoints.count > 0 ? &edited.waypoints[edited.waypoints.count - 1] : nullptr; break;
    case SelectableSignpost: last = edited.signposts.count > 0 ? &edited.signposts[edited.signposts.count - 1] : nullptr; break;
    default: break;
    }
    if (last == nullptr)
        return;
    if (last->selected)
    {
        if (editMode && EditedObject() == last)
            DropEditState();
        for (uint32_t index : selection)
            if (Selectable* object = SelectableAt(index))
                object->selected = false;
        selection.Clear();
    }
    switch (kind)
    {
    case SelectableWorldShape: edited.worldShapes.RemoveAt(edited.worldShapes.count - 1); break;
    case SelectableTrinket: edited.trinkets.RemoveAt(edited.trinkets.count - 1); break;
    case SelectableWaypoint: edited.waypoints.RemoveAt(edited.waypoints.count - 1); break;
    case SelectableSignpost: edited.signposts.RemoveAt(edited.signposts.count - 1); break;
    default: break;
    }
}

glm::vec2 LevelEditor::Position() const
{
    return input->IsKeyDown(GLFW_KEY_G) ? Snap(cursor) : cursor;
}

glm::vec2 LevelEditor::Snap(glm::vec2 point) const
{
    return {SnapCoordinate(point.x, gridSpacing), SnapCoordinate(point.y, gridSpacing)};
}

bool LevelEditor::GizmoShown() const
{
    return !bandActive && creationMode == CreateNothing && selection.count > 0 && !editMode;
}

void LevelEditor::ShowNote(const std::string& text)
{
    note = text;
    InfoLog << "Editor: " << text;
    InfoLog.EndMessage();
}

void LevelEditor::CopySignpostText(const std::string& text)
{
    const size_t length = std::min<size_t>(text.size(), SignpostTextCapacity - 1);
    std::memcpy(signpostText, text.data(), length);
    signpostText[length] = '\0';
}

float LevelEditor::Distance(glm::vec2 a, glm::vec2 b)
{
    const glm::vec2 d = b - a;
    return std::sqrt(d.x * d.x + d.y * d.y);
}

float LevelEditor::RotateAngle(glm::vec2 d)
{
    return -(std::atan2(d.y, d.x) - RotateHandleAngle);
}

int32_t LevelEditor::Wrapped(int32_t index, uint32_t count)
{
    const auto n = static_cast<int64_t>(count);
    int64_t wrapped = static_cast<int64_t>(index) % n;
    if (wrapped < 0)
        wrapped += n;
    return static_cast<int32_t>(wrapped);
}
