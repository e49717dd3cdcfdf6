#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Font.h"
#include "FrameBuffer.h"
#include "GameBase.h"
#include "Level.h"
#include "LineLayout.h"
#include "Mesh.h"
#include "NetworkManager.h"
#include "PhysicsStep.h"
#include "PostEffect.h"
#include "Shader.h"

class LevelEditor;

/// The game: on top of the window, frame step and camera of `GameBase` it runs the screens and
/// owns the off-screen channels, meshes and shaders of the render pass. `main` builds one and
/// calls `UpdateMenus` then `Render` once per frame until the window closes or `quit` is set.
class LedrowGame : public GameBase
{
public:
    /// The values of `screenState`; any other value runs no screen logic.
    enum ScreenState : uint32_t
    {
        MainScreen = 0,
        LevelSelect = 1,
        Playing = 2,
        LevelEditorScreen = 3,
        OptionsScreen = 4,
        CreditsScreen = 5,
    };

    /// The start-up sequence; when the window could not be made (`IsReady` false) it stops after
    /// the base and the game must only be destroyed.
    LedrowGame();
    ~LedrowGame() override;

    /// Once per frame: the frame step, then the current screen.
    void UpdateMenus();
    /// Draws the frame after `UpdateMenus`: the world's lines, then each channel that the current
    /// effect samples (colour, magnetism, text, shapes, in that order; the others are left as they
    /// were, not even cleared), the effect over the window, the user interface; then swaps the
    /// buffers and polls window events (the handlers run there). Without a usable effect the
    /// window is cleared instead of composed.
    void Render();

    void OnMouseDown(int32_t button) override;
    void OnMouseUp(int32_t button) override;
    void OnScroll(bool up) override;
    void OnKey(int32_t key, bool pressed, bool alt, bool control, bool shift) override;
    /// Sizes the four channels to the window times the resolution scale and keeps the window size.
    /// A window of no area (minimised) leaves the channels as they were.
    void OnResize(int32_t width, int32_t height) override;

    /// Puts the window into full screen on the primary monitor at its current mode, or into a
    /// 1280 by 720 window at (100, 100), resizes the channels and saves the settings.
    void ApplyDisplayOptions();

    /// Loads every effect file of "Effects/" into `effects` under its name. Effects that cannot
    /// be read or built are logged and left out.
    void LoadEffects();
    /// No current effect; every effect destroyed.
    void ClearEffects();
    /// Makes the effect `effectName` current when it is loaded; otherwise nothing changes.
    void SelectEffect(const std::string& effectName);
    /// The grave-accent key: every effect file read and built again and "Passthrough" selected.
    /// When the new set has no usable "Passthrough", the effect in use stays in use (and is kept
    /// under its name), and the fault is logged once.
    void ReloadEffects();

    /// The render pass's passes, in the order they run, for frame-time measurements.
    enum RenderPass : uint32_t
    {
        CollectLinesPass = 0,
        ColourPass,
        MagnetismPass,
        TextPass,
        ShapesPass,
        ComposePass,
        InterfacePass,
        SwapPass,
        RenderPassCount,
    };
    /// Milliseconds spent in each pass of the last frame, measured only while
    /// `measureRenderPasses` is set: each pass is then finished (glFinish) before the clock is
    /// read, which slows the frame down. A pass that did not run takes 0.
    std::array<double, RenderPassCount> renderPassMilliseconds{};
    bool measureRenderPasses = false;
    /// The level editor, owned; it exists exactly while the editor screen is open.
    std::unique_ptr<LevelEditor> editor;
    /// The folder of the level files that the level select lists and plays.
    static constexpr const char* LevelFolder = "Data/Levels/";

    /// Plays the level file `levelName` (a file name in `LevelFolder`) with `playerCount`
    /// players, this machine steering player `localIndex`: any level in play is destroyed, the
    /// new one is loaded and started, the camera goes to the local player and the play screen
    /// follows. A file that cannot be read gives an empty level, played all the same. A name that
    /// is not a plain file name, or a start that the level refuses (a count or index out of
    /// range), is logged and leaves no level and the screen as it was: false.
    bool StartLevel(const std::string& levelName, int32_t playerCount, uint32_t localIndex);
    /// Destroys the level in play and returns to the level select, the camera back at (0, 0)
    /// with a view height of 10. A host first tells its clients that the level is over; a client
    /// tells its host that it left.
    void LeaveLevel();

    uint32_t screenState = MainScreen;
    /// The level in play, owned; null on every screen but the play screen.
    std::unique_ptr<Level> level;
    /// Multiplayer: the lobby, its peers and the shared level's player states.
    NetworkManager network;
    float timeScale = PhysicsStep::TimeScale; ///< multiplies the frame step for the level and the editor
    /// The distance-field font of world text; without an atlas (no font file) no text is drawn.
    Font font;

