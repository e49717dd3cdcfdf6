#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_internal.h>

#include "ByteBlob.h"
#include "LedrowGame.h"
#include "LevelEditor.h"
#include "LogChannel.h"
#include "LogWatch.h"
#include "NetworkManager.h"
#include "RuntimeTreeCopy.h"
#include "TestFiles.h"
#include "TypedKeyOnTerminal.h"
#include "Utilities.h"

namespace
{
const char* const DefaultSettings = "{\n \"fullscreen\": false,\n \"resolutionScale\": 1.0\n}";

/// Whether `line` is one of the lines that the watched channel received.
bool Logged(const LogWatch& watch, const std::string& line)
{
    const std::vector<std::string> lines = watch.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

/// Writes a level file holding a floor under `start`, as the editor saves one.
void WriteLevel(const std::string& name, glm::vec2 start)
{
    Level level(nullptr);
    level.start.position = start;
    WorldShape floor;
    for (glm::vec2 p : {glm::vec2(-10, -1), glm::vec2(10, -1), glm::vec2(10, 0), glm::vec2(-10, 0)})
        floor.AddPoint(p, p, p, false, true);
    level.worldShapes.PushBack(floor);
    ByteBlob blob;
    blob.WriteHeader();
    level.Serialise(blob);
    blob.WriteToFile(std::string(LedrowGame::LevelFolder) + name);
}

// Runs the game's frames itself, as main does but without pacing, and clicks its buttons through
// the user-interface back-end's own input callbacks.
class GameHarness : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure(); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            game.UpdateMenus();
            game.Render();
        }
    }

    // Clicks the button `label` of the user-interface window `windowName`, found in row `row`
    // below `textLines` lines of text. Windows fit their contents from (60, 60).
    void Click(const char* windowName, const char* label, int row, int textLines = 0)
    {
        Frames(3); // a window that just appeared takes a frame to fit its contents
        ImGuiWindow* window = ImGui::FindWindowByName(windowName);
        ASSERT_NE(window, nullptr) << windowName;
        ASSERT_TRUE(window->Active) << windowName << " is not shown";
        const ImGuiStyle& style = ImGui::GetStyle();
        const float rowHeight = ImGui::GetFrameHeight();
        const float x = window->Pos.x + style.WindowPadding.x + (ImGui::CalcTextSize(label).x + style.FramePadding.x * 2.0f) / 2.0f;
        const float y = window->Pos.y + window->TitleBarHeight() + style.WindowPadding.y +
                        textLines * (ImGui::GetFontSize() + style.ItemSpacing.y) + row * (rowHeight + style.ItemSpacing.y) +
                        rowHeight / 2.0f;
        glfwSetCursorPos(game.window, x, y);
        ImGui_ImplGlfw_CursorEnterCallback(game.window, GLFW_TRUE);
        Frames(1);
        ImGui_ImplGlfw_MouseButtonCallback(game.window, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
        Frames(1);
        ImGui_ImplGlfw_MouseButtonCallback(game.window, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
        Frames(1);
    }

    void ExpectChannelsSized(uint32_t width, uint32_t height)
    {
        for (FrameBuffer* channel : {game.colourChannel.get(), game.fontChannel.get(), game.worldShapesChannel.get(),
                                     game.magnetismChannel.get()})
        {
            EXPECT_EQ(channel->width, width);
            EXPECT_EQ(channel->height, height);
            GLint textureWidth = 0;
            glBindTexture(GL_TEXTURE_2D, channel->texture);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
            EXPECT_EQ(textureWidth, static_cast<GLint>(width));
        }
    }

    // The game reads and writes its settings, layout and levels in the working folder, and the
    // log channels keep the lines of every game before this one: each test has a copy of the
    // run-time tree of its own and sees only its own game's lines.
    RuntimeTreeCopy runtime;
    const LogWatch errorsSinceStart{ErrorLog};
    const LogWatch infoSinceStart{InfoLog};
    LedrowGame game;
};
} // namespace

