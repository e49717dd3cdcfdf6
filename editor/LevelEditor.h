#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "EditorAction.h"
#include "EditorInput.h"
#include "FileDialog.h"
#include "Level.h"
#include "ShapeBuilder.h"
#include "ShapeEditState.h"
#include "WaypointDrag.h"

class Camera;
class LineRenderer;
class Selectable;
struct GLFWwindow;

/// The level editor's creation tool.
enum CreationMode : uint32_t
{
    CreateNothing = 0,          ///< select and edit
    CreateShapeWaiting = 1,     ///< a world shape, waiting for its first point
    CreateShapeInProgress = 2,  ///< a world shape in progress: a shape builder exists
    CreateTrinkets = 3,
    CreateWaypointWaiting = 4,  ///< waypoints, waiting for the first end
    CreateWaypointInProgress = 5, ///< a waypoint whose first end is `pressPoint`
    CreateSignposts = 6,
};

/// The handle of the move/rotate gizmo being dragged.
enum GizmoHandle : uint32_t
{
    GizmoNone = 0,
    GizmoMoveX = 1,
    GizmoMoveY = 2,
    GizmoMoveFree = 3,
    GizmoRotate = 4,
};

/// The world-shape popup to open on the next frame.
enum PopupRequest : uint32_t
{
    PopupSplineEdit = 0, ///< "SplineEditMenu", about an edge
    PopupPointEdit = 1,  ///< "PointEditMenu", about a point
    PopupNothing = 2,
};

/// The level editor of the editor screen. It owns the level it edits, a flat list of that
/// level's selectable objects, the selection, a linear undo history of `EditorAction`s, a
/// snapping grid, a creation tool and edit mode, and it play-tests the level in place.
///
/// The game makes one when the player enters the editor, calls `Update` once per frame while the
/// editor screen shows, forwards mouse presses and releases and key presses and releases to it,
/// asks it for its lines in the render pass, and destroys it once `Update` answers false. Every
/// change to the level goes through `AddAction`; only the live previews of a drag change the
/// level directly, and they are put back before the drag is recorded. Main thread only; needs a
/// user-interface frame (`ImGui::NewFrame`) around `Update`.
class LevelEditor
{
public:
    /// The largest text a signpost's text field holds, in bytes.
    static constexpr uint32_t SignpostTextCapacity = 256;
    /// How near (world units) the cursor must be to a shape's point, handle or edge in edit mode.
    static constexpr float PickRadius = 0.1f;
    /// A waypoint must be longer than this (the f32 just above 0.8) to be made.
    static constexpr float ShortestWaypoint = 0.80000007f;
    /// The direction of the rotate handle from the gizmo's centre, radians.
    static constexpr float RotateHandleAngle = 3.9269876f;
    /// The smallest and largest grid steps, world units.
    static constexpr float SmallestGridSpacing = 0.03125f;
    static constexpr float LargestGridSpacing = 8.0f;
    static constexpr float DefaultGridSpacing = 0.25f;
    /// The grid draws at most this many lines across each way, so that a frame stays bounded
    /// however far out the view is zoomed: more lines than a 4K screen has pixels across, so every
    /// view whose lines can be told apart shows every one of them, and with them every snapping
    /// position. A view wider than that doubles the drawn step until it fits, so that the lines
    /// still fall on snapping positions.
    static constexpr uint32_t MostGridLines = 4096;

