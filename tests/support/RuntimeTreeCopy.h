#pragma once

#include <filesystem>
#include <system_error>

#include "ScratchFolder.h"

/// A scratch folder (`ScratchFolder`) that starts with a copy of what a game needs of the run-time
/// tree that tools/run-test.sh --runtime installs in the working folder: a game started there
/// finds no layout file, effect or level that an earlier test changed or left, and leaves its own
/// to no later one. The settings file is not copied: the game starts on its defaults, as on a
/// first start. Declare it before the game, which saves its layout there as it closes.
class RuntimeTreeCopy
{
public:
    RuntimeTreeCopy()
    {
        for (const char* entry : {"Data", "Effects", "Fonts", "Images"})
        {
            const std::filesystem::path from = scratch.Previous() / entry;
            std::error_code missing;
            if (std::filesystem::exists(from, missing))
                std::filesystem::copy(from, scratch.Path() / entry,
                                      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
        }
    }

private:
    ScratchFolder scratch;
};
