// Times start-up, for a first start without a font cache and for a cached start, each in fresh
// processes of their own in a scratch run folder (a copy of the run-time tree and the font):
//   window and context   process start to a window with its OpenGL context and functions, and
//                        nothing else: the floor that every start pays; and, beside it, the
//                        same window once a first cleared frame has been swapped onto it (the
//                        first present of a window is slow on a software renderer, and every
//                        first composed frame pays it too);
//   font ready           process start to the game font's atlas uploaded, in a process that
//                        makes a hidden window for the context first (the font load alone is
//                        printed beside it);
//   first composed frame process start to the first frame of the real game object drawn through
//                        its post effect and finished.
//
//   xvfb-run -a -s "-screen 0 1920x1280x24" ledrow_bench_font_startup [font.ttf]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "Font.h"
#include "LedrowGame.h"
#include "LogChannel.h"
#include "ScopedTimer.h"
#include "StartupHeap.h"

extern char** environ;

namespace
{
namespace fs = std::filesystem;

constexpr const char* FiguresFile = "startup-figures.txt";

bool LogMentions(const LogChannel& channel, const char* text)
{
    for (const std::string& line : channel.GetHistory())
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

// FNV-1a of the RGBA pixels of the frame just presented, read back after the clock has stopped:
// two builds that compose the same first frame print the same checksum.
std::string FrameChecksum(GLFWwindow* window)
{
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const uint8_t byte : pixels)
        hash = (hash ^ byte) * 0x100000001b3ull;
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// A window with its context current and the OpenGL functions loaded; null when a step fails.
GLFWwindow* OpenWindow(int width, int height, const char* title)
{
    GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (window == nullptr)
        return nullptr;
    glfwMakeContextCurrent(window);
    return gladLoadGL(glfwGetProcAddress) != 0 ? window : nullptr;
}

// The steady clock is shared by all processes of the machine, so the parent's timestamp from
// just before the spawn marks a child's start.
int RunWindowChild(int64_t spawnedAt)
{
    if (!glfwInit())
        return 1;
    GLFWwindow* window = OpenWindow(1920, 1280, "Quorvane Ledrow");
    if (window == nullptr)
        return 1;
    glFinish();
    const int64_t ready = ScopedTimer::SteadyNanoseconds();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glfwSwapBuffers(window);
    glFinish();
    const int64_t shown = ScopedTimer::SteadyNanoseconds();
    std::ofstream(FiguresFile) << (ready - spawnedAt) / 1e6 << ' ' << (shown - spawnedAt) / 1e6 << '\n';
    glfwDestroyWindow(window);
    glfwTerminate();
    return 0;
}

int RunGameChild(int64_t spawnedAt)
{
    // As main does.
    StartupHeap::Reserve(StartupHeap::GameStartBytes);
    Font::PrefetchCachedAtlas(Font::GameFontName);
    auto game = std::make_unique<LedrowGame>();
    if (!game->IsReady() || game->currentEffect == nullptr)
        return 1;
    game->UpdateMenus();
    game->Render();
    glFinish();
    const int64_t composed = ScopedTimer::SteadyNanoseconds();
    std::ofstream(FiguresFile) << (composed - spawnedAt) / 1e6 << ' ' << (LogMentions(InfoLog, "First time set up") ? "rebuilt" : "from-cache")
                               << ' ' << FrameChecksum(game->window) << '\n';
    return 0;
}

int RunFontChild(int64_t spawnedAt)
{
    if (!glfwInit())
    {
        std::fprintf(stderr, "no display: run this benchmark under xvfb-run -a\n");
        return 1;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = OpenWindow(64, 64, "font start-up");
    if (window == nullptr)
        return 1;
    int result = 0;
    {
        Font font;
        const int64_t loadStart = ScopedTimer::SteadyNanoseconds();
        font.LoadGameFont();
        glFinish();
        const int64_t ready = ScopedTimer::SteadyNanoseconds();
        std::ofstream(FiguresFile) << (ready - spawnedAt) / 1e6 << ' ' << (ready - loadStart) / 1e6 << ' '
                                   << (LogMentions(InfoLog, "First time set up") ? "rebuilt" : "from-cache") << ' '
                                   << (font.HasAtlas() ? "atlas" : "no-atlas") << ' ' << font.glyphs.size() << '\n';
        result = font.HasAtlas() ? 0 : 3;
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return result;
}

// Runs this program again as the child `kind`; false when it failed.
bool Spawn(const char* kind)
{
    fs::remove(FiguresFile);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string childFlag = kind;
    std::string stamp = std::to_string(ScopedTimer::SteadyNanoseconds());
    char* arguments[] = {self.data(), childFlag.data(), stamp.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The font build's progress lines would drown the figures.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "startup-console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawnError = posix_spawn(&child, self.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawnError != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    {
        std::fprintf(stderr, "%s: the child process failed\n", kind);
        return false;
    }
    return true;
}

void RemoveFontCache()
{
    fs::remove(fs::path("Fonts") / (std::string(Font::GameFontName) + ".fontMeta"));
    fs::remove(fs::path("Fonts") / (std::string(Font::GameFontName) + "_distance.dat"));
}

bool RunStart(const char* label, bool firstStart)
{
    double window = 0;
    double windowShown = 0;
    if (!Spawn("--window") || !(std::ifstream(FiguresFile) >> window >> windowShown))
        return false;

    if (firstStart)
        RemoveFontCache();
    if (!Spawn("--font"))
        return false;
    double total = 0;
    double load = 0;
    std::string built;
    std::string atlas;
    size_t glyphCount = 0;
    std::ifstream figures(FiguresFile);
    if (!(figures >> total >> load >> built >> atlas >> glyphCount))
        return false;

    if (firstStart)
        RemoveFontCache();
    double composed = 0;
    std::string gameBuilt;
    std::string checksum;
    if (!Spawn("--game") || !(std::ifstream(FiguresFile) >> composed >> gameBuilt >> checksum))
        return false;

    std::printf("%s\n", label);
    std::printf("  window and context     %8.1f ms  (%.1f ms once a first cleared frame is shown)\n", window, windowShown);
    std::printf("  font ready             %8.1f ms  (%.2f x the window; font load %.1f ms; %s, %s, %zu glyphs)\n", total, total / window,
                load, built.c_str(), atlas.c_str(), glyphCount);
    std::printf("  first composed frame   %8.1f ms  (%.2f x the window; %s; pixels %s)\n", composed, composed / window, gameBuilt.c_str(),
                checksum.c_str());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0)
        return RunWindowChild(std::stoll(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--font") == 0)
        return RunFontChild(std::stoll(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--game") == 0)
        return RunGameChild(std::stoll(argv[2]));

    const fs::path fontFile = argc > 1 ? fs::path(argv[1]) : fs::path(LEDROW_FONT_CACHE) / "Atkinson-Hyperlegible-Bold-102.ttf";
    const fs::path scratch = fs::temp_directory_path() / ("ledrow-bench-startup-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    // The run-time tree, as the game starts in it.
    fs::copy(LEDROW_DATA_DIR, scratch, fs::copy_options::recursive);
    fs::create_directories(scratch / "Fonts");
    std::error_code copyError;
    fs::copy_file(fontFile, scratch / "Fonts" / (std::string(Font::GameFontName) + ".ttf"), copyError);
    if (copyError)
    {
        std::fprintf(stderr, "cannot read the font %s: %s\n", fontFile.c_str(), copyError.message().c_str());
        return 1;
    }
    fs::copy_file(fontFile, scratch / "Fonts" / (std::string(Font::GameFontName) + ".otf"), copyError);
    fs::current_path(scratch);
    const bool ok = RunStart("first start (no font cache):", true) && RunStart("cached start:", false);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
