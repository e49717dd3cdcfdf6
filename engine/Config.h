#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

/// The player's settings, kept in "config.json" in the working folder. The whole parsed document
/// is kept, so members that this version does not know survive a save.
class Config
{
public:
    static constexpr const char* FileName = "config.json";
    /// The range the options screen offers; a value read from the file is kept inside it.
    static constexpr float MinResolutionScale = 0.5f;
    static constexpr float MaxResolutionScale = 2.0f;

    /// A settings file is a handful of members; anything larger is not one and is not read.
    static constexpr uint64_t MaxFileBytes = 1024 * 1024;
    /// How deep arrays and objects may nest in a settings file, the document itself counting as
    /// one: deeper values would overflow the stack of the JSON printer at the next save.
    static constexpr int MaxNestingDepth = 64;

    nlohmann::json document;      ///< the file as last read; null until a file was read
    bool fullscreen = false;      ///< full screen on the primary monitor at its current mode
    float resolutionScale = 1.0f; ///< size of the off-screen channels relative to the window

    /// Reads "config.json". A missing file keeps the defaults; a malformed one, or one larger than
    /// `MaxFileBytes` (which is not read at all), keeps them too and is reported with one
    /// `WarningLog` line.
    Config();

    /// Replaces the settings with those in `text`, the contents of a settings file. Text that is
    /// empty or only white space gives the defaults. Text that is not a JSON object, that nests
    /// deeper than `MaxNestingDepth`, or whose "fullscreen" is not a boolean or "resolutionScale"
    /// not a number, gives the defaults and is reported with one `WarningLog` line; a member that
    /// is absent keeps its default. A malformed object still keeps its other members for the next
    /// save, except those that nest too deep, which are dropped.
    /// @return false when the text was malformed.
    bool Parse(const std::string& text);

    /// Writes the settings into the document and the document to "config.json", one space of
    /// indentation per level, members ordered by key, no final line break. The file is replaced
    /// whole or not at all, so a failure leaves the old one as it was; it is not reported.
    void Save();
};
