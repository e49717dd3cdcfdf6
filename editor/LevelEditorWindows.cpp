#include "LevelEditor.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <imgui.h>

#include "Action_ChangeSignpost.h"
#include "Action_ChangeSpline.h"
#include "Action_ChangeVertex.h"
#include "Action_DeleteVertex.h"
#include "ByteBlob.h"
#include "Camera.h"
#include "LevelLimits.h"
#include "LineRenderer.h"
#include "LogChannel.h"

// The editor's face: the menu bar, its windows and popups, the file dialogs, saving and loading,
// and the view that it draws each frame. The state and input behind them are in LevelEditor.cpp.

namespace
{
constexpr glm::vec3 GridColour{0.2f, 0.2f, 0.2f};
constexpr glm::vec3 BandColour{0.5f, 0.0f, 0.0f};
constexpr glm::vec3 LongEnoughColour{0.0f, 0.5f, 0.0f};
constexpr glm::vec3 TooShortColour{0.8f, 0.0f, 0.0f};
constexpr glm::vec3 CursorColour{0.0f, 0.0f, 1.0f};
constexpr glm::vec3 ToolCursorColour{1.0f, 0.0f, 0.0f};
constexpr glm::vec3 NewPointMarkColour{1.0f, 1.0f, 1.0f};

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
                lines.AddLine(onEdge, onEdge + 0.3f * glm::vec2(tangent.y, -tangent.x) / length, NewPointMarkColour);
        }
    }

    lines.AddCircle(position, 0.05f, CursorColour, 16);
    if (creationMode != CreateNothing)
        lines.AddCircle(position, 0.07f, ToolCursorColour, 16);
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
    const bool editable = SelectionIsEditable();

    ImGui::BeginDisabled(!editable || LeftDragHeld());
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
            // Known by the class's main source, whichever of its sources draws the popups.
            ErrorLog << LogLocation("LevelEditor.cpp", line)
                     << "A popup for the world menu somehow doesn't have a matching world shape.";
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
        ShowNote("\"" + path + "\" could not be loaded as a level (the warning or error log says why). The file "
                 "was left as it is, and the level you were editing is unchanged.");
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
