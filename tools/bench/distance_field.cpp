// Times the distance-field generation of the game font's 95 glyphs: the plain single-threaded
// reference against the production path (and the production path on one thread), in one run,
// and checks that all three give the same samples.
//
//   ledrow_bench_distance_field [font.ttf]
//
// The font defaults to the one fetched by the set-up; it is copied into a scratch "Fonts/" folder.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "DistanceField.h"
#include "Font.h"
#include "GlyphBitmap.h"

namespace
{
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool SameSamples(const std::vector<GlyphBitmap>& a, const std::vector<GlyphBitmap>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t g = 0; g < a.size(); ++g)
    {
        if (a[g].SampleCount() != b[g].SampleCount())
            return false;
        for (uint64_t k = 0; k < a[g].SampleCount(); ++k)
            if (a[g].samples[k] != b[g].samples[k])
                return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const fs::path fontFile = argc > 1 ? fs::path(argv[1]) : fs::path(LEDROW_FONT_CACHE) / "Atkinson-Hyperlegible-Bold-102.ttf";
    const fs::path scratch = fs::temp_directory_path() / ("ledrow-bench-df-" + std::to_string(::getpid()));
    fs::create_directories(scratch / "Fonts");
    std::error_code copyError;
    fs::copy_file(fontFile, scratch / "Fonts" / "Bench.ttf", copyError);
    if (copyError)
    {
        std::fprintf(stderr, "cannot read the font %s: %s\n", fontFile.c_str(), copyError.message().c_str());
        return 1;
    }
    fs::current_path(scratch);

    const Font::BuildSettings game;
    Font font;
    font.RequestCodes(32, 126);
    std::vector<GlyphBitmap> rendered;
    if (!font.RenderBitmaps("Bench", game, rendered))
        return 1;
    uint64_t pixels = 0;
    for (const GlyphBitmap& bitmap : rendered)
        pixels += bitmap.SampleCount();

    std::vector<GlyphBitmap> reference = rendered;
    std::vector<GlyphBitmap> oneThread = rendered;
    std::vector<GlyphBitmap> production = rendered;

    const Clock::time_point t0 = Clock::now();
    for (GlyphBitmap& bitmap : reference)
        GenerateDistanceFieldReference(bitmap, game.spread);
    const Clock::time_point t1 = Clock::now();
    GenerateDistanceFields(oneThread, game.spread, 1, {});
    const Clock::time_point t2 = Clock::now();
    GenerateDistanceFields(production, game.spread, 0, {});
    const Clock::time_point t3 = Clock::now();

    const bool identical = SameSamples(reference, oneThread) && SameSamples(reference, production);
    const double referenceMs = Milliseconds(t0, t1);
    const double oneThreadMs = Milliseconds(t1, t2);
    const double productionMs = Milliseconds(t2, t3);
    std::printf("glyphs: %zu (%llu samples), spread %u, hardware threads %u\n", rendered.size(),
                static_cast<unsigned long long>(pixels), game.spread, std::thread::hardware_concurrency());
    std::printf("reference, plain, 1 thread:   %9.1f ms\n", referenceMs);
    std::printf("production path, 1 thread:    %9.1f ms  (%.1fx)\n", oneThreadMs, referenceMs / oneThreadMs);
    std::printf("production path, all threads: %9.1f ms  (%.1fx)\n", productionMs, referenceMs / productionMs);
    std::printf("samples identical: %s\n", identical ? "yes" : "NO");

    fs::current_path(fs::temp_directory_path());
    fs::remove_all(scratch);
    return identical ? 0 : 2;
}
