#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// The effect-file language, without OpenGL: turns the text of an ".lrfx" file into the GLSL 4.50
/// fragment shader that the post effect builds, the samplers it declares, the variables it uses and
/// the faults found on the way; and, once the linked program tells which samplers it really reads,
/// gives each of those its texture unit. `PostEffect` does the file and GL work around it; the
/// tests and the fuzz target call it directly. Bounded in time and memory by `MaxFileBytes`.
///
/// The language: every line whose first character is '$' is a directive, split into words at
/// spaces (a tab does not split words). "$source NAME" declares one of the four scene channels, "$image NAME" an image
/// read from "Images/<effect>/NAME.png", "$variable time" the running time, "$variable worldPos"
/// the view's corners (and, once "$main:" has been seen, `worldPos` for every pixel), "$main:"
/// starts the body. Body lines are copied indented by a tab; other lines before "$main:" are
/// dropped. Directives never reach the generated text.
class EffectParser
{
public:
    /// The four scene channels, in the order the render pass and the unit assignment take them.
    enum Channel : uint32_t
    {
        ColourChannel = 0,
        FontChannel = 1,
        WorldShapesChannel = 2,
        MagnetismChannel = 3,
        ChannelCount = 4,
    };
    /// The sampler name of each channel, by `Channel`.
    static constexpr std::array<const char*, ChannelCount> ChannelSamplers = {"colourTexture", "fontTexture", "worldShapesTexture",
                                                                              "magnetismTexture"};

    /// Effect files are written by hand and are a few hundred lines at most; a larger file is not
    /// an effect and is refused whole, which bounds the generated text and every list below.
    static constexpr size_t MaxFileBytes = 64 * 1024;

    /// One fault of an effect file: the fixed line its message is logged under (in the location
    /// prefix of `PostEffect.cpp`) and the message itself.
    struct Fault
    {
        int logLine = 0;
        std::string message;
        bool operator==(const Fault&) const = default;
    };

    /// Fixed log lines of the faults; the first four are those the effect language is known by,
    /// the errors of `IsError`.
    static constexpr int SourceWithoutNameLine = 133;
    static constexpr int ImageWithoutNameLine = 145;
    static constexpr int VariableWithoutNameLine = 166;
    static constexpr int NoMainLine = 198;
    static constexpr int NotTextLine = 112;
    static constexpr int TooLargeLine = 116;
    static constexpr int ExtraWordsLine = 137;
    static constexpr int UnknownChannelLine = 140;
    static constexpr int BadImageNameLine = 150;
    static constexpr int UnknownVariableLine = 170;
    static constexpr int UnknownDirectiveLine = 180;

    /// What one effect file gives.
    struct Result
    {
        /// The generated fragment shader; empty when the file was refused whole.
        std::string shader;
        /// The names of the "$source" directives, in file order, as written.
        std::vector<std::string> sources;
        /// The sampler names of the "$image" directives whose name can be a file name and a
        /// sampler, in file order.
        std::vector<std::string> images;
        bool usesTime = false;     ///< a "$variable time" line was seen
        bool usesWorldPos = false; ///< a "$variable worldPos" line was seen
        bool foundMain = false;    ///< a "$main:" line was seen, so the shader has a main function
        /// False when the file is not text or too large: nothing else was read from it.
        bool readable = true;
        /// Every fault, in the order found; each is one log line.
        std::vector<Fault> faults;
    };

    /// True for the faults that are logged as errors (which wait for a key in a terminal): a
    /// "$source", "$image" or "$variable" line without its name, and no "$main:" line. Every other
    /// fault is logged as a warning.
    static bool IsError(const Fault& fault);

    /// Reads the effect text `text` of the effect called `name` (used in messages only).
    static Result Parse(std::string_view text, const std::string& name);

    /// A sampler of the linked program and the texture unit it reads.
    struct SamplerUnit
    {
        std::string sampler;
        int32_t unit = -1;
        bool isImage = false; ///< an image of the effect, else a scene channel
        /// The `Channel` of a scene channel, or the index into `Result::images` of an image.
        uint32_t index = 0;
        bool operator==(const SamplerUnit&) const = default;
    };

    /// Gives the texture units, from 0: first every scene channel whose sampler `isActive` says
    /// the program has, in channel order, then every image whose sampler it has, in file order.
    /// A channel or image the program does not read gets no unit (and is not drawn or loaded).
    static std::vector<SamplerUnit> AssignUnits(const Result& effect, const std::function<bool(const std::string&)>& isActive);

    /// True when `word` can name a GLSL sampler and, for an image, a file: a letter or '_' followed
    /// by letters, digits and '_', at most 64 characters.
    static bool IsIdentifier(std::string_view word);

    /// `text` with every control character and byte above 126 replaced by '?', at most 80
    /// characters: what a log line may show of a name or a word read from a file.
    static std::string Printable(std::string_view text);
};