TEST_F(GameHarness, StartUpWritesTheSettingsAndBuildsTheChannels)
{
    EXPECT_EQ(ReadFile("config.json"), DefaultSettings);
    EXPECT_TRUE(Logged(infoSinceStart, "Refresh rate guessed at 0hz."));
    EXPECT_TRUE(Logged(infoSinceStart, "ENet initialised successfully!"));
    EXPECT_EQ(errorsSinceStart.Lines(), std::vector<std::string>());
    EXPECT_EQ(game.screenState, LedrowGame::MainScreen);
    EXPECT_EQ(game.timeScale, 0.8333333f);

    struct Expected
    {
        FrameBuffer* channel;
        ComponentType type;
        uint32_t channels;
    };
    for (const Expected& e : {Expected{game.colourChannel.get(), ComponentUnsigned8, 4}, Expected{game.fontChannel.get(), ComponentUnsigned16, 1},
                              Expected{game.worldShapesChannel.get(), ComponentHalfFloat, 1},
                              Expected{game.magnetismChannel.get(), ComponentHalfFloat, 4}})
    {
        ASSERT_NE(e.channel, nullptr);
        EXPECT_TRUE(e.channel->created);
        EXPECT_EQ(e.channel->componentType, e.type);
        EXPECT_EQ(e.channel->channels, e.channels);
    }
    ExpectChannelsSized(1920, 1280);
    EXPECT_TRUE(game.shapeShader.owned);
    EXPECT_TRUE(game.textMesh.created);
    EXPECT_TRUE(game.shapesMesh.created);

    // The menus use the game's font at 32 pixels, which the run-time tree carries.
    ASSERT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 1);
    EXPECT_EQ(ImGui::GetIO().Fonts->Fonts[0]->FontSize, 32.0f);

    Frames(2);
    EXPECT_EQ(game.windowWidth, 1920);
    EXPECT_EQ(game.windowHeight, 1280);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GameHarness, ChannelsFollowTheScaleOnTheNextFrameButTheFileWaitsForAnApply)
{
    game.screenState = LedrowGame::OptionsScreen;
    game.config.resolutionScale = 0.75f; // as the options slider sets it
    Frames(1);
    ExpectChannelsSized(1440, 960);
    Click("Options", "Abandon unapplied changes and leave", 4);
    EXPECT_EQ(game.screenState, LedrowGame::MainScreen);
    ExpectChannelsSized(1440, 960);
    EXPECT_EQ(ReadFile("config.json"), DefaultSettings);

    // A minimised window has no size; the channels keep theirs.
    game.OnResize(0, 0);
    ExpectChannelsSized(1440, 960);
}

TEST_F(GameHarness, ApplyingDisplayOptionsResizesTheWindowAndSavesTheSettings)
{
    game.config.resolutionScale = 0.5f;
    game.ApplyDisplayOptions();
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(game.window, &x, &y);
    glfwGetWindowSize(game.window, &width, &height);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_EQ(game.windowWidth, 1280);
    EXPECT_EQ(game.windowHeight, 720);
    ExpectChannelsSized(640, 360);
    EXPECT_EQ(ReadFile("config.json"), "{\n \"fullscreen\": false,\n \"resolutionScale\": 0.5\n}");

    game.config.fullscreen = true;
    game.ApplyDisplayOptions();
    EXPECT_EQ(glfwGetWindowMonitor(game.window), glfwGetPrimaryMonitor());
    glfwGetWindowSize(game.window, &width, &height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1280);
    ExpectChannelsSized(960, 640);
    EXPECT_EQ(ReadFile("config.json"), "{\n \"fullscreen\": true,\n \"resolutionScale\": 0.5\n}");
}

