#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include "GameBase.h"
#include "LevelEditor.h"
#include "RuntimeTreeCopy.h"

namespace
{
/// The game's window and user interface with the editor in it, its windows in the menus' font at
/// the menus' size (the resize grips of a window grow with the font), driven through the
/// window library's callbacks as the mouse and keyboard drive them.
class EditorWindow : public GameBase
{
public:
    std::unique_ptr<LevelEditor> editor;

    EditorWindow()
    {
        if (!IsReady())
            return;
        ImFontAtlas* atlas = ImGui::GetIO().Fonts;
        const char* menuFont = "Fonts/Atkinson-Hyperlegible-Bold-102.otf";
        if (!std::filesystem::exists(menuFont) || atlas->AddFontFromFileTTF(menuFont, 32.0f) == nullptr)
        {
            ImFontConfig builtIn;
            builtIn.SizePixels = 32.0f;
            atlas->AddFontDefault(&builtIn);
        }
        editor = std::make_unique<LevelEditor>(&camera, window);
    }

    ~EditorWindow() override { editor.reset(); } // while the context is still there

    /// `count` frames of the editor screen; `before` runs in each after the frame has begun.
    void Frames(int count, const std::function<void()>& before = {})
    {
        for (int i = 0; i < count; ++i)
        {
            Step();
            if (before)
                before();
            editor->Update(mouseWorldPosition, mouseMovement, frameStep);
            ImGui::Render();
        }
    }

    /// A left click on the middle of `face`, the cursor there a frame before the press.
    void ClickMiddleOf(const FileDialog::Face& face)
    {
        glfwSetCursorPos(window, 0.5 * (face.min.x + face.max.x), 0.5 * (face.min.y + face.max.y));
        ImGui_ImplGlfw_CursorEnterCallback(window, GLFW_TRUE);
        Frames(1);
        ImGui_ImplGlfw_MouseButtonCallback(window, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
        Frames(1);
        ImGui_ImplGlfw_MouseButtonCallback(window, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
        Frames(2);
    }

    void PressEscape()
    {
        ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
        Frames(1);
        ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_ESCAPE, 0, GLFW_RELEASE, 0);
        Frames(2);
    }
};
} // namespace

TEST(FileDialogWindow, EveryButtonTakesAClickOnItsMiddleAndEscapeCancels)
{
    enum Choice
    {
        Ok,
        Cancel,
        Escape
    };
    const struct
    {
        const char* name;
        bool load;
        Choice choice;
        ImVec2 size; ///< the dialog's, 0 for the size it first shows at
    } cases[] = {
        {"load, OK", true, Ok, {0.0f, 0.0f}},
        {"load, Cancel", true, Cancel, {0.0f, 0.0f}},
        {"load, Escape", true, Escape, {0.0f, 0.0f}},
        {"save, OK", false, Ok, {0.0f, 0.0f}},
        {"save, Cancel", false, Cancel, {0.0f, 0.0f}},
        {"save, Escape", false, Escape, {0.0f, 0.0f}},
        {"small load, OK", true, Ok, {330.0f, 260.0f}},
        {"small save, Cancel", false, Cancel, {330.0f, 260.0f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // A copy of the run-time tree for each: the level saved in one case, and the dialog's
        // size that the layout file keeps from it, must not reach the next.
        const RuntimeTreeCopy runtime;
        EditorWindow game;
        ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
        LevelEditor& editor = *game.editor;
        game.Frames(1);
        ASSERT_TRUE(ImGui::GetIO().ConfigWindowsResizeFromEdges &&
                    (ImGui::GetIO().BackendFlags & ImGuiBackendFlags_HasMouseCursors))
            << "windows have grips in both lower corners, as in the game";

        const char* window = c.load ? "Load level...##LoadDialogueKey" : "Save as...##SaveDialogueKey";
        if (c.load)
        {
            ASSERT_TRUE(editor.SaveLevel("Data/Levels/clicked.lrl"));
            editor.OpenLoadDialog();
        }
        else
        {
            editor.OpenSaveDialog();
        }
        editor.fileDialog.SetFileName("clicked.lrl");
        game.Frames(3, [&] {
            if (c.size.x > 0.0f)
                ImGui::SetWindowSize(window, c.size);
        });
        ASSERT_TRUE(editor.fileDialog.IsOpen());
        const std::string noteBefore = editor.note;

        if (c.choice == Escape)
            game.PressEscape();
        else
            game.ClickMiddleOf(c.choice == Ok ? editor.fileDialog.OkFace() : editor.fileDialog.CancelFace());

        EXPECT_FALSE(editor.fileDialog.IsOpen()) << "the click or the key closed the dialog";
        EXPECT_FALSE(editor.loadDialogOpen || editor.saveDialogOpen);
        if (c.choice != Ok)
            EXPECT_EQ(editor.note, noteBefore) << "nothing was loaded or saved";
        else if (c.load)
            EXPECT_EQ(editor.note, "Loaded the level \"Data/Levels/clicked.lrl\".");
        else
            EXPECT_EQ(editor.note, "Saved the level to \"Data/Levels/clicked.lrl\".");
        EXPECT_EQ(std::filesystem::exists("Data/Levels/clicked.lrl"), c.load || c.choice == Ok);
    }
}
