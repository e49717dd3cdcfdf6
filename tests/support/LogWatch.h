#pragma once

#include <string>
#include <vector>

#include "LogChannel.h"

/// The lines that a log channel receives from the watch's construction on.
class LogWatch
{
public:
    explicit LogWatch(const LogChannel& channel) : channel(channel), from(channel.GetHistory().count) {}

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (uint32_t k = from; k < channel.GetHistory().count; ++k)
            lines.push_back(channel.GetHistory()[k]);
        return lines;
    }

    /// True when a line received since the watch began contains `text`.
    bool Saw(const std::string& text) const
    {
        for (const std::string& line : Lines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    const LogChannel& channel;
    uint32_t from;
};