TEST_F(GameHarness, ButtonsMoveBetweenTheScreens)
{
    struct Case
    {
        uint32_t from;
        const char* window;
        const char* label;
        int row;
        int textLines;
        uint32_t to;
    };
    const Case cases[] = {
        {LedrowGame::MainScreen, "Main screen", "Play", 0, 0, LedrowGame::LevelSelect},
        {LedrowGame::MainScreen, "Main screen", "Level editor", 1, 0, LedrowGame::LevelEditorScreen},
        {LedrowGame::MainScreen, "Main screen", "Options", 2, 0, LedrowGame::OptionsScreen},
        {LedrowGame::MainScreen, "Main screen", "Credits", 3, 0, LedrowGame::CreditsScreen},
        {LedrowGame::OptionsScreen, "Options", "Apply changes", 2, 0, LedrowGame::OptionsScreen},
        {LedrowGame::OptionsScreen, "Options", "Apply and leave", 3, 0, LedrowGame::MainScreen},
        {LedrowGame::OptionsScreen, "Options", "Abandon unapplied changes and leave", 4, 0, LedrowGame::MainScreen},
        {LedrowGame::CreditsScreen, "Credits", "Cool", 0, 1, LedrowGame::MainScreen},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        game.screenState = c.from;
        Click(c.window, c.label, c.row, c.textLines);
        EXPECT_EQ(game.screenState, c.to);
        EXPECT_FALSE(game.quit);
    }

    game.screenState = LedrowGame::MainScreen;
    Click("Main screen", "Quit", 4);
    EXPECT_TRUE(game.quit);
    EXPECT_EQ(game.screenState, LedrowGame::MainScreen);
}

TEST_F(GameHarness, TheEditorScreenTakesTheInputAndClosesBackToTheMainScreen)
{
    Click("Main screen", "Level editor", 1);
    ASSERT_EQ(game.screenState, LedrowGame::LevelEditorScreen);
    ASSERT_NE(game.editor, nullptr);
    Frames(2);
    EXPECT_NE(ImGui::FindWindowByName("Creation toolbox"), nullptr) << "the editor draws its windows";

    game.OnScroll(true);
    EXPECT_FLOAT_EQ(game.camera.viewHeight, 10.0f / 1.2f);
    game.OnScroll(false);
    EXPECT_NEAR(game.camera.viewHeight, 10.0f, 1e-5f) << "one step up and one down give the view back";
    for (int i = 0; i < 200; ++i)
        game.OnScroll(true);
    EXPECT_EQ(game.camera.viewHeight, LedrowGame::SmallestEditorView) << "zooming in stops at a usable view";

    game.OnKey(GLFW_KEY_EQUAL, true, false, false, false);
    EXPECT_EQ(game.editor->gridSpacing, 0.5f);
    glfwSetCursorPos(game.window, 1500.0, 900.0); // clear of the editor's windows
    Frames(2);
    game.editor->creationMode = CreateTrinkets;
    game.OnMouseDown(GLFW_MOUSE_BUTTON_RIGHT);
    EXPECT_EQ(game.editor->creationMode, CreateNothing) << "mouse presses reach the editor";

    game.editor->playTesting = true;
    const float zoomed = game.camera.viewHeight;
    game.OnScroll(false);
    EXPECT_EQ(game.camera.viewHeight, zoomed) << "no zoom while play-testing";
    game.editor->playTesting = false;

    game.screenState = LedrowGame::OptionsScreen;
    game.OnKey(GLFW_KEY_EQUAL, true, false, false, false);
    game.OnScroll(false);
    EXPECT_EQ(game.editor->gridSpacing, 0.5f) << "keys reach the editor only on its screen";
    EXPECT_EQ(game.camera.viewHeight, zoomed);

    game.screenState = LedrowGame::LevelEditorScreen;
    game.camera.centreX = 4.0f;
    game.editor->closeRequested = true;
    Frames(1);
    EXPECT_EQ(game.editor, nullptr);
    EXPECT_EQ(game.screenState, LedrowGame::MainScreen);
    EXPECT_EQ(game.camera.centreX, 0.0f);
    EXPECT_EQ(game.camera.viewHeight, 10.0f);
}

