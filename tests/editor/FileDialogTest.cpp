#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileDialog.h"
#include "ScratchFolder.h"

namespace
{
void Touch(const std::string& path)
{
    std::ofstream(path) << "x";
}

std::vector<std::string> Listing(const FileDialog& dialog)
{
    std::vector<std::string> names;
    for (const FileDialog::Entry& entry : dialog.Entries())
        names.push_back((entry.isFolder ? "/" : "") + entry.name);
    return names;
}
} // namespace

TEST(FileDialog, ListsFoldersThenLevelFilesAndMovesBetweenFolders)
{
    const ScratchFolder folder;
    std::filesystem::create_directories("Data/Levels/older");
    std::filesystem::create_directories("Data/Levels/.hidden");
    for (const char* name : {"b.lrl", "a.lrl", "notes.txt", ".a.lrl.tmp-1-0", ".lrl", "older/c.lrl"})
        Touch(std::string("Data/Levels/") + name);

    FileDialog dialog;
    dialog.OpenDialog("LoadDialogueKey", "Load level...", ".lrl", "./Data/Levels/");
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_TRUE(dialog.IsOpen("LoadDialogueKey"));
    EXPECT_FALSE(dialog.IsOpen("SaveDialogueKey"));
    EXPECT_EQ(dialog.CurrentFolder(), "Data/Levels/");
    EXPECT_EQ(Listing(dialog), (std::vector<std::string>{"/..", "/older", "a.lrl", "b.lrl"}));

    dialog.ChooseEntry(1);
    EXPECT_EQ(Listing(dialog), (std::vector<std::string>{"/..", "c.lrl"}));
    dialog.ChooseEntry(1);
    EXPECT_EQ(dialog.FileName(), "c.lrl");
    EXPECT_EQ(dialog.GetFilePathName(), "Data/Levels/older/c.lrl");
    dialog.ChooseEntry(0);
    dialog.ChooseEntry(0);
    EXPECT_EQ(dialog.CurrentFolder(), "Data/");
    EXPECT_EQ(Listing(dialog), (std::vector<std::string>{"/..", "/Levels"}));

    dialog.EnterFolder("no-such-folder");
    EXPECT_EQ(Listing(dialog), std::vector<std::string>{"/.."}) << "a folder that cannot be read lists nothing";
}

TEST(FileDialog, ANameGetsTheExtensionAndOnlyANameConfirms)
{
    FileDialog dialog;
    EXPECT_FALSE(dialog.Confirm()) << "nothing to confirm while closed";
    dialog.OpenDialog("SaveDialogueKey", "Save as...", ".lrl", "./Data/Levels/");

    for (const char* nameless : {"", ".", "..", "sub/"})
    {
        SCOPED_TRACE(nameless);
        dialog.SetFileName(nameless);
        EXPECT_FALSE(dialog.Confirm());
    }
    const struct
    {
        const char* typed;
        const char* path;
    } names[] = {
        {"mine", "Data/Levels/mine.lrl"},
        {"mine.lrl", "Data/Levels/mine.lrl"},
        {"my.level", "Data/Levels/my.level.lrl"},
        {"../up", "Data/up.lrl"},
    };
    for (const auto& name : names)
    {
        dialog.SetFileName(name.typed);
        EXPECT_EQ(dialog.GetFilePathName(), name.path);
    }
    dialog.SetFileName(std::string(400, 'n'));
    EXPECT_EQ(dialog.FileName().size(), FileDialog::NameCapacity - 1) << "the field holds what fits";

    dialog.SetFileName("mine");
    EXPECT_TRUE(dialog.Confirm());
    EXPECT_TRUE(dialog.IsOk());
    EXPECT_TRUE(dialog.Display("SaveDialogueKey", 0, ImVec2(0, 0), ImVec2(1, 1))) << "reports the closing frame";
    EXPECT_FALSE(dialog.Display("LoadDialogueKey", 0, ImVec2(0, 0), ImVec2(1, 1))) << "another key is not shown";

    dialog.OpenDialog("LoadDialogueKey", "Load level...", ".lrl", ".");
    EXPECT_TRUE(dialog.IsOpen("SaveDialogueKey")) << "a second open while one shows changes nothing";
    dialog.Close();
    EXPECT_FALSE(dialog.IsOpen());

    dialog.OpenDialog("LoadDialogueKey", "Load level...", ".lrl", ".");
    EXPECT_EQ(dialog.FileName(), "") << "a new dialog starts with an empty name";
    dialog.Cancel();
    EXPECT_FALSE(dialog.IsOk());
    EXPECT_TRUE(dialog.Display("LoadDialogueKey", 0, ImVec2(0, 0), ImVec2(1, 1)));
}

TEST(FileDialog, AHugeFolderIsListedOnlyInPart)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("many");
    for (uint32_t i = 0; i < FileDialog::MostEntries + 10; ++i)
        Touch("many/" + std::to_string(i) + ".lrl");
    FileDialog dialog;
    dialog.EnterFolder("many");
    EXPECT_EQ(dialog.Entries().size(), FileDialog::MostEntries + 1u);
}
