#include "LevelEditor.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include <GLFW/glfw3.h>
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
#include "ByteBlob.h"
#include "Camera.h"
#include "LevelLimits.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "WindowInput.h"

namespace
{
constexpr uint32_t LeftButton = 0;
constexpr uint32_t RightButton = 1;
constexpr uint32_t MiddleButton = 2;

constexpr glm::vec3 GridColour{0.2f, 0.2f, 0.2f};
constexpr glm::vec3 BandColour{0.5f, 0.0f, 0.0f};
constexpr glm::vec3 LongEnoughColour{0.0f, 0.5f, 0.0f};
constexpr glm::vec3 TooShortColour{0.8f, 0.0f, 0.0f};
constexpr glm::vec3 Red{1.0f, 0.0f, 0.0f};
constexpr glm::vec3 Green{0.0f, 1.0f, 0.0f};
constexpr glm::vec3 Blue{0.0f, 0.0f, 1.0f};
constexpr glm::vec3 Yellow{1.0f, 1.0f, 0.0f};
constexpr glm::vec3 White{1.0f, 1.0f, 1.0f};

float Distance(glm::vec2 a, glm::vec2 b)
{
    const glm::vec2 d = b - a;
    return std::sqrt(d.x * d.x + d.y * d.y);
}

/// The angle of a rotate-handle release at offset `d` from the gizmo's centre: no turn when the
/// handle is let go where it started.
float RotateAngle(glm::vec2 d)
{
    return -(std::atan2(d.y, d.x) - LevelEditor::RotateHandleAngle);
}

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

/// A point's place in a shape of `count` points, wrapped.
int32_t Wrapped(int32_t index, uint32_t count)
{
    const auto n = static_cast<int64_t>(count);
    int64_t wrapped = static_cast<int64_t>(index) % n;
    if (wrapped < 0)
        wrapped += n;
    return static_cast<int32_t>(wrapped);
}

struct CreationGroup
{
    const char* createLabel;
    const char* stopLabel;
    uint32_t mode;     ///< the mode its "Create" item sets
    uint32_t busyMode; ///< the other mode in which its "Stop" item shows
};

constexpr CreationGroup CreationGroups[] = {
    {"Create world geometry", "Stop adding world shapes", CreateShapeWaiting, CreateShapeInProgress},
    {"Create trinkets", "Stop adding trinkets", CreateTrinkets, CreateTrinkets},
    {"Create waypoints", "Stop adding waypoints", CreateWaypointWaiting, CreateWaypointInProgress},
    {"Create signposts", "Stop adding signposts", CreateSignposts, CreateSignposts},
};

/// Where a window first appears, in window pixels, until the player moves it (the layout file
/// keeps it then): down the left edge, so that the windows neither cover each other nor the
/// middle of the view, and wide enough for their wrapped texts.
struct WindowPlace
{
    float x, y, width, height;
};

constexpr WindowPlace FirstToolboxPlace{10.0f, 50.0f, 430.0f, 230.0f};
constexpr WindowPlace FirstPanelPlace{10.0f, 290.0f, 430.0f, 330.0f};
constexpr WindowPlace FirstHelpPlace{10.0f, 630.0f, 430.0f, 200.0f};
constexpr WindowPlace FirstPropertiesPlace{10.0f, 840.0f, 430.0f, 200.0f};

void PlaceFirstTime(const WindowPlace& place)
{
    ImGui::SetNextWindowPos(ImVec2(place.x, place.y), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(place.width, place.height), ImGuiCond_FirstUseEver);
}

struct SurfaceChoice
{
    const char* label;
    SurfaceType type;
};

constexpr SurfaceChoice SurfaceChoices[] = {
    {"Plain", SurfaceType::Plain},
    {"Clockwise Accelerator", SurfaceType::ClockwiseAccelerator},
    {"Anticlockwise Accelerator", SurfaceType::AnticlockwiseAccelerator},
    {"Jagged", SurfaceType::Jagged},
    {"Magnetic attractor", SurfaceType::MagneticAttractor},
    {"Magnetic repulsor", SurfaceType::MagneticRepulsor},
    {"Bouncer", SurfaceType::Bouncer},
};
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
        else if (selection.count == 1)
        {
            Selectable* only = SelectableAt(selection[0]);
            const uint32_t type = only != nullptr ? only->GetSelectableType() : SelectableLevelStart;
            if (type == SelectableWorldShape || type == SelectableWaypoint || type == SelectableSignpost)
                EnableEditMode();
        }
        break;
    default:
        break;
    }
}

