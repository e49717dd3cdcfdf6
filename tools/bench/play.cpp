// Figures for playing a level without a GPU: one frame of play is `Level::Update`, `Level::Draw`
// into a line batch and `WorldShape::AppendTriangles` for the view, with four players holding
// Fang over surfaces of every kind, magnets among them. Levels of 100, 1,000 and 10,000 edges
// show whether the cost follows what is on screen and near the players, or the whole level.
// Then the time to start each level the game ships, the largest last: read, magnet fields,
// physics world and players. The magnet fields are uploaded when a display is there (xvfb-run -a ...), and
// only computed otherwise.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "Camera.h"
#include "Level.h"
#include "LineRenderer.h"
#include "Mesh.h"
#include "PhysicsStep.h"
#include "PlayInput.h"

namespace
{
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

constexpr int EdgesPerShape = 10;
constexpr float ShapeSpacing = 5.0f;

/// The surfaces of a shape's edges in turn: a mix of every kind, two of them magnets.
constexpr SurfaceType Surfaces[EdgesPerShape] = {
    SurfaceType::Plain,           SurfaceType::ClockwiseAccelerator, SurfaceType::Jagged,
    SurfaceType::MagneticAttractor, SurfaceType::Plain,            SurfaceType::Bouncer,
    SurfaceType::AnticlockwiseAccelerator, SurfaceType::MagneticRepulsor, SurfaceType::Plain,
    SurfaceType::Plain};

/// A level of `edges` edges: rings of ten straight edges, a little over two units across, in a
/// square grid five units apart, over a floor as wide as the grid. The players start in the
/// grid's bottom left corner.
void BuildLevel(Level& level, int edges)
{
    const int shapes = edges / EdgesPerShape;
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(shapes))));
    for (int s = 0; s < shapes; ++s)
    {
        const glm::vec2 centre{ShapeSpacing * static_cast<float>(s % columns), ShapeSpacing * static_cast<float>(s / columns)};
        WorldShape shape;
        for (int i = 0; i < EdgesPerShape; ++i)
        {
            const float angle = 6.2831853f * static_cast<float>(i) / EdgesPerShape;
            const glm::vec2 at = centre + 1.2f * glm::vec2(std::cos(angle), std::sin(angle));
            shape.AddPoint(at, at, at, false, true);
            shape.points[shape.points.count - 1].surfaceType = Surfaces[i];
        }
        shape.SetLevelTime(&level.time);
        shape.Compile();
        level.worldShapes.PushBack(shape);
    }
    const float width = ShapeSpacing * static_cast<float>(columns);
    WorldShape floor;
    for (glm::vec2 at : {glm::vec2(-5, -3), glm::vec2(width, -3), glm::vec2(width, -2), glm::vec2(-5, -2)})
        floor.AddPoint(at, at, at, false, true);
    floor.SetLevelTime(&level.time);
    floor.Compile();
    level.worldShapes.PushBack(floor);
    level.start.position = {2.5f, 2.5f};
}

struct Figures
{
    double first, median, p99, worst;
    size_t lines, triangles;
};

Figures PlayFrames(int edges, int frames)
{
    Camera camera;
    Level level(&camera);
    BuildLevel(level, edges);
    level.Start(4, 0);
    // The players spread over the first few shapes, every one with Fang held so that each runs
    // its magnet pass; the three remote ones hold it as their machines would send it.
    for (uint32_t i = 0; i < level.players.count; ++i)
    {
        level.players[i].ApplyNetworkState({1.0f + 2.5f * static_cast<float>(i), 2.0f}, {0.5f, 0.0f}, 0.0f, 0.0f);
        level.players[i].fangHeld = true;
    }
    camera.centreX = 2.5f;
    camera.centreY = 2.5f;

    LineRenderer lines;
    Mesh fill;
    std::vector<double> times;
    size_t lineCount = 0;
    size_t triangleCount = 0;
    const float dt = PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep);
    for (int frame = 0; frame < frames; ++frame)
    {
        PlayInput input;
        input.fang = true;
        input.rotateRight = (frame / 90) % 2 == 0;
        input.rotateLeft = !input.rotateRight;
        input.jump = frame % 120 < 5;
        input.brake = frame % 300 > 250;

        const Clock::time_point start = Clock::now();
        level.Update(dt, input);
        float view[4];
        camera.GetViewRect(view);
        level.Draw(lines, view, false);
        for (const WorldShape& shape : level.worldShapes)
            shape.AppendTriangles(fill, view);
        times.push_back(MillisecondsSince(start));

        lineCount += lines.SegmentCount();
        triangleCount += fill.vertices.count / 3;
        lines.Clear();
        fill.vertices.Clear();
    }
    // The first step pairs every fixture of the new world in the broad phase once.
    const double first = times.front();
    std::sort(times.begin(), times.end());
    return {first, times[times.size() / 2], times[times.size() * 99 / 100], times.back(), lineCount / static_cast<size_t>(frames),
            triangleCount / static_cast<size_t>(frames)};
}

