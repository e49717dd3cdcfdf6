#pragma once

#include <cstdint>
#include <memory>

#include "Font.h"
#include "FrameBuffer.h"
#include "GameBase.h"
#include "Level.h"
#include "Mesh.h"
#include "NetworkManager.h"
#include "PhysicsStep.h"
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
    /// Draws the frame after `UpdateMenus`, swaps the buffers, then polls window events (the
    /// handlers run there).
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
    Mesh shapesMesh;
    Shader shapeShader; ///< the world-shape fills

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
    /// The editor's lines for this frame, collected into the world's line batch.
    void CollectEditorLines();
    /// Draws the world's line batch straight into the window, for screens without a post effect
    /// to compose the channels.
    void DrawWorldLinesToWindow();
    /// The level list with the lobby window beside it; a start from the network starts its level.
    void UpdateLevelSelectScreen(const ClientResponseAction& action);
    /// One frame of the level in play; Escape or an end from the network leaves it.
    void UpdatePlayScreen(const ClientResponseAction& action);
    /// A level button: alone, the level is played; while hosting, it is announced to everybody
    /// first and played with every player of the lobby.
    void PlayChosenLevel(const std::string& levelName);
    /// Plays the level that the host started, as this machine's player number.
    void StartSharedLevel(const ClientResponseAction& action);
    void ResizeChannels(int32_t width, int32_t height);
    void LoadMenuFont();
    /// Starts `FetchPublicAddress` on a thread of its own.
    void StartPublicAddressFetch();

    bool networkLibraryStarted = false;
    /// The level files listed on the level select, read once each time the screen is entered
    /// rather than every frame: a folder that cannot be read is then logged once, not sixty
    /// times a second.
    DynArray<std::string> levelNames;
    bool levelNamesListed = false;
};
