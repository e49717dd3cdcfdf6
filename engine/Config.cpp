#include "Config.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "LogChannel.h"
#include "Utilities.h"

Config::Config()
{
    Parse(LoadFileToString(FileName));
}

bool Config::Parse(const std::string& text)
{
    fullscreen = false;
    resolutionScale = 1.0f;
    document = nullptr;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return true;

    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    std::string fault;
    if (parsed.is_discarded())
        fault = "is not valid JSON";
    else if (!parsed.is_object())
        fault = std::string("holds a JSON ") + parsed.type_name() + " where an object was expected";
    else if (parsed.contains("fullscreen") && !parsed["fullscreen"].is_boolean())
        fault = std::string("has a \"fullscreen\" that is a ") + parsed["fullscreen"].type_name() + ", not a boolean";
    else if (parsed.contains("resolutionScale") && !parsed["resolutionScale"].is_number() && !parsed["resolutionScale"].is_boolean())
        fault = std::string("has a \"resolutionScale\" that is a ") + parsed["resolutionScale"].type_name() + ", not a number";
    if (!fault.empty())
    {
        ErrorLog << LogLocation(__FILE__, 35) << FileName << ' ' << fault << "; the default settings are used.";
        ErrorLog.EndMessage();
        // A document that is an object keeps its other members for the next save; anything else
        // could not take the settings' members and is started afresh.
        if (parsed.is_object())
            document = std::move(parsed);
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
    std::ofstream file(FileName, std::ios::out | std::ios::trunc | std::ios::binary);
    file << document.dump(1);
}