/// A hidden window with a current context, so that the magnet fields are uploaded as in the game;
/// null without a display.
GLFWwindow* MakeContext()
{
    if (!glfwInit())
        return nullptr;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(64, 64, "level start", nullptr, nullptr);
    if (window == nullptr)
        return nullptr;
    glfwMakeContextCurrent(window);
    if (gladLoadGL(glfwGetProcAddress) == 0)
    {
        glfwDestroyWindow(window);
        return nullptr;
    }
    return window;
}

void StartShippedLevels()
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(LEDROW_DATA_DIR "/Data/Levels", error))
        if (entry.path().extension() == ".lrl")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return std::filesystem::file_size(a) < std::filesystem::file_size(b);
    });
    if (files.empty())
    {
        std::printf("starting the shipped levels: none shipped\n");
        return;
    }

    GLFWwindow* window = MakeContext();
    std::printf("starting each shipped level, largest file last (read and compile, magnet fields %s, physics world "
                "and 4 players):\n",
                window != nullptr ? "computed and uploaded" : "computed only as there is no display");
    Camera camera;
    for (const std::filesystem::path& file : files)
    {
        Level level(&camera);
        const Clock::time_point start = Clock::now();
        level.ReadFromFile(file.string());
        const double read = MillisecondsSince(start);
        const Clock::time_point fields = Clock::now();
        if (window != nullptr)
        {
            level.BuildDataTextures();
            glFinish();
        }
        else
        {
            std::vector<uint16_t> samples;
            uint32_t width = 0;
            uint32_t height = 0;
            level.AllotDataTextures();
            for (const WorldShape& shape : level.worldShapes)
                for (const ShapeSegment& segment : shape.segments)
                    if (!segment.fieldLeftOut)
                        segment.ComputeDataTextureSamples(samples, width, height);
        }
        const double fieldTime = MillisecondsSince(fields);
        const Clock::time_point play = Clock::now();
        level.Start(4, 0);
        const double startTime = MillisecondsSince(play);
        uint32_t edges = 0;
        for (const WorldShape& shape : level.worldShapes)
            edges += shape.segments.count;
        std::printf("  %-30s %6ju bytes, %3u edges: %.2f + %.2f + %.2f = %.2f ms\n", file.filename().string().c_str(),
                    std::filesystem::file_size(file), edges, read, fieldTime, startTime, read + fieldTime + startTime);
    }
    if (window != nullptr)
        glfwDestroyWindow(window);
    glfwTerminate();
}
} // namespace

int main()
{
    std::printf("one frame of play (update, lines of the view, fill of the view), 4 players with Fang held, 600 frames:\n");
    for (int edges : {100, 1000, 10000})
    {
        const Figures f = PlayFrames(edges, 600);
        std::printf("  %6d edges: median %.3f ms, 99th percentile %.3f ms, worst %.3f ms, first frame %.3f ms "
                    "(%zu lines, %zu triangles a frame)\n",
                    edges, f.median, f.p99, f.worst, f.first, f.lines, f.triangles);
    }
    StartShippedLevels();
    return 0;
}
