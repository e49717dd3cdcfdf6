#include "LedrowGame.h"

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <system_error>
#include <thread>

#include <box2d/box2d.h>
#include <enet/enet.h>
#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <glm/gtc/type_ptr.hpp>

#include "GlyphTable.h"
#include "LevelEditor.h"
#include "LogChannel.h"
#include "Signpost.h"
#include "PublicAddress.h"
#include "ScopedTimer.h"
#include "Utilities.h"
#include "WorldShape.h"

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

void SetProjection(const Shader& shader, const glm::mat4& projection)
{
    glUseProgram(shader.program);
    glUniformMatrix4fv(glGetUniformLocation(shader.program, "vpMatrix"), 1, GL_FALSE, glm::value_ptr(projection));
}

// A menu window fits its contents when it first appears, but its title is not part of them: the
// window is kept wide enough for the title beside the collapse arrow, so no title is cut off.
bool BeginMenuWindow(const char* title, ImGuiWindowFlags flags = 0)
{
    const ImGuiStyle& style = ImGui::GetStyle();
    const float titleWidth = style.FramePadding.x + ImGui::GetFontSize() + style.ItemInnerSpacing.x + ImGui::CalcTextSize(title).x +
                             style.FramePadding.x;
    ImGui::SetNextWindowSizeConstraints(ImVec2(titleWidth, 0.0f), ImVec2(FLT_MAX, FLT_MAX));
    return ImGui::Begin(title, nullptr, flags);
}

// Sliders and combos take a share of the window's width by default, which leaves their labels
// outside a window that fits its contents; a fixed width keeps the label inside.
void SetNextControlWidth()
{
    ImGui::SetNextItemWidth(ImGui::GetFontSize() * 7.0f);
}

// The main screen's two title lines, in world units at the camera's start.
struct TitleLine
{
    const char* text;
    glm::vec2 pen;
    float scale;
};
constexpr TitleLine TitleLines[] = {
    {"Quorvane", {-3.0f, 0.5f}, 1.5f},
    {"Ledrow", {-0.51f, -0.54999995f}, 1.6500001f},
};
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
    network.port = NetworkManager::PortFromSetting(std::getenv(NetworkManager::PortSetting));

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

    LoadEffects();
    SelectEffect(DefaultEffectName);
    if (currentEffect == nullptr)
    {
        WarningLog << LogLocation(__FILE__, 61) << "No usable effect named " << DefaultEffectName << " in Effects/"
                   << "; the world is not drawn until one is loaded (press ` to reload the effects).";
        WarningLog.EndMessage();
    }
    // The render pass draws text with the game font (`font`), when it has an atlas.
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
    if (measureRenderPasses)
    {
        renderPassMilliseconds.fill(0.0);
        glFinish();
        passStartNanoseconds = ScopedTimer::SteadyNanoseconds();
    }
    float view[4];
    camera.GetViewRect(view);
    const glm::mat4 projection = camera.GetViewProjection();
    bool live = false;
    Level* shown = LevelShown(live);

    if (shown != nullptr && live)
        shown->Draw(worldLines, view, false);
    else if (screenState == LevelEditorScreen)
        CollectEditorLines();
    MarkPassEnd(CollectLinesPass);

    PostEffect* effect = currentEffect != nullptr && currentEffect->IsUsable() ? currentEffect : nullptr;
    auto samples = [effect](EffectParser::Channel channel) { return effect != nullptr && effect->sources[channel].used; };
    if (samples(EffectParser::ColourChannel))
        DrawColourChannel(projection);
    else
        worldLines.Clear(); // lines that no effect shows must not pile up from frame to frame
    MarkPassEnd(ColourPass);
    if (samples(EffectParser::MagnetismChannel))
        DrawMagnetismChannel(projection, shown, live, view);
    MarkPassEnd(MagnetismPass);
    if (samples(EffectParser::FontChannel))
        DrawTextChannel(projection, shown, view);
    MarkPassEnd(TextPass);
    if (samples(EffectParser::WorldShapesChannel))
        DrawShapesChannel(projection, shown, live, view);
    MarkPassEnd(ShapesPass);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, windowWidth, windowHeight);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    if (effect == nullptr || !effect->Apply(quad, view, totalTime))
    {
        // Nothing to compose with: a cleared frame, so that no stale image shows through.
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    }
    MarkPassEnd(ComposePass);

    ImGui::Render();
    ImDrawData* drawData = ImGui::GetDrawData();
    if (drawData != nullptr && drawData->Valid)
        ImGui_ImplOpenGL3_RenderDrawData(drawData);
    MarkPassEnd(InterfacePass);

    glfwSwapBuffers(window);
    MarkPassEnd(SwapPass);
    glfwPollEvents();
}

void LedrowGame::BeginChannel(const FrameBuffer& channel)
{
    glViewport(0, 0, static_cast<GLsizei>(channel.width), static_cast<GLsizei>(channel.height));
    glBindFramebuffer(GL_FRAMEBUFFER, channel.framebuffer);
    glClear(GL_COLOR_BUFFER_BIT);
}

