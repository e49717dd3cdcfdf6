#include "Config.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <system_error>

#include "LogChannel.h"
#include "Utilities.h"

namespace
{
void ReportMalformed(const std::string& fault)
{
    WarningLog << LogLocation(__FILE__, 35) << Config::FileName << ' ' << fault << "; the default settings are used.";
    WarningLog.EndMessage();
}
} // namespace

Config::Config()
{
    std::error_code error;
    const uintmax_t bytes = std::filesystem::file_size(FileName, error);
    if (!error && bytes > MaxFileBytes)
    {
        ReportMalformed("is " + std::to_string(bytes) + " bytes long, more than the " + std::to_string(MaxFileBytes) +
                        " a settings file may have");
        return;
    }
    Parse(LoadFileToString(FileName));
}

bool Config::Parse(const std::string& text)
{
    fullscreen = false;
    resolutionScale = 1.0f;
    document = nullptr;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return true;

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
        ReportMalformed(fault);
        // A document that is an object keeps its other members for the next save; anything else
        // could not take the settings' members and is started afresh.
        if (parsed.is_object())
        {
            for (const std::string& name : tooDeep)
                parsed.erase(name);
            document = std::move(parsed);
        }
        return false;
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
    return true;
}

void Config::Save()
{
    if (!document.is_object())
        document = nlohmann::json::object();
    document["fullscreen"] = fullscreen;
    document["resolutionScale"] = static_cast<double>(resolutionScale);
    ReplaceFileWhole(FileName, {document.dump(1)});
}
