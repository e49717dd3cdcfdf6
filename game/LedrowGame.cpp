#include "LedrowGame.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include <box2d/box2d.h>
#include <enet/enet.h>
#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <glm/gtc/type_ptr.hpp>
#include <imgui_impl_opengl3.h>

#include "LevelEditor.h"
#include "LogChannel.h"
#include "PublicAddress.h"
#include "Utilities.h"

namespace
{
// The user-interface library asserts on data that is not a font, so only files that begin like
// a TrueType or OpenType font are handed to it.
bool LooksLikeFont(const std::string& bytes)
{
    if (bytes.size() < 12)
        return false;
    static const char* const signatures[] = {"\x00\x01\x00\x00", "OTTO", "true", "typ1", "1\x00\x00\x00"};
    for (const char* signature : signatures)
    {
        if (std::memcmp(bytes.data(), signature, 4) == 0)
            return true;
    }
    return false;
}

uint32_t ChannelSide(int32_t windowSide, float scale)
{
    // The slider keeps the scale in range; this keeps a stray value from sizing a channel at
    // nothing or at more than any GPU holds.
    scale = std::clamp(scale, Config::MinResolutionScale, Config::MaxResolutionScale);
    return std::max(1u, static_cast<uint32_t>(static_cast<float>(windowSide) * scale));
}
} // namespace

LedrowGame::LedrowGame()
{
    if (!IsReady())
        return;
    // The level in play, the level editor and the network manager start empty here.

    // From its cache, or built and cached on the first start.
    font.LoadGameFont();

    config.Save();

    StartPublicAddressFetch();

    if (enet_initialize() != 0)
    {
        ErrorLog << LogLocation(__FILE__, 34) << "ENet failed to initialise! Aborting...";
        ErrorLog.EndMessage();
    }
    else
    {
        networkLibraryStarted = true;
        InfoLog << "ENet initialised successfully!";
        InfoLog.EndMessage();
    }

    glLineWidth(3.0f);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    LoadMenuFont();

    colourChannel = std::make_unique<FrameBuffer>(ComponentUnsigned8, 4);
    fontChannel = std::make_unique<FrameBuffer>(ComponentUnsigned16, 1);
    worldShapesChannel = std::make_unique<FrameBuffer>(ComponentHalfFloat, 1);
    magnetismChannel = std::make_unique<FrameBuffer>(ComponentHalfFloat, 4);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    textMesh.CreateBuffer();
    shapesMesh.CreateBuffer();
    shapeShader = Shader("BaseShaders/Shape.vsd", "BaseShaders/Shape.fsd");

    // The post effects are loaded here, "Passthrough" selected, and the game font handed to the
    // render pass.
}

LedrowGame::~LedrowGame()
{
    colourChannel.reset();
    fontChannel.reset();
    worldShapesChannel.reset();
    magnetismChannel.reset();
    // Its magnet textures need the context, which the base still holds. An editor still open when
    // the window closes goes with the game.
    network.level = nullptr;
    level.reset();
    editor.reset();
    // Done with the network before its library goes: clients hear that a host closed.
    network.Shutdown();
    if (networkLibraryStarted)
        enet_deinitialize();
}

void LedrowGame::UpdateMenus()
{
    if (!IsReady())
        return;
    // The network is serviced first; what it answers drives the level-select and play screens,
    // and every other screen drops it.
    const ClientResponseAction action = network.Update();
    Step();
    switch (screenState)
    {
    case MainScreen:
        UpdateMainScreen();
        break;
    case LevelSelect:
        UpdateLevelSelectScreen(action);
        break;
    case Playing:
        UpdatePlayScreen(action);
        break;
    case LevelEditorScreen:
        UpdateEditorScreen();
        break;
    case OptionsScreen:
        UpdateOptionsScreen();
        break;
    case CreditsScreen:
        UpdateCreditsScreen();
        break;
    default:
        break;
    }
}