    /// Every selectable object of the level: the level start, then the world shapes, trinkets,
    /// waypoints and signposts in their array order. Points into the level's arrays; rebuilt
    /// after every change.
    DynArray<Selectable*> selectables;
    /// Indices into `selectables` of the selected objects, in selectable-list order. After every
    /// change it is rebuilt from the objects whose selected flag is set, so it never names an
    /// index beyond the list.
    DynArray<uint32_t> selection;
    /// The undo history, owned.
    DynArray<std::unique_ptr<EditorAction>> actions;
    /// Index in `actions` of the last applied action; -1 when none is applied.
    int32_t actionIndex = -1;
    /// Start corner of the rubber band; first end of a waypoint being made. World units.
    glm::vec2 pressPoint{0.0f, 0.0f};
    /// A rubber band is being dragged from `pressPoint`.
    bool bandActive = false;
    /// The game's camera, shared, not owned.
    Camera* camera = nullptr;
    /// Where the drawn grid lines start; snapping is always to multiples of the spacing from 0.
    glm::vec2 gridOrigin{0.0f, 0.0f};
    /// Grid and snapping step, world units.
    float gridSpacing = DefaultGridSpacing;
    /// The cursor's world position, stored by every `Update` outside play-testing.
    glm::vec2 cursor{0.0f, 0.0f};
    /// Where the gizmo sits: the mean position of the selected objects.
    glm::vec2 selectionCentre{0.0f, 0.0f};
    /// The gizmo handle being dragged.
    uint32_t gizmoHandle = GizmoNone;
    /// Set by "Close editor"; `Update` answers false from then on.
    bool closeRequested = false;
    /// Edit mode is on for the first selected object.
    bool editMode = false;
    /// Present exactly while edit mode is on.
    std::unique_ptr<ShapeEditState> shapeEdit;
    /// Present while a waypoint point is dragged in edit mode.
    std::unique_ptr<WaypointDrag> waypointDrag;
    /// The popup to open on the next frame.
    uint32_t popupRequest = PopupNothing;
    /// The point index of that popup: the first point of the edge, or the point.
    int32_t popupIndex = -1;
    /// The `CreationMode` of the next left click.
    uint32_t creationMode = CreateNothing;
    /// The world shape being drawn; kept while another creation mode is on.
    std::unique_ptr<ShapeBuilder> shapeBuilder;
    /// Which of the editor's windows show: the "Creation toolbox", "Level properties" and the
    /// help window.
    bool showToolbox = true;
    bool showLevelProperties = false;
    bool showHelp = true;
    /// The level file last saved or loaded; empty for a new level.
    std::string fileName;
    /// The level being edited, owned; built on the shared camera.
    std::unique_ptr<Level> level;
    /// The level is being play-tested: only the level runs, the editor's input is off.
    bool playTesting = false;
    /// The load or the save dialog shows; the editor's keys are off meanwhile.
    bool loadDialogOpen = false;
    bool saveDialogOpen = false;
    /// Cycles repeated clicks through overlapping objects.
    uint32_t clickCycle = 0;
    /// The signpost text field's buffer, always terminated.
    char signpostText[SignpostTextCapacity] = {};
    /// The load and save dialogs (one shown at a time).
    FileDialog fileDialog;
    /// What the editor last has to tell the designer (a refused edit, a failed save or load);
    /// shown in the edit panel until the next note.
    std::string note;

    /// An editor of a new, empty level on the game's camera and window, reading the window's keys
    /// and buttons and the user interface's wants. Neither is owned; both outlive the editor.
    LevelEditor(Camera* sharedCamera, GLFWwindow* gameWindow);
    /// The same with input from `editorInput` (owned); `gameWindow` may be null, and without it
    /// nothing is uploaded to the GPU.
    LevelEditor(Camera* sharedCamera, std::unique_ptr<EditorInput> editorInput, GLFWwindow* gameWindow = nullptr);
    /// Frees the level, the history and the editor's records with it.
    ~LevelEditor();
    LevelEditor(const LevelEditor&) = delete;
    LevelEditor& operator=(const LevelEditor&) = delete;

    /// One frame: the cursor's world position, the mouse movement since the last frame (as
    /// `GameBase` reports it: half the view height times it is world units) and the time step
    /// (the frame step times the game's time scale). Draws the editor's windows, pans, runs the
    /// shape builder and the live drags; while play-testing only steps the level. False once the
    /// designer chose "Close editor".
    bool Update(glm::vec2 cursorPosition, glm::vec2 mouseMovement, float timeStep);
    /// A mouse button went down (0 left, 1 right, 2 middle).
    void OnMouseDown(uint32_t button);
    /// A mouse button came up.
    void OnMouseUp(uint32_t button);
    /// A key (window-library key code) was pressed or released, with the modifiers held then.
    void OnKey(uint32_t key, bool pressed, bool alt, bool ctrl, bool shift);

    /// Puts the editor's view into the line batch: the grid, the level, the level start, the
    /// shape being drawn, the rubber band, the waypoint being drawn, the gizmo with the previews
    /// of its drag, the shape in edit mode and the cursor; while play-testing, the level as in
    /// play.
    void Draw(LineRenderer& lines);
    /// The main menu bar with its "File" and "Edit" menus.
    void DrawMenuBar();
    /// The "Creation toolbox" window: one button per kind of object to make or stop making.
    void DrawCreationToolbox();
    /// The "Info/Edit panel" window: edit mode, the signpost text field and the editor's note.
    void DrawEditPanel();
    /// Opens a requested popup of the shape in edit mode and draws "SplineEditMenu" (an edge) or
    /// "PointEditMenu" (a point); one whose shape is gone closes.
    void DrawWorldShapePopups();
    /// The move and rotate handles around `selectionCentre`, sized by the view.
    void DrawGizmo(LineRenderer& lines);
    /// The gizmo handle at `point` (world units), or `GizmoNone` when the gizmo is not shown.
    uint32_t HitTestGizmo(glm::vec2 point);

    /// Writes the level to `path` as a plain level file, replacing a file there only when the
    /// whole level was written. A level beyond the loader's limits is not written. `fileName`
    /// becomes `path` in every case. True when the file holds the level.
    bool SaveLevel(std::string path);
    /// Replaces the edited level with the level file at `path`, with a new history, outside edit
    /// mode and without a selection. A file that cannot be read or is no level changes nothing:
    /// the edited level, its history and `fileName` stay, and the note says so. True when loaded.
    bool LoadLevel(const std::string& path);
    /// A new empty level with a new history, no file name, outside edit mode, no selection.
    void NewLevel();
    /// Starts play-testing: the level starts with one local player, the selection's highlights
    /// are hidden until it ends.
    void StartPlayTest();