TEST_F(GameHarness, TheLevelSelectPlaysTheClickedLevelUntilItIsLeft)
{
    WriteLevel("first.lrl", {1, 2});
    WriteLevel("second.lrl", {-3, 4});
    // Beside the shipped levels, in the order the level select lists them.
    DynArray<std::string> listed = ListDirectory(LedrowGame::LevelFolder, "lrl");
    int secondRow = -1;
    for (uint32_t i = 0; i < listed.count; ++i)
        if (listed[i] == "second.lrl")
            secondRow = static_cast<int>(i);
    ASSERT_GE(secondRow, 0);

    game.screenState = LedrowGame::LevelSelect;
    Click("Select your level:", "second.lrl", secondRow);
    ASSERT_EQ(game.screenState, LedrowGame::Playing);
    ASSERT_TRUE(game.level);
    EXPECT_TRUE(Logged(infoSinceStart, "Starting game with 1 player(s). You are player 0"));
    EXPECT_EQ(game.level->start.position, glm::vec2(-3, 4));
    EXPECT_EQ(game.level->worldShapes.count, 1u);

    // It is stepped by the frame step times the time scale and falls onto its floor.
    Frames(200);
    EXPECT_NEAR(game.level->time, 200.0f * game.frameStep * 0.8333333f, 1e-3f);
    const b2Vec2 at = game.level->localPlayer->body->GetPosition();
    EXPECT_NEAR(at.y, 0.205f, 0.02f);
    EXPECT_NEAR(game.camera.centreX, at.x, 0.2f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    game.LeaveLevel();
    EXPECT_EQ(game.screenState, LedrowGame::LevelSelect);
    EXPECT_FALSE(game.level);
    EXPECT_EQ(game.camera.centreX, 0.0f);
    EXPECT_EQ(game.camera.centreY, 0.0f);
    EXPECT_EQ(game.camera.viewHeight, 10.0f);

    Click("Select your level:", "Back", static_cast<int>(listed.count));
    EXPECT_EQ(game.screenState, LedrowGame::MainScreen);
    EXPECT_EQ(errorsSinceStart.Lines(), std::vector<std::string>());
}

TEST_F(GameHarness, LevelsThatCannotBeStartedLeaveTheScreenAsItWas)
{
    WriteLevel("floor.lrl", {0, 1});
    game.screenState = LedrowGame::LevelSelect;
    struct Case
    {
        const char* name;
        int32_t players;
        uint32_t local;
    };
    for (const Case& c : {Case{"../floor.lrl", 1, 0}, Case{"Levels/floor.lrl", 1, 0}, Case{"", 1, 0}, Case{"..", 1, 0},
                          Case{"floor.lrl", 2, 2}, Case{"floor.lrl", 0, 0}})
    {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.players) + " " + std::to_string(c.local));
        // One line each, on whichever channel the refusal belongs to; the game's own never wait.
        const LogWatch errors(ErrorLog);
        const LogWatch warnings(WarningLog);
        EXPECT_FALSE(game.StartLevel(c.name, c.players, c.local));
        EXPECT_EQ(errors.Lines().size() + warnings.Lines().size(), 1u);
        if (c.players == 1)
        {
            EXPECT_EQ(warnings.Lines().size(), 1u) << "the game's own refusal of a name";
        }
        EXPECT_EQ(game.screenState, LedrowGame::LevelSelect);
        EXPECT_FALSE(game.level);
    }

    // A file that is missing is played as an empty level, the figure at the origin.
    EXPECT_TRUE(game.StartLevel("missing.lrl", 1, 0));
    ASSERT_TRUE(game.level);
    EXPECT_EQ(game.level->worldShapes.count, 0u);
    EXPECT_EQ(game.screenState, LedrowGame::Playing);
    Frames(2);
    // A level still in play is destroyed with the game.
}