void LedrowGame::Render()
{
    if (!IsReady())
        return;
    // The world's lines are collected for the colour channel.
    if (screenState == Playing && level)
    {
        float view[4];
        camera.GetViewRect(view);
        level->Draw(worldLines, view, false);
    }
    if (screenState == LevelEditorScreen && editor)
        CollectEditorLines();

    // The channel passes and the post effect that composes them onto the screen come here. Until
    // an effect covers the window, it is cleared so that no stale frame shows through, and the
    // world's lines are drawn onto it directly.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, windowWidth, windowHeight);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawWorldLinesToWindow();
    // Emptied every frame whatever was drawn, so that the batch cannot grow.
    worldLines.Clear();

    ImGui::Render();
    ImDrawData* drawData = ImGui::GetDrawData();
    if (drawData != nullptr && drawData->Valid)
        ImGui_ImplOpenGL3_RenderDrawData(drawData);

    glfwSwapBuffers(window);
    glfwPollEvents();
}

void LedrowGame::StartPublicAddressFetch()
{
    // Detached at once: nothing waits for it, and the game can quit while it still runs.
    try
    {
        std::thread(FetchPublicAddress).detach();
    }
    catch (const std::system_error& fault)
    {
        ErrorLog << LogLocation(__FILE__, 30) << "The public address could not be fetched: " << fault.what();
        ErrorLog.EndMessage();
    }
}

void LedrowGame::UpdateMainScreen()
{
    ImGui::Begin("Main screen");
    if (ImGui::Button("Play"))
        screenState = LevelSelect;
    if (ImGui::Button("Level editor"))
    {
        screenState = LevelEditorScreen;
        editor = std::make_unique<LevelEditor>(&camera, window);
        InfoLog << "Opened the level editor.";
        InfoLog.EndMessage();
    }
    if (ImGui::Button("Options"))
        screenState = OptionsScreen;
    if (ImGui::Button("Credits"))
        screenState = CreditsScreen;
    if (ImGui::Button("Quit"))
        quit = true;
    ImGui::End();
}

void LedrowGame::UpdateOptionsScreen()
{
    ImGui::Begin("Options");
    ImGui::Checkbox("Fullscreen: ", &config.fullscreen);
    // Typed-in values (control-click) are clamped too: the channels are sized by this factor.
    ImGui::SliderFloat("Resolution scale: ", &config.resolutionScale, Config::MinResolutionScale, Config::MaxResolutionScale, "%.3f",
                       ImGuiSliderFlags_AlwaysClamp);
    if (ImGui::Button("Apply changes"))
        ApplyDisplayOptions();
    if (ImGui::Button("Apply and leave"))
    {
        ApplyDisplayOptions();
        screenState = MainScreen;
    }
    if (ImGui::Button("Abandon unapplied changes and leave"))
        screenState = MainScreen;
    ImGui::Separator();
    ImGui::TextWrapped("To customise controls, have a look in Data/ControlInfo.txt (sorry)");
    ImGui::End();
}

void LedrowGame::UpdateCreditsScreen()
{
    ImGui::Begin("Credits");
    ImGui::Text("Jorvel made this game");
    if (ImGui::Button("Cool"))
        screenState = MainScreen;
    ImGui::End();
}

