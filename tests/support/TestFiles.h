#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// Files that tests write and read back, in the test's own working folder.

/// The bytes of `path` as a string; empty when it cannot be read.
inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

/// Replaces `path` with `text`, making its folder first when it has one.
inline void WriteFile(const std::string& path, const std::string& text)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary) << text;
}

/// The bytes of `path`; empty when it cannot be read.
inline std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

/// Replaces `path` with `bytes`, making its folder first when it has one.
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

/// The names of the entries of `folder`, in name order: for checking that nothing is left beside
/// a file.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// The permission bits of `path` (a link is followed); 0 when nothing is there.
inline mode_t FileMode(const std::string& path)
{
    struct stat status{};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}
