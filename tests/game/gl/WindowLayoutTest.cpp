#include <string>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "LedrowGame.h"
#include "RuntimeTreeCopy.h"

// At the window sizes players use, every title and label of the menus is shown whole: each
// window lies inside the game window, is wide enough for its title next to the collapse arrow,
// and shows all of its contents without clipping or scrolling.
TEST(WindowLayout, MenusAreReadableWholeAtCommonWindowSizes)
{
    // Where an earlier game left its windows (its layout file) is not where they first appear.
    const RuntimeTreeCopy runtime;
    testing::internal::CaptureStdout();
    LedrowGame game;
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();

    const struct
    {
        uint32_t screen;
        const char* window;
    } screens[] = {
        {LedrowGame::MainScreen, "Main screen"},
        {LedrowGame::OptionsScreen, "Options"},
        {LedrowGame::CreditsScreen, "Credits"},
    };
    for (const ImVec2 size : {ImVec2(1280, 720), ImVec2(1920, 1080)})
    {
        glfwSetWindowSize(game.window, static_cast<int>(size.x), static_cast<int>(size.y));
        for (const auto& s : screens)
        {
            SCOPED_TRACE(std::string(s.window) + " at " + std::to_string(static_cast<int>(size.x)));
            game.screenState = s.screen;
            for (int frame = 0; frame < 4; ++frame) // a new window fits its contents over a few frames
            {
                game.UpdateMenus();
                game.Render();
            }
            ASSERT_EQ(game.windowWidth, static_cast<int>(size.x));
            const ImGuiWindow* window = ImGui::FindWindowByName(s.window);
            ASSERT_NE(window, nullptr);
            ASSERT_TRUE(window->Active);
            const ImGuiStyle& style = ImGui::GetStyle();

            EXPECT_GE(window->Pos.x, 0.0f);
            EXPECT_GE(window->Pos.y, 0.0f);
            EXPECT_LE(window->Pos.x + window->Size.x, size.x);
            EXPECT_LE(window->Pos.y + window->Size.y, size.y);

            const float titleWidth = style.FramePadding.x + ImGui::GetFontSize() + style.ItemInnerSpacing.x +
                                     ImGui::CalcTextSize(s.window).x + style.FramePadding.x;
            EXPECT_GE(window->Size.x, titleWidth) << "the title is cut off";

            EXPECT_LE(window->ContentSize.x + 2.0f * style.WindowPadding.x, window->Size.x) << "contents cut off on the right";
            EXPECT_LE(window->ContentSize.y + 2.0f * style.WindowPadding.y + window->TitleBarHeight(), window->Size.y + 0.5f)
                << "contents cut off at the bottom";
            EXPECT_FALSE(window->ScrollbarX);
            EXPECT_FALSE(window->ScrollbarY);
        }
    }
}