void LedrowGame::UpdateLevelSelectScreen(const ClientResponseAction& action)
{
    if (action.type == ClientResponseType::StartGame)
    {
        // Nothing else of this screen in that frame.
        StartSharedLevel(action);
        return;
    }
    if (!levelNamesListed)
    {
        levelNames = ListDirectory(LevelFolder, "lrl");
        levelNamesListed = true;
    }

    ImGui::Begin("Select your level:");
    const std::string* chosen = nullptr;
    for (uint32_t i = 0; i < levelNames.count; ++i)
    {
        // File names are unique in the folder, but the user-interface library reads "##" in a
        // label as the start of an identifier of its own.
        ImGui::PushID(static_cast<int>(i));
        // Greyed out while joined (the host chooses), and while hosting for a level whose name
        // cannot travel to the others.
        ImGui::BeginDisabled(!network.CanChooseLevel(levelNames[i]));
        if (ImGui::Button(levelNames[i].c_str()) && chosen == nullptr)
            chosen = &levelNames[i];
        ImGui::EndDisabled();
        ImGui::PopID();
    }
    ImGui::Separator();
    const bool back = ImGui::Button("Back");
    ImGui::End();
    network.DrawLobby();

    if (chosen != nullptr)
    {
        const std::string name = *chosen;
        PlayChosenLevel(name);
    }
    else if (back)
    {
        network.LeaveLobby();
        levelNamesListed = false;
        screenState = MainScreen;
    }
}

void LedrowGame::UpdatePlayScreen(const ClientResponseAction& action)
{
    if (!level)
        return;
    // A level that the host ends is still played through this frame.
    const bool escape = level->Update(timeScale * frameStep, window);
    if (escape || action.type == ClientResponseType::EndGame)
        LeaveLevel();
}

void LedrowGame::PlayChosenLevel(const std::string& levelName)
{
    int32_t playerCount = 1;
    if (network.role == NetworkRole::Server)
    {
        // Everybody hears of it before the host loads it; a name that cannot travel is not
        // played at all rather than played alone.
        if (!network.AnnounceLevelStart(levelName))
            return;
        playerCount = network.GetPlayerCount();
    }
    StartLevel(levelName, playerCount, 0);
}

void LedrowGame::StartSharedLevel(const ClientResponseAction& action)
{
    // The manager passes on only a start that has a place for this machine's number.
    StartLevel(action.levelName, action.playerCount, static_cast<uint32_t>(network.ownPlayerNumber));
}

bool LedrowGame::StartLevel(const std::string& levelName, int32_t playerCount, uint32_t localIndex)
{
    // Names also arrive from other machines; only a file of the level folder itself is played.
    if (levelName.empty() || levelName.find_first_of(std::string("/\\\0", 3)) != std::string::npos ||
        levelName == "." || levelName == "..")
    {
        ErrorLog << LogLocation(__FILE__, 402) << "Refused to play \"" << levelName
                 << "\": a level is named by a file name in " << LevelFolder << ".";
        ErrorLog.EndMessage();
        return false;
    }
    network.level = nullptr;
    level.reset();
    auto next = std::make_unique<Level>(&camera);
    next->LoadFromFile(LevelFolder + levelName);
    if (!next->Start(playerCount, localIndex))
        return false;
    level = std::move(next);
    network.level = level.get();
    const b2Vec2 at = level->localPlayer->body->GetPosition();
    camera.centreX = at.x;
    camera.centreY = at.y;
    levelNamesListed = false;
    screenState = Playing;
    return true;
}

void LedrowGame::LeaveLevel()
{
    if (network.role == NetworkRole::Server)
        network.AnnounceLevelEnd();
    else if (network.role == NetworkRole::Client)
        network.AnnounceDeparture();
    network.level = nullptr;
    level.reset();
    screenState = LevelSelect;
    camera.centreX = 0.0f;
    camera.centreY = 0.0f;
    camera.viewHeight = 10.0f;
}

void LedrowGame::UpdateEditorScreen()
{
    if (!editor)
        return;
    const bool open = editor->Update(mouseWorldPosition, mouseMovement, timeScale * frameStep);
    if (open)
        return;
    editor.reset();
    InfoLog << "Closed the level editor.";
    InfoLog.EndMessage();
    screenState = MainScreen;
    camera.centreX = 0.0f;
    camera.centreY = 0.0f;
    camera.viewHeight = 10.0f;
}

void LedrowGame::CollectEditorLines()
{
    // While the editor play-tests, its drawing is the level's as in play.
    editor->Draw(worldLines);
}