void LedrowGame::DrawColourChannel(const glm::mat4& projection)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    BeginChannel(*colourChannel);
    SetProjection(simpleShader, projection);
    worldLines.Render();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void LedrowGame::DrawMagnetismChannel(const glm::mat4& projection, Level* shown, bool live, const float (&view)[4])
{
    glBlendFunc(GL_ONE, GL_ONE);
    glBlendEquation(GL_FUNC_ADD);
    BeginChannel(*magnetismChannel);
    SetProjection(textureShader, projection);
    if (shown != nullptr && live)
    {
        Mesh fieldQuads;
        fieldQuads.CreateBuffer();
        for (const WorldShape& shape : shown->worldShapes)
            shape.DrawMagnetism(fieldQuads, view);
    } // the temporary mesh deletes its buffer here
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void LedrowGame::DrawTextChannel(const glm::mat4& projection, Level* shown, const float (&view)[4])
{
    textMesh.vertices.Clear();
    // A font without an atlas has nothing to sample; the channel stays cleared.
    const bool drawable = font.HasAtlas();
    if (drawable && screenState == MainScreen)
    {
        for (const TitleLine& line : TitleLines)
            textMesh.AddText(line.text, line.pen, line.scale, font);
    }
    else if (drawable && shown != nullptr)
    {
        const GlyphTable glyphs(font);
        Signpost::AppendTexts(shown->signposts, signpostLayouts, textMesh, glyphs, view);
    }
    textMesh.Upload();

    glBlendEquation(GL_MAX);
    BeginChannel(*fontChannel);
    if (font.BindAtlas(0))
    {
        SetProjection(textureShader, projection);
        textMesh.Draw();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void LedrowGame::DrawShapesChannel(const glm::mat4& projection, Level* shown, bool live, const float (&view)[4])
{
    shapesMesh.vertices.Clear();
    if (shown != nullptr && live)
    {
        for (const WorldShape& shape : shown->worldShapes)
            shape.AppendTriangles(shapesMesh, view);
    }
    shapesMesh.Upload();
    glBlendFunc(GL_ONE, GL_ONE);
    glBlendEquation(GL_FUNC_ADD);
    BeginChannel(*worldShapesChannel);
    SetProjection(shapeShader, projection);
    shapesMesh.Draw();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void LedrowGame::MarkPassEnd(RenderPass pass)
{
    if (!measureRenderPasses)
        return;
    glFinish();
    const int64_t now = ScopedTimer::SteadyNanoseconds();
    renderPassMilliseconds[pass] = static_cast<double>(now - passStartNanoseconds) / 1e6;
    passStartNanoseconds = now;
}

Level* LedrowGame::LevelShown(bool& live) const
{
    live = false;
    if (screenState == Playing && level)
    {
        live = true;
        return level.get();
    }
    if (screenState == LevelEditorScreen)
    {
        live = EditorPlayTesting();
        return EditorLevel();
    }
    return nullptr;
}

Level* LedrowGame::EditorLevel() const
{
    return editor ? editor->level.get() : nullptr;
}

bool LedrowGame::EditorPlayTesting() const
{
    return editor && editor->playTesting;
}

void LedrowGame::LoadEffects()
{
    FrameBuffer* const channels[EffectParser::ChannelCount] = {colourChannel.get(), fontChannel.get(), worldShapesChannel.get(),
                                                               magnetismChannel.get()};
    const DynArray<std::string> files = ListDirectory("Effects", "lrfx");
    for (const std::string& file : files)
    {
        const std::string effectName = file.size() < 5 ? file : file.substr(0, file.size() - 5);
        auto effect = std::make_unique<PostEffect>(effectName, channels);
        if (!effect->IsUsable())
            continue; // logged by the effect; an effect that cannot draw is never selected
        effects[effectName] = std::move(effect);
    }
    InfoLog << "Loaded " << effects.size() << " post effect(s) from Effects/.";
    InfoLog.EndMessage();
}

void LedrowGame::ClearEffects()
{
    currentEffect = nullptr;
    effects.clear();
}

void LedrowGame::SelectEffect(const std::string& effectName)
{
    const auto found = effects.find(effectName);
    if (found != effects.end())
        currentEffect = found->second.get();
}

void LedrowGame::ReloadEffects()
{
    // The effect in use is kept aside until the new set has shown that it can replace it.
    std::string inUseName;
    std::unique_ptr<PostEffect> inUse;
    if (currentEffect != nullptr)
    {
        inUseName = currentEffect->name;
        inUse = std::move(effects[inUseName]);
    }
    ClearEffects();
    LoadEffects();
    SelectEffect(DefaultEffectName);
    if (currentEffect != nullptr || inUse == nullptr)
    {
        if (currentEffect == nullptr)
        {
            WarningLog << LogLocation(__FILE__, 391) << "No usable effect named " << DefaultEffectName << " in Effects/ after the reload.";
            WarningLog.EndMessage();
        }
        return;
    }
    WarningLog << LogLocation(__FILE__, 397) << "No usable effect named " << DefaultEffectName << " in Effects/ after the reload; "
               << EffectParser::Printable(inUseName) << " stays in use.";
    WarningLog.EndMessage();
    effects[inUseName] = std::move(inUse);
    currentEffect = effects[inUseName].get();
}

void LedrowGame::StartPublicAddressFetch()
{
    // Detached at once: nothing waits for it, and the game can quit while it still runs (the exit
    // stops it first).
    PreparePublicAddressFetch();
    try
    {
        std::thread(FetchPublicAddress).detach();
    }
    catch (const std::system_error& fault)
    {
        WarningLog << LogLocation(__FILE__, 30) << "The public address could not be fetched: " << fault.what();
        WarningLog.EndMessage();
    }
}

void LedrowGame::UpdateMainScreen()
{
    BeginMenuWindow("Main screen");
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
    // Its wrapped text is laid out before the window knows its width; fitting every frame
    // takes back the height that the first, narrow layout asked for.
    BeginMenuWindow("Options", ImGuiWindowFlags_AlwaysAutoResize);
    ImGui::Checkbox("Fullscreen: ", &config.fullscreen);
    // Typed-in values (control-click) are clamped too: the channels are sized by this factor.
    SetNextControlWidth();
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
    DrawEffectChoice();
    ImGui::End();
}

void LedrowGame::DrawEffectChoice()
{
    // Not a setting: every start and every reload begins with the default effect again.
    ImGui::Separator();
    const char* shownName = currentEffect != nullptr ? currentEffect->name.c_str() : "(none)";
    SetNextControlWidth();
    if (!ImGui::BeginCombo("Post effect: ", shownName))
        return;
    for (const auto& [effectName, effect] : effects)
    {
        if (ImGui::Selectable(effectName.c_str(), effect.get() == currentEffect))
            currentEffect = effect.get();
    }
    ImGui::EndCombo();
}

void LedrowGame::UpdateCreditsScreen()
{
    BeginMenuWindow("Credits");
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
    // The manager passes on only a start that has a place for this machine's number. The name
    // is the host's: this machine may lack that file or hold something else under it, and what a
    // peer sends must never stop the frame at a line that waits for a key. Such a start is told
    // in the lobby, and this machine waits there, still connected, for the next level.
    if (!IsPlainFileName(action.levelName))
    {
        network.MissSharedLevel(action.levelName, "it is no file name");
        return;
    }
    ClearLevel();
    auto next = std::make_unique<Level>(&camera);
    std::string why;
    if (!next->ReadSharedFile(LevelFolder + action.levelName, why))
    {
        network.MissSharedLevel(action.levelName, why);
        return;
    }
    next->BuildDataTextures();
    PlayLevel(std::move(next), action.playerCount, static_cast<uint32_t>(network.ownPlayerNumber));
}

bool LedrowGame::StartLevel(const std::string& levelName, int32_t playerCount, uint32_t localIndex)
{
    if (!IsPlainFileName(levelName))
    {
        WarningLog << LogLocation(__FILE__, 402) << "Refused to play \"" << levelName
                   << "\": a level is named by a file name in " << LevelFolder << ".";
        WarningLog.EndMessage();
        return false;
    }
    ClearLevel();
    auto next = std::make_unique<Level>(&camera);
    next->LoadFromFile(LevelFolder + levelName);
    return PlayLevel(std::move(next), playerCount, localIndex);
}

bool LedrowGame::IsPlainFileName(const std::string& levelName)
{
    // Names also arrive from other machines; only a file of the level folder itself is played.
    return !levelName.empty() && levelName.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
           levelName != "." && levelName != "..";
}

void LedrowGame::ClearLevel()
{
    // Before the next one is read, so that two levels are never held at once.
    network.level = nullptr;
    level.reset();
}

bool LedrowGame::PlayLevel(std::unique_ptr<Level> next, int32_t playerCount, uint32_t localIndex)
{
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
    ReleaseFrameMeshes();
    screenState = LevelSelect;
    ResetCamera();
}

void LedrowGame::UpdateEditorScreen()
{
    if (!editor)
        return;
    const bool open = editor->Update(mouseWorldPosition, mouseMovement, timeScale * frameStep);
    if (open)
        return;
    editor.reset();
    ReleaseFrameMeshes();
    InfoLog << "Closed the level editor.";
    InfoLog.EndMessage();
    screenState = MainScreen;
    ResetCamera();
}

void LedrowGame::ReleaseFrameMeshes()
{
    // A level of much text or many fills leaves the meshes as large as its fullest frame; the
    // screens after it need a fraction of that. The buffers give back their store too.
    for (Mesh* mesh : {&textMesh, &shapesMesh})
    {
        mesh->ReleaseVertices();
        if (mesh->created)
            mesh->Upload();
    }
    signpostLayouts = DynArray<LineLayout>();
}

void LedrowGame::ResetCamera()
{
    const Camera start;
    camera.centreX = start.centreX;
    camera.centreY = start.centreY;
    camera.viewHeight = start.viewHeight;
}

void LedrowGame::CollectEditorLines()
{
    if (editor)
        editor->Draw(worldLines);
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
    if (key == GLFW_KEY_GRAVE_ACCENT && pressed)
        ReloadEffects();
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