void LevelEditor::Draw(LineRenderer& lines)
{
    float view[4];
    camera->GetViewRect(view);
    if (playTesting)
    {
        level->Draw(lines, view, false);
        return;
    }

    DrawGrid(lines, view);
    level->Draw(lines, view, true);
    level->start.Draw(lines);
    if (shapeBuilder)
        shapeBuilder->Draw(lines);

    const glm::vec2 position = Position();
    if (bandActive)
    {
        lines.currentColour = BandColour;
        lines.AddStripPoint(pressPoint);
        lines.AddStripPoint({position.x, pressPoint.y});
        lines.AddStripPoint(position);
        lines.AddStripPoint({pressPoint.x, position.y});
        lines.CloseStrip();
    }

    if (creationMode == CreateWaypointInProgress)
    {
        const glm::vec2 d = position - pressPoint;
        const float length = Distance(pressPoint, position);
        const glm::vec3 colour = length > ShortestWaypoint ? LongEnoughColour : TooShortColour;
        lines.currentColour = colour;
        lines.AddCircle(pressPoint, 0.15f, colour, 64);
        lines.AddCircle(position, 0.15f, colour, 64);
        lines.AddLine(pressPoint, position, colour);
        if (length > 0.0f)
        {
            const glm::vec2 respawn = (pressPoint + position) * 0.5f + 0.3f * glm::vec2(-d.y, d.x) / length;
            lines.AddCircle(respawn, 0.2f, colour, 64);
        }
    }

    // A signpost shows its preview only while it is selected: one left showing after it was
    // let go would hide a later change to its text.
    for (Signpost& signpost : level->signposts)
        if (!signpost.selected)
            signpost.showPreview = false;

    if (GizmoShown())
    {
        DrawGizmo(lines);
        const glm::vec2 d = position - selectionCentre;
        glm::vec2 offset{0.0f, 0.0f};
        if (gizmoHandle == GizmoMoveX)
            offset = {d.x, 0.0f};
        else if (gizmoHandle == GizmoMoveY)
            offset = {0.0f, d.y};
        else if (gizmoHandle == GizmoMoveFree)
            offset = d;
        for (uint32_t index : selection)
        {
            Selectable* object = SelectableAt(index);
            if (object == nullptr)
                continue;
            if (gizmoHandle == GizmoMoveX || gizmoHandle == GizmoMoveY || gizmoHandle == GizmoMoveFree)
                object->DrawTranslatePreview(lines, offset);
            else if (gizmoHandle == GizmoRotate)
                object->DrawRotatePreview(lines, selectionCentre, RotateAngle(d));
            if (object->GetSelectableType() == SelectableSignpost)
            {
                Signpost& signpost = *static_cast<Signpost*>(object);
                signpost.previewPosition = signpost.GetPosition() + offset;
                signpost.previewText = signpost.text;
                signpost.showPreview = true;
            }
        }
    }

    Selectable* edited = EditedObject();
    if (edited != nullptr && edited->GetSelectableType() == SelectableWorldShape)
    {
        const WorldShape& shape = *static_cast<WorldShape*>(edited);
        shape.DrawEditor(lines, PickRadius, view);
        uint32_t edge = 0;
        float t = 0.0f;
        glm::vec2 onEdge{0.0f, 0.0f};
        glm::vec2 tangent{0.0f, 0.0f};
        if (shape.FindNearestSegment(position, PickRadius, edge, t, onEdge, tangent))
        {
            const float length = std::sqrt(tangent.x * tangent.x + tangent.y * tangent.y);
            if (length > 0.0f)
                lines.AddLine(onEdge, onEdge + 0.3f * glm::vec2(tangent.y, -tangent.x) / length, White);
        }
    }

    lines.AddCircle(position, 0.05f, Blue, 16);
    if (creationMode != CreateNothing)
        lines.AddCircle(position, 0.07f, Red, 16);
}

