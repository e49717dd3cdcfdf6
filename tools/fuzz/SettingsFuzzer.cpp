// Feeds arbitrary bytes to the settings reader as a "config.json" would arrive, then prints the
// document as a save would: whatever the file held, neither may crash, and what a save writes
// must be short enough for the next start to read and read back to the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Config.h"
#include "LogChannel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count > Config::MaxFileBytes)
        return 0;
    // Made once: the constructor reads the file of the working folder, which the fuzzer never writes.
    static Config config;
    config.Parse(std::string(reinterpret_cast<const char*>(bytes), count));
    if (!config.document.is_null() && !config.document.is_object())
        std::abort();
    nlohmann::json saved = config.document.is_object() ? config.document : nlohmann::json::object();
    saved["fullscreen"] = config.fullscreen;
    saved["resolutionScale"] = static_cast<double>(config.resolutionScale);
    const std::string text = Config::FileText(saved);
    if (text.size() > Config::MaxFileBytes)
        std::abort();
    // Empty when too long in any form: a save then leaves the file as it is.
    static Config again;
    if (!text.empty() && (!again.Parse(text) || again.fullscreen != config.fullscreen || again.resolutionScale != config.resolutionScale))
        std::abort();

    WarningLog.ClearHistory();
    InfoLog.ClearHistory();
    return 0;
}
