// Times the whole render of a frame, and each of its passes apart, on whatever OpenGL the display
// gives (Mesa's software renderer under Xvfb), with the game window at 1280 by 720: the main
// screen, then the largest level shipped in "Data/Levels/" in play. Runs the real game object in a
// scratch run folder (a copy of the run-time tree and the font).
//
//   xvfb-run -a -s "-screen 0 1920x1280x24" ledrow_bench_frame_time [frames] [width height]
//
// Each pass is finished (glFinish) before the clock is read, so the passes add up to a little
// more than the frame as the game draws it; the whole frame is also timed without that.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "Font.h"
#include "LedrowGame.h"

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const PassNames[LedrowGame::RenderPassCount] = {"collect lines", "colour channel", "magnetism channel", "text channel",
                                                            "shapes channel", "compose (effect)", "user interface", "swap"};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double Mean(const std::vector<double>& values)
{
    double sum = 0.0;
    for (double value : values)
        sum += value;
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

void Measure(LedrowGame& game, const char* title, int frames)
{
    for (int i = 0; i < 20; ++i) // shaders are compiled on first use; caches fill
    {
        game.UpdateMenus();
        game.Render();
    }

    std::vector<double> whole;
    for (int i = 0; i < frames; ++i)
    {
        const Clock::time_point start = Clock::now();
        game.UpdateMenus();
        game.Render();
        glFinish();
        whole.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    std::vector<std::vector<double>> passes(LedrowGame::RenderPassCount);
    game.measureRenderPasses = true;
    for (int i = 0; i < frames; ++i)
    {
        game.UpdateMenus();
        game.Render();
        for (uint32_t pass = 0; pass < LedrowGame::RenderPassCount; ++pass)
            passes[pass].push_back(game.renderPassMilliseconds[pass]);
    }
    game.measureRenderPasses = false;

    std::printf("%s (%d x %d, %d frames)\n", title, game.windowWidth, game.windowHeight, frames);
    std::printf("  whole frame (update, render, finish)  median %7.2f ms   mean %7.2f ms\n", Median(whole), Mean(whole));
    for (uint32_t pass = 0; pass < LedrowGame::RenderPassCount; ++pass)
        std::printf("  %-36s median %7.2f ms   mean %7.2f ms\n", PassNames[pass], Median(passes[pass]), Mean(passes[pass]));
}

std::string LargestLevel()
{
    std::string largest;
    uintmax_t largestSize = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("Data/Levels", error))
    {
        if (entry.path().extension() != ".lrl")
            continue;
        const uintmax_t size = entry.file_size(error);
        if (!error && size > largestSize)
        {
            largestSize = size;
            largest = entry.path().string();
        }
    }
    return largest;
}
} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int width = argc > 3 ? std::atoi(argv[2]) : 1280;
    const int height = argc > 3 ? std::atoi(argv[3]) : 720;
    const fs::path scratch = fs::temp_directory_path() / ("ledrow-bench-frames-" + std::to_string(::getpid()));
    fs::create_directories(scratch / "Fonts");
    fs::copy(LEDROW_DATA_DIR, scratch, fs::copy_options::recursive);
    const fs::path font = fs::path(LEDROW_FONT_CACHE) / "Atkinson-Hyperlegible-Bold-102.ttf";
    std::error_code copyError;
    fs::copy_file(font, scratch / "Fonts" / (std::string(Font::GameFontName) + ".ttf"), copyError);
    fs::copy_file(font, scratch / "Fonts" / (std::string(Font::GameFontName) + ".otf"), copyError);
    fs::current_path(scratch);

    int result = 0;
    {
        std::printf("building the game object (the first start builds the font) ...\n");
        std::fflush(stdout);
        auto game = std::make_unique<LedrowGame>();
        if (!game->IsReady() || game->currentEffect == nullptr)
        {
            std::fprintf(stderr, "the game did not start with its effect: run under xvfb-run with the run-time tree\n");
            result = 1;
        }
        else
        {
            game->config.fullscreen = false;
            game->ApplyDisplayOptions(); // a 1280 by 720 window
            if (width != 1280 || height != 720)
            {
                glfwSetWindowSize(game->window, width, height);
                glfwPollEvents();
            }
            glfwSwapInterval(0);         // timed as fast as it draws, not paced by a refresh
            std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
            Measure(*game, "main screen", frames);

            const std::string levelPath = LargestLevel();
            if (levelPath.empty())
            {
                std::printf("no level in Data/Levels/: the level in play is not measured\n");
            }
            else
            {
                game->screenState = LedrowGame::LevelSelect;
                if (!game->StartLevel(fs::path(levelPath).filename().string(), 1, 0))
                {
                    std::fprintf(stderr, "the level %s did not start\n", levelPath.c_str());
                    result = 1;
                }
                else
                {
                    const std::string title =
                        "level in play: " + levelPath + " (" + std::to_string(game->level->worldShapes.count) + " shapes)";
                    Measure(*game, title.c_str(), frames);
                }
            }
        }
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(scratch);
    return result;
}
