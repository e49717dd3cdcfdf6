#include "Config.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

#include <sys/stat.h>

#include "LogChannel.h"
#include "Utilities.h"

namespace
{
// `fault` finishes a sentence that begins with the file's name; `outcome` says what became of it.
void ReportRefused(const std::string& fault, const std::string& outcome)
{
    WarningLog << LogLocation(__FILE__, 35) << Config::FileName << ' ' << fault << "; the default settings are used" << outcome << '.';
    WarningLog.EndMessage();
}

// Why what stands at `Config::RefusedFileName` may not be replaced, as the end of a sentence;
// empty when it may (nothing there counts). A link is judged by what it leads to.
std::string RefusedFileKept()
{
    struct stat status{};
    if (stat(Config::RefusedFileName, &status) != 0)
        return std::string();
    // Worded as the failed move of a file onto a folder always was.
    if (S_ISDIR(status.st_mode))
        return std::string("it could not be moved to ") + Config::RefusedFileName + " (" + std::strerror(EISDIR) + ")";
    if (!S_ISREG(status.st_mode))
        return std::string(Config::RefusedFileName) + " may not be replaced (it is not a regular file)";
    int refusal = 0;
    if (!MayReplaceFile(Config::RefusedFileName, &refusal))
        return std::string(Config::RefusedFileName) + " may not be replaced (" + std::strerror(refusal) + ")";
    return std::string();
}

// `fault` finishes a sentence that begins with the file's name.
void ReportNotSaved(int line, const std::string& fault)
{
    WarningLog << LogLocation(__FILE__, line) << Config::FileName << ' ' << fault << ", so the settings were not saved and the file there is unchanged.";
    WarningLog.EndMessage();
}
} // namespace

Config::Config()
{
    std::string text;
    uint64_t size = 0;
    std::string fault;
    switch (ReadRegularFile(FileName, MaxFileBytes, text, &size))
    {
    case FileRead::Missing:
        ReportFileNotLoaded(FileName);
        return;
    case FileRead::NotRegular:
        // A pipe would hold up the start until somebody wrote to it, and a device may never end.
        fault = "is not a regular file";
        break;
    case FileRead::TooLarge:
        fault = "is " + std::to_string(size) + " bytes long, more than the " + std::to_string(MaxFileBytes) + " a settings file may have";
        break;
    case FileRead::Unreadable:
        fault = "could not be read";
        break;
    case FileRead::Read:
        fault = Take(text);
        break;
    }
    if (fault.empty())
        return;

    // Kept aside before the start-up save can write the defaults over it: the player may have
    // made one slip by hand in a file of many settings.
    int refusal = 0;
    if (!MayReplaceFile(FileName, &refusal))
    {
        ReportRefused(fault, std::string(", and the file was left where it is, since it may not be replaced (") + std::strerror(refusal) + ")");
        return;
    }
    // The file kept aside before is the player's as much as this one: one whose owner took the
    // write permission off it, or anything but a regular file, is not replaced. This one then
    // stays where it is, as when the move fails, and no save may write the defaults over it.
    if (const std::string kept = RefusedFileKept(); !kept.empty())
    {
        refusedFileInPlace = true;
        ReportRefused(fault, ", and the file was left where it is, since " + kept);
        return;
    }
    if (std::rename(FileName, RefusedFileName) != 0)
    {
        const int error = errno;
        refusedFileInPlace = true;
        ReportRefused(fault, std::string(", and the file was left where it is, since it could not be moved to ") + RefusedFileName + " (" +
                                 std::strerror(error) + ")");
        return;
    }
    ReportRefused(fault, std::string(", and the file was moved to ") + RefusedFileName);
}

bool Config::Parse(const std::string& text)
{
    const std::string fault = Take(text);
    if (fault.empty())
        return true;
    ReportRefused(fault, "");
    return false;
}