void LevelEditor::DrawGrid(LineRenderer& lines, const float (&view)[4])
{
    lines.currentColour = GridColour;
    const float width = view[1] - view[0];
    const float height = view[3] - view[2];
    float step = gridSpacing;
    if (!(step > 0.0f) || !std::isfinite(width) || !std::isfinite(height))
        return;
    // Zoomed far out the grid keeps to whole multiples of the spacing, so its lines still mark
    // snapping positions, but never more than a bounded number of them.
    while (std::max(width, height) / step > static_cast<float>(MostGridLines) && std::isfinite(step * 2.0f))
        step *= 2.0f;

    const auto drawAxis = [&](float origin, float low, float high, bool vertical) {
        const double first = std::floor((static_cast<double>(low) - origin) / step);
        const double last = std::ceil((static_cast<double>(high) - origin) / step);
        if (!(last - first <= 2.0 * MostGridLines + 4.0))
            return;
        for (double k = first; k <= last; k += 1.0)
        {
            const auto at = static_cast<float>(origin + k * step);
            if (!(at > low && at < high))
                continue;
            if (vertical)
                lines.AddLine({at, view[3]}, {at, view[2]}, GridColour);
            else
                lines.AddLine({view[0], at}, {view[1], at}, GridColour);
        }
    };
    drawAxis(gridOrigin.x, view[0], view[1], true);
    drawAxis(gridOrigin.y, view[2], view[3], false);
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

void LevelEditor::DrawMenuBar()
{
    if (!ImGui::BeginMainMenuBar())
        return;
    if (ImGui::BeginMenu("File"))
    {
        if (ImGui::MenuItem("New level", "Ctrl + N"))
            NewLevel();
        if (ImGui::MenuItem("Load level", "Ctrl + L", false, !loadDialogOpen))
            OpenLoadDialog();
        if (ImGui::MenuItem("Save level", "Ctrl + S", false, !saveDialogOpen && !fileName.empty()))
            SaveLevel(fileName);
        if (ImGui::MenuItem("Save with new name"))
            OpenSaveDialog();
        ImGui::Separator();
        if (ImGui::MenuItem("Play current level", "P"))
            StartPlayTest();
        if (ImGui::MenuItem("Close editor"))
            closeRequested = true;
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Edit"))
    {
        DrawCreationItems(false);
        ImGui::Separator();
        if (ImGui::MenuItem("Delete selected", "Delete", false, selection.count > 0))
            DeleteSelection();
        ImGui::Separator();
        if (ImGui::MenuItem("Undo", "Ctrl + Z", false, CanUndo()))
            Undo();
        if (ImGui::MenuItem("Redo", "Ctrl + Y", false, CanRedo()))
            Redo();
        ImGui::Separator();
        ImGui::MenuItem("Toggle creation toolbox", nullptr, &showToolbox);
        ImGui::MenuItem("Toggle level properties", nullptr, &showLevelProperties);
        ImGui::MenuItem("Toggle help window", nullptr, &showHelp);
        ImGui::EndMenu();
    }
    ImGui::EndMainMenuBar();
}

void LevelEditor::DrawCreationItems(bool asButtons)
{
    for (const CreationGroup& group : CreationGroups)
    {
        // Each group reads the mode as it stands now, so a choice above already shows below.
        const bool idle = creationMode == CreateNothing;
        const bool busyHere = creationMode == group.mode || creationMode == group.busyMode;
        const char* label = busyHere ? group.stopLabel : group.createLabel;
        const bool enabled = idle || busyHere;
        bool chosen = false;
        if (asButtons)
        {
            ImGui::BeginDisabled(!enabled);
            chosen = ImGui::Button(label);
            ImGui::EndDisabled();
        }
        else
        {
            chosen = ImGui::MenuItem(label, nullptr, false, enabled);
        }
        if (chosen)
            creationMode = busyHere ? static_cast<uint32_t>(CreateNothing) : group.mode;
    }
}

void LevelEditor::DrawCreationToolbox()
{
    PlaceFirstTime(FirstToolboxPlace);
    ImGui::Begin("Creation toolbox");
    DrawCreationItems(true);
    ImGui::End();
}

void LevelEditor::DrawLevelPropertiesWindow()
{
    PlaceFirstTime(FirstPropertiesPlace);
    ImGui::Begin("Level properties");
    ImGui::TextWrapped("This is where you're going to set the properties of the level in general.");
    ImGui::TextWrapped("But there's nothing to set yet.");
    ImGui::End();
}

void LevelEditor::DrawHelpWindow()
{
    PlaceFirstTime(FirstHelpPlace);
    ImGui::Begin("QVLR editor help");
    ImGui::TextWrapped("Here there's going to be a bunch of subsections explaining how the editor works.");
    ImGui::TextWrapped("I haven't written it yet though.");
    ImGui::End();
}

void LevelEditor::DrawEditPanel()
{
    PlaceFirstTime(FirstPanelPlace);
    ImGui::Begin("Info/Edit panel");
    Selectable* only = selection.count == 1 ? SelectableAt(selection[0]) : nullptr;
    const uint32_t onlyType = only != nullptr ? only->GetSelectableType() : SelectableLevelStart;
    const bool editable =
        onlyType == SelectableWorldShape || onlyType == SelectableWaypoint || onlyType == SelectableSignpost;

    ImGui::BeginDisabled(!editable);
    if (!editMode)
    {
        if (ImGui::Button("Enable edit mode"))
            EnableEditMode();
        if (!editable)
            ImGui::TextWrapped("To enable edit mode, select a single editable object (world shape, waypoint, or signpost).");
    }
    else if (ImGui::Button("Disable edit mode"))
    {
        LeaveEditMode();
    }
    ImGui::EndDisabled();

    if (Selectable* edited = EditedObject())
    {
        switch (edited->GetSelectableType())
        {
        case SelectableWorldShape: ImGui::TextWrapped("Edit mode on world shape"); break;
        case SelectableWaypoint: ImGui::TextWrapped("Edit mode on waypoint"); break;
        case SelectableSignpost:
        {
            ImGui::TextWrapped("Edit mode on signpost");
            Signpost& signpost = *static_cast<Signpost*>(edited);
            if (ImGui::InputTextWithHint("signpostTextEntry", "<enter signpost text here>", signpostText,
                                         SignpostTextCapacity))
            {
                signpost.previewText = signpostText;
                signpost.previewPosition = signpost.position;
                signpost.showPreview = true;
            }
            const bool apply = ImGui::Button("Apply");
            const bool revert = ImGui::Button("Revert");
            if (apply)
            {
                // Without an edit since the last apply or revert the text stays as it is: the
                // field holds at most 255 bytes of a longer text, and must not cut it short.
                std::string newText = signpost.showPreview ? signpost.previewText : signpost.text;
                signpost.showPreview = false;
                AddAction(std::make_unique<Action_ChangeSignpost>(selection[0], signpost.text, std::move(newText)));
            }
            else if (revert)
            {
                signpost.showPreview = false;
                CopySignpostText(signpost.text);
            }
            break;
        }
        default: break;
        }
    }

    if (!note.empty())
    {
        ImGui::Separator();
        ImGui::TextWrapped("%s", note.c_str());
    }
    ImGui::End();
}

void LevelEditor::DrawWorldShapePopups()
{
    if (popupRequest == PopupSplineEdit)
        ImGui::OpenPopup("SplineEditMenu");
    else if (popupRequest == PopupPointEdit)
        ImGui::OpenPopup("PointEditMenu");
    popupRequest = PopupNothing;

    // The popup's shape, or null when edit mode has ended or the shape is gone: the popup then
    // closes, for it has nothing left to change.
    const auto popupShape = [this](int line) -> WorldShape* {
        Selectable* edited = EditedObject();
        if (edited == nullptr)
            return nullptr;
        if (edited->GetSelectableType() != SelectableWorldShape)
        {
            ErrorLog << LogLocation(__FILE__, line) << "A popup for the world menu somehow doesn't have a matching world shape.";
            ErrorLog.EndMessage();
            return nullptr;
        }
        WorldShape* shape = static_cast<WorldShape*>(edited);
        return shape->points.count > 0 ? shape : nullptr;
    };

    if (ImGui::BeginPopup("SplineEditMenu"))
    {
        WorldShape* shape = popupShape(1273);
        if (shape == nullptr)
        {
            ImGui::CloseCurrentPopup();
        }
        else
        {
            const int32_t index = Wrapped(popupIndex, shape->points.count);
            const ShapePoint& point = shape->PointAt(index);
            const uint32_t target = selection[0];
            ImGui::TextUnformatted("Select surface type:");
            for (const SurfaceChoice& choice : SurfaceChoices)
            {
                ImGui::BeginDisabled(point.surfaceType == choice.type);
                const bool clicked = ImGui::Button(choice.label);
                ImGui::EndDisabled();
                if (clicked)
                {
                    AddAction(std::make_unique<Action_ChangeSpline>(target, index, static_cast<uint32_t>(choice.type), *this));
                    ImGui::CloseCurrentPopup();
                }
            }
            ImGui::Separator();
            ImGui::TextUnformatted("Spline?");
            const bool isSpline = point.isSpline;
            ImGui::BeginDisabled(isSpline);
            const bool makeSpline = ImGui::Button("Make Spline");
            ImGui::EndDisabled();
            ImGui::BeginDisabled(!isSpline);
            const bool makeStraight = ImGui::Button("Make Straight Edge");
            ImGui::EndDisabled();
            if (makeSpline || makeStraight)
            {
                AddAction(std::make_unique<Action_ChangeSpline>(target, index, Action_ChangeSpline::ToggleSpline, *this));
                ImGui::CloseCurrentPopup();
            }
        }
        ImGui::EndPopup();
    }

    if (ImGui::BeginPopup("PointEditMenu"))
    {
        WorldShape* shape = popupShape(1422);
        if (shape == nullptr)
        {
            ImGui::CloseCurrentPopup();
        }
        else
        {
            const int32_t index = Wrapped(popupIndex, shape->points.count);
            const bool isCorner = shape->PointAt(index).isCorner;
            const uint32_t target = selection[0];
            ImGui::TextUnformatted("Select control point properties:");
            ImGui::BeginDisabled(isCorner);
            const bool makeCorner = ImGui::Button("Make Corner");
            ImGui::EndDisabled();
            ImGui::BeginDisabled(!isCorner);
            const bool makeSmooth = ImGui::Button("Make Smooth");
            ImGui::EndDisabled();
            ImGui::Separator();
            ImGui::BeginDisabled(shape->points.count <= 2);
            const bool deleteVertex = ImGui::Button("Delete vertex");
            ImGui::EndDisabled();
            if (makeCorner || makeSmooth)
            {
                AddAction(std::make_unique<Action_ChangeVertex>(target, index, *this));
                ImGui::CloseCurrentPopup();
            }
            else if (deleteVertex)
            {
                AddAction(std::make_unique<Action_DeleteVertex>(target, index, *this));
                ImGui::CloseCurrentPopup();
            }
        }
        ImGui::EndPopup();
    }
}

void LevelEditor::OpenSaveDialog()
{
    if (loadDialogOpen)
    {
        fileDialog.Close();
        loadDialogOpen = false;
    }
    fileDialog.OpenDialog(SaveDialogKey, SaveDialogTitle, LevelExtension, LevelFolder);
    saveDialogOpen = true;
}

void LevelEditor::OpenLoadDialog()
{
    if (saveDialogOpen)
    {
        fileDialog.Close();
        saveDialogOpen = false;
    }
    fileDialog.OpenDialog(LoadDialogKey, LoadDialogTitle, LevelExtension, LevelFolder);
    loadDialogOpen = true;
}

void LevelEditor::DrawFileDialogs()
{
    // A flag whose dialog no longer shows would keep the editor's keys off for good.
    saveDialogOpen = saveDialogOpen && fileDialog.IsOpen(SaveDialogKey);
    loadDialogOpen = loadDialogOpen && fileDialog.IsOpen(LoadDialogKey);
    const ImVec2 smallest(0.0f, 0.0f);
    const ImVec2 largest(FLT_MAX, FLT_MAX);
    if (saveDialogOpen && fileDialog.Display(SaveDialogKey, ImGuiWindowFlags_NoCollapse, smallest, largest))
    {
        const bool confirmed = fileDialog.IsOk();
        const std::string path = fileDialog.GetFilePathName();
        saveDialogOpen = false;
        fileDialog.Close();
        if (confirmed)
            SaveLevel(path);
    }
    if (loadDialogOpen && fileDialog.Display(LoadDialogKey, ImGuiWindowFlags_NoCollapse, smallest, largest))
    {
        const bool confirmed = fileDialog.IsOk();
        const std::string path = fileDialog.GetFilePathName();
        loadDialogOpen = false;
        fileDialog.Close();
        if (confirmed)
            LoadLevel(path);
    }
}

bool LevelEditor::SaveLevel(std::string path)
{
    fileName = path;
    const std::string refusal = LevelLimits::Check(*level);
    if (!refusal.empty())
    {
        ShowNote("The level was not saved to \"" + path + "\": " + refusal + ".");
        return false;
    }
    ByteBlob blob;
    blob.WriteHeader();
    level->Serialise(blob);
    if (!blob.WriteToFile(path))
    {
        ShowNote("The level could not be saved to \"" + path + "\"; a file already there is unchanged.");
        return false;
    }
    ShowNote("Saved the level to \"" + path + "\".");
    return true;
}

bool LevelEditor::LoadLevel(const std::string& path)
{
    auto loaded = std::make_unique<Level>(camera);
    if (!loaded->ReadFromFile(path))
    {
        // The level being edited, its history and its file name all stay: replacing them with
        // an empty level would let the next save write nothing over a good file.
        ShowNote("\"" + path + "\" could not be loaded as a level (the error log says why). The file was left as "
                 "it is, and the level you were editing is unchanged.");
        return false;
    }
    if (graphicsAvailable)
        loaded->BuildDataTextures();
    LeaveEditMode();
    ClearActions();
    ReplaceLevel(std::move(loaded));
    fileName = path;
    ShowNote("Loaded the level \"" + path + "\".");
    return true;
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

void LevelEditor::EnableEditMode()
{
    if (editMode || selection.count != 1)
        return;
    Selectable* object = SelectableAt(selection[0]);
    if (object == nullptr)
        return;
    const uint32_t type = object->GetSelectableType();
    if (type != SelectableWorldShape && type != SelectableWaypoint && type != SelectableSignpost)
        return;
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
