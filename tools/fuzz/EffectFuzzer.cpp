// Feeds arbitrary bytes to the effect-file parser as an effect file would arrive, then gives the
// samplers units as the linked program would, with every declared sampler taken as read.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "EffectParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes), count);
    const EffectParser::Result result = EffectParser::Parse(text, "Fuzz");

    // The generated text grows at most by a fixed amount per input line, whatever the input.
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (result.shader.size() > 64 + lines * 160 + count)
        std::abort();
    if (!result.readable && !result.shader.empty())
        std::abort();
    if (result.readable && result.shader.rfind("#version 450\n", 0) != 0)
        std::abort();

    const auto units = EffectParser::AssignUnits(
        result, [&result](const std::string& sampler) { return result.shader.find("sampler2D " + sampler + ";") != std::string::npos; });
    for (size_t k = 0; k < units.size(); ++k)
    {
        if (units[k].unit != static_cast<int32_t>(k))
            std::abort();
        if (units[k].isImage && (units[k].index >= result.images.size() || !EffectParser::IsIdentifier(units[k].sampler)))
            std::abort();
    }

    return 0;
}