std::string Config::Take(const std::string& text)
{
    fullscreen = false;
    resolutionScale = 1.0f;
    document = nullptr;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return std::string();

    // The parser keeps a stack of its own, but the printer of the next save recurses once per
    // level: values nested too deep are dropped as they are read, together with the member of the
    // document that holds them, so that nothing kept nests deeper than the limit.
    using Json = nlohmann::json;
    std::string member;
    std::set<std::string> tooDeep;
    const Json::parser_callback_t bound = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::key && depth == 1)
            member = parsed.get<std::string>();
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) && depth >= MaxNestingDepth)
        {
            tooDeep.insert(member);
            return false;
        }
        return true;
    };
    Json parsed = Json::parse(text, bound, false);
    std::string fault;
    if (parsed.is_discarded())
        fault = "is not valid JSON";
    else if (!tooDeep.empty())
        fault = "nests arrays or objects more than " + std::to_string(MaxNestingDepth) + " deep";
    else if (!parsed.is_object())
        fault = std::string("holds a JSON ") + parsed.type_name() + " where an object was expected";
    else if (parsed.contains("fullscreen") && !parsed["fullscreen"].is_boolean())
        fault = std::string("has a \"fullscreen\" that is a ") + parsed["fullscreen"].type_name() + ", not a boolean";
    else if (parsed.contains("resolutionScale") && !parsed["resolutionScale"].is_number() && !parsed["resolutionScale"].is_boolean())
        fault = std::string("has a \"resolutionScale\" that is a ") + parsed["resolutionScale"].type_name() + ", not a number";
    if (!fault.empty())
    {
        // A document that is an object keeps its other members for the next save; anything else
        // could not take the settings' members and is started afresh.
        if (parsed.is_object())
        {
            for (const std::string& name : tooDeep)
                parsed.erase(name);
            document = std::move(parsed);
        }
        return fault;
    }

    document = std::move(parsed);
    if (document.contains("fullscreen"))
        fullscreen = document["fullscreen"].get<bool>();
    if (document.contains("resolutionScale"))
    {
        // Read wide: a number beyond the range of a float must not be narrowed unchecked.
        const nlohmann::json& member = document["resolutionScale"];
        const double read = member.is_boolean() ? (member.get<bool>() ? 1.0 : 0.0) : member.get<double>();
        // The channels are sized by this factor: far outside the offered range they would take
        // all video memory or vanish.
        const double kept = std::isfinite(read) ? std::clamp(read, double(MinResolutionScale), double(MaxResolutionScale)) : 1.0;
        resolutionScale = static_cast<float>(kept);
        if (kept != read)
        {
            InfoLog << FileName << " asks for a resolution scale of " << read << "; " << resolutionScale << " is used.";
            InfoLog.EndMessage();
        }
    }
    return std::string();
}

void Config::Save()
{
    if (!document.is_object())
        document = nlohmann::json::object();
    document["fullscreen"] = fullscreen;
    document["resolutionScale"] = static_cast<double>(resolutionScale);
    if (refusedFileInPlace)
    {
        ReportNotSaved(164, std::string("still holds the refused file, which could not be moved to ") + RefusedFileName);
        return;
    }
    const std::string text = FileText(document);
    if (text.empty())
    {
        ReportNotSaved(170, "would be longer than the " + std::to_string(MaxFileBytes) + " bytes a settings file may have");
        return;
    }
    FileReplaceFailure failure;
    if (!ReplaceFileWhole(FileName, {text}, &failure) && failure.step != nullptr && std::string_view(failure.step) == "permission")
        ReportNotSaved(175, std::string("may not be written (") + std::strerror(failure.error) + ")");
}

std::string Config::FileText(const nlohmann::json& document)
{
    // The next start refuses a longer file and falls back to the defaults, so what is written must
    // stay within the limit that reading holds: indentation alone can more than double a file of
    // short values, and the compact form can still outgrow the text it was read from (1e5 prints
    // as 100000.0).
    std::string text = document.dump(1);
    if (text.size() <= MaxFileBytes)
        return text;
    text = document.dump();
    if (text.size() <= MaxFileBytes)
        return text;
    return std::string();
}
