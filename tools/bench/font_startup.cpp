// Times the game font from process start to ready (atlas texture uploaded), for a first start
// without a cache and for a cached start, each in a fresh process of its own in a scratch run
// folder that holds only the font file.
//
//   xvfb-run -a ledrow_bench_font_startup [font.ttf]
//
// The child processes make a hidden window for the GL context, as the game has one by then; the
// window's creation is counted in "process start to font ready" and not in "font load".

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "Font.h"
#include "LogChannel.h"

extern char** environ;

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* FiguresFile = "startup-figures.txt";

int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

bool LogMentions(const LogChannel& channel, const char* text)
{
    for (const std::string& line : channel.GetHistory())
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

// One start: the steady clock is shared by all processes of the machine, so the parent's
// timestamp from just before the spawn marks this process's start.
int RunChild(int64_t spawnedAt)
{
    if (!glfwInit())
    {
        std::fprintf(stderr, "no display: run this benchmark under xvfb-run -a\n");
        return 1;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(64, 64, "font start-up", nullptr, nullptr);
    if (window == nullptr)
        return 1;
    glfwMakeContextCurrent(window);
    if (gladLoadGL(glfwGetProcAddress) == 0)
        return 1;
    int result = 0;
    {
        Font font;
        const int64_t loadStart = SteadyNanoseconds();
        font.LoadGameFont();
        glFinish();
        const int64_t ready = SteadyNanoseconds();
        std::ofstream(FiguresFile) << (ready - spawnedAt) / 1e6 << ' ' << (ready - loadStart) / 1e6 << ' '
                                   << (LogMentions(InfoLog, "First time set up") ? "rebuilt" : "from-cache") << ' '
                                   << (font.HasAtlas() ? "atlas" : "no-atlas") << ' ' << font.glyphs.size() << '\n';
        result = font.HasAtlas() ? 0 : 3;
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return result;
}

bool RunStart(const char* label)
{
    fs::remove(FiguresFile);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string childFlag = "--child";
    std::string stamp = std::to_string(SteadyNanoseconds());
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
        std::fprintf(stderr, "%s: the child process failed\n", label);
        return false;
    }
    double total = 0;
    double load = 0;
    std::string built;
    std::string atlas;
    size_t glyphCount = 0;
    std::ifstream figures(FiguresFile);
    if (!(figures >> total >> load >> built >> atlas >> glyphCount))
        return false;
    std::printf("%-24s process start to font ready %8.1f ms   font load %8.1f ms   %s, %s, %zu glyphs\n", label, total, load,
                built.c_str(), atlas.c_str(), glyphCount);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(std::stoll(argv[2]));

    const fs::path fontFile = argc > 1 ? fs::path(argv[1]) : fs::path(LEDROW_FONT_CACHE) / "Atkinson-Hyperlegible-Bold-102.ttf";
    const fs::path scratch = fs::temp_directory_path() / ("ledrow-bench-startup-" + std::to_string(::getpid()));
    fs::create_directories(scratch / "Fonts");
    std::error_code copyError;
    fs::copy_file(fontFile, scratch / "Fonts" / (std::string(Font::GameFontName) + ".ttf"), copyError);
    if (copyError)
    {
        std::fprintf(stderr, "cannot read the font %s: %s\n", fontFile.c_str(), copyError.message().c_str());
        return 1;
    }
    fs::current_path(scratch);
    const bool ok = RunStart("first start (no cache):") && RunStart("cached start:");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