    /// The off-screen channels that the post effect composes, in the order it takes them.
    std::unique_ptr<FrameBuffer> colourChannel;
    std::unique_ptr<FrameBuffer> fontChannel;
    std::unique_ptr<FrameBuffer> worldShapesChannel;
    std::unique_ptr<FrameBuffer> magnetismChannel;
    Mesh textMesh;
    /// What the text pass keeps of the shown level's signpost texts from frame to frame.
    DynArray<LineLayout> signpostLayouts;
    Mesh shapesMesh;
    Shader shapeShader; ///< the world-shape fills

    /// Every loaded post effect by name, owned.
    std::map<std::string, std::unique_ptr<PostEffect>> effects;
    /// The effect that composes the frame, one of `effects`; null when none could be loaded.
    PostEffect* currentEffect = nullptr;
    /// The effect selected at start and by every reload.
    static constexpr const char* DefaultEffectName = "Passthrough";

    int32_t windowWidth = 0;  ///< pixels, as last resized or applied
    int32_t windowHeight = 0; ///< pixels

    /// The view heights between which the wheel zooms the editor's view, world units: a view
    /// beyond them has no use within the level's coordinates and would lose the projection to
    /// float rounding.
    static constexpr float SmallestEditorView = 0.01f;
    static constexpr float LargestEditorView = 4.0e6f;

    /// The menus' font file, added to the user-interface library at 32 pixels when it can be read.
    static constexpr const char* MenuFontPath = "Fonts/Atkinson-Hyperlegible-Bold-102.otf";

private:
    void UpdateMainScreen();
    void UpdateOptionsScreen();
    void UpdateCreditsScreen();
    /// One frame of the editor screen; closes the editor when it reports that it was closed.
    void UpdateEditorScreen();
    /// The camera back where the game starts it, at (0, 0) with a view height of 10, leaving the
    /// aspect ratio as the window has it.
    void ResetCamera();
    /// The text and shapes meshes emptied, their vertex blocks and buffer stores given back, and
    /// what was kept of the signpost texts forgotten: called when the level or the editor that
    /// filled them goes.
    void ReleaseFrameMeshes();
    /// The editor's lines for this frame (`LevelEditor::Draw`), collected into the world's line
    /// batch while it does not play-test.
    void CollectEditorLines();
    /// The level list with the lobby window beside it; a start from the network starts its level.
    void UpdateLevelSelectScreen(const ClientResponseAction& action);
    /// One frame of the level in play; Escape or an end from the network leaves it.
    void UpdatePlayScreen(const ClientResponseAction& action);
    /// A level button: alone, the level is played; while hosting, it is announced to everybody
    /// first and played with every player of the lobby.
    void PlayChosenLevel(const std::string& levelName);
    /// Plays the level that the host started, as this machine's player number, when this
    /// machine has that level; otherwise says so in the lobby and stays on the level select.
    void StartSharedLevel(const ClientResponseAction& action);
    /// Whether `levelName` names a file of `LevelFolder` itself: not empty, no folder in it.
    static bool IsPlainFileName(const std::string& levelName);
    /// Destroys the level in play, if any, and tells the network manager.
    void ClearLevel();
    /// Starts the read level `next` (see `StartLevel`) and goes to the play screen with it; false,
    /// with no level, when the level refuses the start.
    bool PlayLevel(std::unique_ptr<Level> next, int32_t playerCount, uint32_t localIndex);
    void ResizeChannels(int32_t width, int32_t height);
    void LoadMenuFont();
    /// Starts `FetchPublicAddress` on a thread of its own.
    void StartPublicAddressFetch();

    /// The level whose world the render pass shows on this screen, and whether it is live
    /// (being played, so that its fills and magnet fields are drawn): the level in play on the
    /// play screen, the editor's level on the editor screen (live only while it play-tests).
    Level* LevelShown(bool& live) const;
    /// The editor's level, null while the editor screen is closed.
    Level* EditorLevel() const;
    /// True while the editor play-tests its level.
    bool EditorPlayTesting() const;

    void DrawColourChannel(const glm::mat4& projection);
    void DrawMagnetismChannel(const glm::mat4& projection, Level* shown, bool live, const float (&view)[4]);
    /// The title lines on the main screen, else the shown level's signpost texts as far as the
    /// view shows them (`Signpost::AppendTexts`).
    void DrawTextChannel(const glm::mat4& projection, Level* shown, const float (&view)[4]);
    void DrawShapesChannel(const glm::mat4& projection, Level* shown, bool live, const float (&view)[4]);
    /// Binds `channel` as the draw target with a viewport of its size, and clears it.
    void BeginChannel(const FrameBuffer& channel);
    void MarkPassEnd(RenderPass pass);
    void DrawEffectChoice();

    bool networkLibraryStarted = false;
    int64_t passStartNanoseconds = 0;
    /// The level files listed on the level select, read once each time the screen is entered
    /// rather than every frame: a folder that cannot be read is then logged once, not sixty
    /// times a second.
    DynArray<std::string> levelNames;
    bool levelNamesListed = false;
};