// The host names the level to play from its own folder. A joiner started from a console, as under
// ./run.sh, that lacks the file or holds no level under that name used to stop its frames at an
// error line waiting for a key, until the host dropped it.
TEST_F(GameHarness, AJoinerWithoutTheHostsLevelWaitsInTheLobbyForTheNext)
{
    WriteLevel("floor.lrl", {0, 1});
    WriteFile(std::string(LedrowGame::LevelFolder) + "junk.lrl", "no level in here");
    NetworkManager host;
    CopyText(host.playerNameEntry, "Hana");
    CopyText(host.lobbyNameEntry, "Den");
    host.port = 0; // any free port
    host.StartServer();
    ASSERT_EQ(host.role, NetworkRole::Server);
    host.lobbyState = LobbyState::Hosting;

    game.screenState = LedrowGame::LevelSelect;
    CopyText(game.network.playerNameEntry, "Ada");
    game.network.port = host.host->address.port;
    ASSERT_TRUE(game.network.Join("127.0.0.1"));
    game.network.lobbyState = LobbyState::Connecting;
    // The host is served in every frame of the game's, as two games on a network would be: a
    // host left alone for a couple of seconds gives its client up.
    const auto frame = [&] {
        host.Update();
        Frames(1);
    };
    const auto frameUntil = [&](const std::function<bool()>& done) {
        for (int count = 0; count < 3000; ++count)
        {
            frame();
            if (done())
                return true;
        }
        return false;
    };
    ASSERT_TRUE(frameUntil([&] { return game.network.ownPlayerNumber == 1; }));

    const std::string keys = "kkkk\n";
    TypedKeyOnTerminal console(keys);
    ASSERT_TRUE(console.Ready());
    const LogWatch errors(ErrorLog);
    const LogWatch warnings(WarningLog);
    for (const char* name : {"missing.lrl", "junk.lrl"})
    {
        SCOPED_TRACE(name);
        const std::string told = std::string("The host started ") + name + ", which this machine cannot play: ";
        const auto toldInLobby = [&] {
            for (const std::string& line : game.network.messages)
                if (line.rfind(told, 0) == 0)
                    return true;
            return false;
        };
        ASSERT_TRUE(host.AnnounceLevelStart(name));
        ASSERT_TRUE(frameUntil(toldInLobby));
        for (int count = 0; count < 10; ++count)
            frame();
        EXPECT_EQ(game.screenState, LedrowGame::LevelSelect);
        EXPECT_FALSE(game.level);
        EXPECT_EQ(game.network.role, NetworkRole::Client);
        EXPECT_EQ(game.network.lobbyState, LobbyState::Joined);
    }
    EXPECT_EQ(console.Unread(), keys) << "a line waited for a key";
    EXPECT_EQ(errors.Lines(), std::vector<std::string>());
    const std::vector<std::string> warned = warnings.Lines();
    ASSERT_EQ(warned.size(), 2u) << testing::PrintToString(warned);
    EXPECT_NE(warned[0].find("missing.lrl, which this machine cannot play: this machine has no such level file;"), std::string::npos)
        << warned[0];
    EXPECT_NE(warned[1].find("junk.lrl, which this machine cannot play: the file is not a level this game can read;"), std::string::npos)
        << warned[1];

    // Still in the lobby, it plays the next level that it has.
    ASSERT_TRUE(host.AnnounceLevelStart("floor.lrl"));
    ASSERT_TRUE(frameUntil([&] { return game.screenState == LedrowGame::Playing; }));
    EXPECT_TRUE(Logged(infoSinceStart, "Starting game with 2 player(s). You are player 1"));
    EXPECT_EQ(game.level->worldShapes.count, 1u);
    game.LeaveLevel();
}

// A settings file that cannot be read must not stop the game: it starts on the defaults and
// writes them back, once the player's file is safe beside.
TEST(LedrowGame, MalformedSettingsStillStartTheGame)
{
    const RuntimeTreeCopy runtime;
    std::ofstream("config.json") << "{ this is not json";
    const LogWatch errors(ErrorLog);
    const LogWatch warnings(WarningLog);
    LedrowGame game;
    ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
    EXPECT_EQ(errors.Lines(), std::vector<std::string>());
    ASSERT_EQ(warnings.Lines().size(), 1u) << testing::PrintToString(warnings.Lines());
    EXPECT_EQ(warnings.Lines()[0].rfind("[Config.cpp:", 0), 0u);
    EXPECT_FALSE(game.config.fullscreen);
    EXPECT_EQ(game.config.resolutionScale, 1.0f);
    EXPECT_EQ(ReadFile("config.json"), DefaultSettings);
    EXPECT_EQ(ReadFile("config.json.refused"), "{ this is not json");
}
