#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

/// For as long as it lives, the process works in a fresh, empty folder of its own under the
/// system's temporary folder: the test finds nothing that an earlier test of the binary left there,
/// whatever order they run in, and leaves nothing behind. Destroying it returns to the folder
/// that was current before and removes the scratch folder with everything in it, read-only files
/// and folders locked against writing included. The log channels go on writing the files they
/// opened where the binary started. One at a time.
class ScratchFolder
{
public:
    ScratchFolder() : previous(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ledrow-scratch-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no scratch folder could be made in " + std::filesystem::temp_directory_path().string());
        path = pattern;
        std::filesystem::current_path(path);
    }

    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        // The superuser removes a locked folder's entries anyway; anybody else needs its write
        // and search permission back first. Links are not followed out of the folder.
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        for (auto entry = std::filesystem::recursive_directory_iterator(path, ignored); entry != std::filesystem::recursive_directory_iterator();
             entry.increment(ignored))
        {
            if (entry->symlink_status(ignored).type() == std::filesystem::file_type::directory)
                std::filesystem::permissions(entry->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path, ignored);
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    /// The scratch folder, absolute.
    const std::filesystem::path& Path() const { return path; }
    /// The folder that was current before, absolute.
    const std::filesystem::path& Previous() const { return previous; }

private:
    std::filesystem::path previous;
    std::filesystem::path path;
};
