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
    /// Where a settings file that could not be taken is kept, beside "config.json", so that a
    /// slip of the player's hand costs them nothing; only the latest one is kept.
    static constexpr const char* RefusedFileName = "config.json.refused";
    /// The range the options screen offers; a value read from the file is kept inside it.
    static constexpr float MinResolutionScale = 0.5f;
    static constexpr float MaxResolutionScale = 2.0f;

    /// A settings file is a handful of members; anything larger is not one and is not read. A save
    /// never writes more, so that the next start reads back whatever it wrote.
    static constexpr uint64_t MaxFileBytes = 1024 * 1024;
    /// How deep arrays and objects may nest in a settings file, the document itself counting as
    /// one: deeper values would overflow the stack of the JSON printer at the next save.
    static constexpr int MaxNestingDepth = 64;

    nlohmann::json document;      ///< the file as last read; null until a file was read
    bool fullscreen = false;      ///< full screen on the primary monitor at its current mode
    float resolutionScale = 1.0f; ///< size of the off-screen channels relative to the window

    /// Reads "config.json", only when it is a regular file (or a link to one) of at most
    /// `MaxFileBytes`, which bounds the time and memory it takes. A missing file keeps the defaults
    /// and is reported on standard output. A file that cannot be taken (not a regular file, too
    /// long, unreadable, or text that `Parse` refuses) keeps them too, is moved to
    /// `RefusedFileName` (replacing one there) before anything can write the defaults over it,
    /// and is reported with one `WarningLog` line that says where it went. One that may not be
    /// replaced (`MayReplaceFile`) is left where it is, and the line says so. So is one that
    /// cannot be moved aside because what stands at `RefusedFileName` is not to be replaced
    /// either (by the same rule, or because it is not a regular file); `Save` then leaves it too.
    Config();

    /// Replaces the settings with those in `text`, the contents of a settings file. Text that is
    /// empty or only white space gives the defaults. Text that is not a JSON object, that nests
    /// deeper than `MaxNestingDepth`, or whose "fullscreen" is not a boolean or "resolutionScale"
    /// not a number, gives the defaults and is reported with one `WarningLog` line; a member that
    /// is absent keeps its default. A malformed object still keeps its other members for the next
    /// save, except those that nest too deep, which are dropped.
    /// @return false when the text was malformed.
    bool Parse(const std::string& text);

    /// Writes the settings into the document and the document to "config.json" as `FileText`
    /// gives it. The file is replaced whole or not at all, so a failure leaves the old one as it
    /// was. A document too long for any text within `MaxFileBytes`, a file there that may not be
    /// replaced (`MayReplaceFile`), and a refused file that could not be moved aside are each
    /// reported with one `WarningLog` line and leave the file as it is; other failures are not
    /// reported.
    void Save();

    /// The text of a settings file holding `document`: one space of indentation per level,
    /// members ordered by key, no final line break, when that is at most `MaxFileBytes` long;
    /// otherwise the same without any indentation or spaces when that fits; otherwise empty.
    static std::string FileText(const nlohmann::json& document);

private:
    /// Takes the settings from `text` as `Parse` does, without reporting.
    /// @return what is wrong with the text, as the tail of a sentence that begins with the file's
    /// name; empty when nothing is.
    std::string Take(const std::string& text);

    /// Set when a refused file stayed at "config.json" only because it could not be moved aside:
    /// saving would then write the defaults over the player's file.
    bool refusedFileInPlace = false;
};