void LedrowGame::DrawWorldLinesToWindow()
{
    if (worldLines.positions.empty())
        return;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glUseProgram(simpleShader.program);
    const glm::mat4 projection = camera.GetViewProjection();
    glUniformMatrix4fv(glGetUniformLocation(simpleShader.program, "vpMatrix"), 1, GL_FALSE, glm::value_ptr(projection));
    worldLines.Render();
    glUseProgram(0);
}

void LedrowGame::OnMouseDown(int32_t button)
{
    if (screenState == LevelEditorScreen && editor && button >= 0)
        editor->OnMouseDown(static_cast<uint32_t>(button));
}

void LedrowGame::OnMouseUp(int32_t button)
{
    if (screenState == LevelEditorScreen && editor && button >= 0)
        editor->OnMouseUp(static_cast<uint32_t>(button));
}

void LedrowGame::OnScroll(bool up)
{
    if (screenState != LevelEditorScreen || !editor || editor->playTesting)
        return;
    // One step up and one down give the view back to within rounding: 0.8333333 is the f32
    // nearest to 1 / 1.2.
    camera.viewHeight /= up ? 1.2f : 0.8333333f;
    camera.viewHeight = std::clamp(camera.viewHeight, SmallestEditorView, LargestEditorView);
}

void LedrowGame::OnKey(int32_t key, bool pressed, bool alt, bool control, bool shift)
{
    if (screenState == LevelEditorScreen && editor && key >= 0)
        editor->OnKey(static_cast<uint32_t>(key), pressed, alt, control, shift);
    // Then, on every screen, pressing the grave accent reloads every post effect and selects
    // "Passthrough".
}

void LedrowGame::OnResize(int32_t width, int32_t height)
{
    ResizeChannels(width, height);
    windowWidth = width;
    windowHeight = height;
}

void LedrowGame::ApplyDisplayOptions()
{
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    if (config.fullscreen && mode != nullptr)
        glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    else
        glfwSetWindowMonitor(window, nullptr, 100, 100, 1280, 720, mode != nullptr ? mode->refreshRate : GLFW_DONT_CARE);
    glfwGetFramebufferSize(window, &windowWidth, &windowHeight);
    ResizeChannels(windowWidth, windowHeight);
    config.Save();
}

void LedrowGame::ResizeChannels(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || !colourChannel)
        return;
    const uint32_t channelWidth = ChannelSide(width, config.resolutionScale);
    const uint32_t channelHeight = ChannelSide(height, config.resolutionScale);
    for (FrameBuffer* channel : {colourChannel.get(), fontChannel.get(), worldShapesChannel.get(), magnetismChannel.get()})
        channel->Resize(channelWidth, channelHeight);
}

void LedrowGame::LoadMenuFont()
{
    std::ifstream file(MenuFontPath, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.empty())
    {
        InfoLog << "The menu font " << MenuFontPath << " could not be read; the menus use the built-in font.";
        InfoLog.EndMessage();
        return;
    }
    if (!LooksLikeFont(bytes))
    {
        InfoLog << "The menu font " << MenuFontPath << " is not a TrueType or OpenType font; the menus use the built-in font.";
        InfoLog.EndMessage();
        return;
    }

    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    ImFontConfig fontConfig;
    fontConfig.OversampleH = 3;
    fontConfig.OversampleV = 1;
    // The atlas owns the copy and frees it with the library's allocator.
    void* data = ImGui::MemAlloc(bytes.size());
    std::memcpy(data, bytes.data(), bytes.size());
    if (atlas->AddFontFromMemoryTTF(data, static_cast<int>(bytes.size()), 32.0f, &fontConfig) == nullptr || !atlas->Build())
    {
        atlas->Clear();
        InfoLog << "The menu font " << MenuFontPath << " could not be built; the menus use the built-in font.";
        InfoLog.EndMessage();
    }
}
