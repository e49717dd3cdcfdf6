#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

/// Notes every entry under a folder (the working folder unless told otherwise), and when it is
/// destroyed removes every entry that was not there: for tests that need the run-time tree in
/// their working folder and make files in it (font caches, images, effects, shaders), so that a
/// later test of the binary never finds them, whatever order the tests run in. Entries that were
/// there stay, even when the test changed them; links are not followed.
class FolderAsFound
{
public:
    explicit FolderAsFound(std::filesystem::path folder = ".") : folder(std::move(folder))
    {
        std::error_code ignored;
        for (auto entry = std::filesystem::recursive_directory_iterator(this->folder, ignored);
             entry != std::filesystem::recursive_directory_iterator(); entry.increment(ignored))
            found.insert(entry->path().lexically_normal().string());
    }

    ~FolderAsFound()
    {
        // The new entries, removed from the top down: a new folder goes with all that is in it.
        std::error_code ignored;
        std::set<std::string> added;
        for (auto entry = std::filesystem::recursive_directory_iterator(folder, ignored);
             entry != std::filesystem::recursive_directory_iterator(); entry.increment(ignored))
        {
            if (found.count(entry->path().lexically_normal().string()) == 0)
            {
                added.insert(entry->path().string());
                entry.disable_recursion_pending();
            }
        }
        for (const std::string& path : added)
        {
            std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow,
                                         ignored);
            std::filesystem::remove_all(path, ignored);
        }
    }

    FolderAsFound(const FolderAsFound&) = delete;
    FolderAsFound& operator=(const FolderAsFound&) = delete;

private:
    std::filesystem::path folder;
    std::set<std::string> found;
};
