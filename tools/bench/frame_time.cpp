// Times the whole render of a frame, and each of its passes apart, on whatever OpenGL the display
// gives (Mesa's software renderer under Xvfb), with the game window at 1280 by 720: the main
// screen, then the largest level shipped in "Data/Levels/" in play, then that level with one
// signpost more holding the largest text that the level loader accepts beside it, off screen (far
// above the view, and in the view's row ending short of it) and on screen (its line starting in
// the view, and running across it from far to its left), each timed in frames that alternate with
// frames of the level without that text. Runs the real game object in a scratch run folder (a
// copy of the run-time tree and the font).
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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "ByteBlob.h"
#include "Font.h"
#include "GlyphTable.h"
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

/// Writes the level of `levelPath` with one signpost more, whose text is the largest that the
/// loader still accepts beside what the level holds, as "Data/Levels/<name>". False when the level
/// cannot be read or has no room left for a signpost.
bool WriteWithLargestSignpost(const std::string& levelPath, const std::string& name)
{
    Level level(nullptr);
    if (!level.ReadFromFile(levelPath))
        return false;
    const uint64_t cost = level.LoadCost() + Level::SignpostRecordCost;
    if (cost > Level::MaxLoadCost)
        return false;
    // The loader charges a unit for every whole `SignpostTextBytesPerCost` bytes.
    const size_t bytes = (Level::MaxLoadCost - cost + 1) * Level::SignpostTextBytesPerCost - 1;
    const std::string sentence = "Sphinx of black quartz, judge my vow. ";
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes)
        text.append(sentence, 0, std::min(sentence.size(), bytes - text.size()));
    level.signposts.PushBack(Signpost(std::move(text), level.start.position, level.start.position, level.start.position));
    ByteBlob blob;
    blob.WriteHeader();
    level.Serialise(blob);
    return blob.WriteToFile("Data/Levels/" + name);
}

/// Where the pen of a text's last glyph ends, relative to its first, in world units at `scale`.
float LineLength(const std::string& text, float scale, const GlyphTable& glyphs)
{
    float pen = 0.0f;
    for (const char byte : text)
        pen += glyphs[byte].advance * scale;
    return pen;
}

/// The view's rectangle (min x, max x, min y, max y) to where the signpost's line starts.
using Placement = std::function<glm::vec2(const float (&)[4])>;

/// Frames in pairs, one without the signpost's text (as the level is without the signpost) and
/// one with it, placed against the view as the view stands after the first frames, so that both
/// meet the same load on a shared machine. Prints the whole frame and the text channel of each,
/// and the text mesh after the last frame.
void MeasureWithAndWithout(LedrowGame& game, Signpost& signpost, const char* title, int frames, const Placement& place)
{
    std::string stash;
    std::vector<double> whole[2];
    std::vector<double> textPass[2];
    auto frame = [&](bool shown) {
        if (shown != !signpost.text.empty())
            std::swap(signpost.text, stash);
        const Clock::time_point start = Clock::now();
        game.UpdateMenus();
        game.Render();
        glFinish();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    float view[4];
    game.camera.GetViewRect(view);
    signpost.position = place(view);
    for (int i = 0; i < 20; ++i)
        frame(i % 2 == 1);
    for (int i = 0; i < 2 * frames; ++i)
        whole[i % 2].push_back(frame(i % 2 == 1));
    game.measureRenderPasses = true;
    for (int i = 0; i < 2 * frames; ++i)
    {
        frame(i % 2 == 1);
        textPass[i % 2].push_back(game.renderPassMilliseconds[LedrowGame::TextPass]);
    }
    game.measureRenderPasses = false;

    std::printf("%s (%d x %d, %d frames each)\n", title, game.windowWidth, game.windowHeight, frames);
    std::printf("  whole frame without it  median %7.2f ms   with it  median %7.2f ms   (%+.1f%%)\n", Median(whole[0]),
                Median(whole[1]), (Median(whole[1]) / Median(whole[0]) - 1.0) * 100.0);
    std::printf("  text channel without    median %7.2f ms   with it  median %7.2f ms\n", Median(textPass[0]), Median(textPass[1]));
    float now[4];
    game.camera.GetViewRect(now);
    std::printf("  text mesh in the last frame: %u vertices, a block of %.2f MiB; the view moved by (%.1f, %.1f) meanwhile\n",
                game.textMesh.vertices.count, static_cast<double>(game.textMesh.vertices.capacity) * sizeof(MeshVertex) / (1024.0 * 1024.0),
                static_cast<double>(now[0] - view[0]), static_cast<double>(now[2] - view[2]));
}

/// The level of `levelPath` with the largest signpost beside it, in play, its line placed against
/// the view in each way in turn.
int MeasureLargestSignpost(LedrowGame& game, const std::string& levelPath, int frames)
{
    const std::string name = "zz-largest-signpost.lrl";
    game.screenState = LedrowGame::LevelSelect;
    if (!WriteWithLargestSignpost(levelPath, name) || !game.StartLevel(name, 1, 0) || game.level->signposts.count == 0)
    {
        std::fprintf(stderr, "the level with the largest signpost did not start\n");
        return 1;
    }
    Signpost& signpost = game.level->signposts[game.level->signposts.count - 1];
    const float length = LineLength(signpost.text, Signpost::TextScale, GlyphTable(game.font));
    std::printf("%s with a signpost more: %zu bytes of text (the most the loader accepts beside the level), one line %.0f units long\n",
                levelPath.c_str(), signpost.text.size(), static_cast<double>(length));
    const struct
    {
        const char* title;
        Placement place;
    } cases[] = {
        {"off screen, far above the view", [](const float (&view)[4]) { return glm::vec2(view[0], view[3] + 1000.0f); }},
        {"off screen, in the view's row, ending a view's width before its left edge",
         [length](const float (&view)[4]) { return glm::vec2(2.0f * view[0] - view[1] - length, (view[2] + view[3]) * 0.5f); }},
        {"on screen, the line starting at the view's centre",
         [](const float (&view)[4]) { return glm::vec2((view[0] + view[1]) * 0.5f, (view[2] + view[3]) * 0.5f); }},
        {"on screen, the line crossing the view from half its length before it",
         [length](const float (&view)[4]) { return glm::vec2((view[0] + view[1] - length) * 0.5f, (view[2] + view[3]) * 0.5f); }},
    };
    for (const auto& c : cases)
        MeasureWithAndWithout(game, signpost, c.title, frames, c.place);
    game.LeaveLevel();
    std::printf("after the level was left the text mesh holds a block of %zu bytes\n",
                static_cast<size_t>(game.textMesh.vertices.capacity) * sizeof(MeshVertex));
    return 0;
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
                    game->LeaveLevel();
                    result = MeasureLargestSignpost(*game, levelPath, frames);
                }
            }
        }
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(scratch);
    return result;
}