    /// Takes ownership of `action`, drops the redo part of the history, applies the action and
    /// records it. An action that would take the level beyond the loader's limits is undone and
    /// dropped at once, and the note says why.
    void AddAction(std::unique_ptr<EditorAction> action);
    /// Destroys every action: an empty history.
    void ClearActions();
    /// Undoes the last applied action, when there is one.
    void Undo();
    /// Redoes the action after the last applied one, when there is one.
    void Redo();
    /// Whether `Undo` and `Redo` have a step to take.
    bool CanUndo() const { return actionIndex >= 0; }
    bool CanRedo() const { return actionIndex + 1 < static_cast<int32_t>(actions.count); }

    /// Rebuilds `selectables` from the level (nothing while play-testing or without a level).
    void RefreshSelectables();
    /// Leaves edit mode, records the deletion of the selected objects (the level start stays)
    /// and empties the selection.
    void DeleteSelection();
    /// Turns edit mode on for the only selected object, when it is a world shape, waypoint or
    /// signpost and no rubber band or gizmo drag is held; otherwise does nothing.
    void EnableEditMode();
    /// True when exactly one object is selected and it is a world shape, waypoint or signpost.
    bool SelectionIsEditable() const;
    /// True while a left press holds a rubber band or a gizmo handle, until its release.
    bool LeftDragHeld() const;
    /// Turns edit mode off; a point, handle or waypoint drag in progress is put back first.
    void LeaveEditMode();

    /// The object at `index` of the selectable list, or null beyond it.
    Selectable* SelectableAt(uint32_t index) const;
    /// The object at `index` of the selectable list when it is of that kind, else null.
    WorldShape* ShapeAt(uint32_t index) const;
    Waypoint* WaypointAt(uint32_t index) const;
    Signpost* SignpostAt(uint32_t index) const;
    /// The object in edit mode (the first selected one), or null outside edit mode.
    Selectable* EditedObject() const;
    /// Removes the last object of the level's array of `kind` (a `SelectableType` other than the
    /// level start): the undo of the four adding actions. When it is selected the selection is
    /// emptied first, and edit mode on it ends.
    void RemoveLastObject(uint32_t kind);
    /// The cursor, snapped per axis to multiples of `gridSpacing` while G is held.
    glm::vec2 Position() const;
    /// `point` snapped per axis to the nearest multiple of `gridSpacing`, halves away from zero.
    glm::vec2 Snap(glm::vec2 point) const;
    /// True when the gizmo shows and can be hit: no band, no creation tool, a selection and edit
    /// mode off.
    bool GizmoShown() const;
    /// Shows `text` to the designer in the edit panel and writes it to the info log.
    void ShowNote(const std::string& text);

    /// The keys, titles, extension and first folder of the two file dialogs.
    static constexpr const char* LoadDialogKey = "LoadDialogueKey";
    static constexpr const char* SaveDialogKey = "SaveDialogueKey";
    static constexpr const char* LoadDialogTitle = "Load level...";
    static constexpr const char* SaveDialogTitle = "Save as...";
    static constexpr const char* LevelExtension = ".lrl";
    static constexpr const char* LevelFolder = "./Data/Levels/";

    /// Opens the save dialog, closing the load dialog first.
    void OpenSaveDialog();
    /// Opens the load dialog, closing the save dialog first.
    void OpenLoadDialog();

private:
    static float Distance(glm::vec2 a, glm::vec2 b);
    /// The angle of a rotate-handle release at offset `d` from the gizmo's centre: no turn when
    /// the handle is let go where it started.
    static float RotateAngle(glm::vec2 d);
    /// A point's place in a shape of `count` points, wrapped.
    static int32_t Wrapped(int32_t index, uint32_t count);

    /// After every change: the selectable list, then the selection from the selected flags.
    void SyncSelection();
    void UpdateSelectionCentre();
    /// Puts back a point, handle or waypoint drag in progress, so that the level holds only what
    /// the history records.
    void CancelDrags();
    void ReplaceLevel(std::unique_ptr<Level> replacement);
    void PressInEditMode(uint32_t button);
    void ReleaseBand();
    void ReleaseGizmo(uint32_t button);
    void ReleaseInEditMode();
    /// Leaves edit mode without putting anything back: for when the edited object is gone.
    void DropEditState();
    void EndPlayTest();

    void DrawCreationItems(bool asButtons);
    void DrawFileDialogs();
    void DrawLevelPropertiesWindow();
    void DrawHelpWindow();
    void DrawGrid(LineRenderer& lines, const float (&view)[4]);
    void CopySignpostText(const std::string& text);

    std::unique_ptr<EditorInput> input;
    /// Whether the editor may upload to the GPU (a window with its context exists).
    bool graphicsAvailable = false;
    /// The `SelectableType` of the object in edit mode.
    uint32_t editedType = 0;
};
