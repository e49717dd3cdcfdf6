#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <imgui.h>

/// A file dialog on the user-interface library, as the editor's load and save dialogs use it:
/// opened with a key, a title, a file extension and a folder; drawn every frame with `Display`
/// until the user confirms or cancels; then asked whether it was confirmed and for the chosen
/// path, and closed. It lists the folders and the files with the extension in its current
/// folder, moves between folders, and has a file-name field; a name without the extension gets
/// it. One dialog shows at a time; opening it again while it shows changes nothing.
///
/// The listing is read when a folder is entered, not every frame, and holds at most
/// `MostEntries` entries, so a huge folder costs one bounded read. Main thread only.
class FileDialog
{
public:
    /// The most entries listed from one folder.
    static constexpr uint32_t MostEntries = 5000;
    /// The file-name field's buffer, terminator included.
    static constexpr uint32_t NameCapacity = 256;

    /// A button's rectangle in window pixels: its smallest and largest corner.
    struct Face
    {
        ImVec2 min{0.0f, 0.0f};
        ImVec2 max{0.0f, 0.0f};
    };

    /// One line of the listing.
    struct Entry
    {
        std::string name;
        bool isFolder = false;
    };

    /// Shows the dialog under `key` with the window title `title`, listing the files that end in
    /// `extension` (".lrl") in `folder`. Nothing when a dialog already shows.
    void OpenDialog(const std::string& key, const std::string& title, const std::string& extension,
                    const std::string& folder);
    /// Draws the dialog of `key`, if it is the one shown, as a window with `flags` sized between
    /// `minSize` and `maxSize`. True in the frame in which the user confirmed or cancelled it
    /// (Escape cancels it, unless a field of another window is being edited). Its buttons stay
    /// clear of the window's resize grips, so a press anywhere on a button's face presses it.
    bool Display(const std::string& key, ImGuiWindowFlags flags, ImVec2 minSize, ImVec2 maxSize);
    /// True when the dialog was closed by confirming a file name.
    bool IsOk() const { return confirmed; }
    /// The chosen file: the current folder joined with the file name, which ends in the
    /// extension.
    std::string GetFilePathName() const;
    /// Hides the dialog.
    void Close();
    /// True while the dialog of `key` shows (any dialog when `key` is empty).
    bool IsOpen(const std::string& key = "") const;

    /// Enters `folder` and reads its listing: ".." first, then the folders, then the files with
    /// the extension, each group in name order; hidden entries are left out. A folder that cannot
    /// be read lists only "..".
    void EnterFolder(const std::string& folder);
    /// The folder whose listing shows.
    const std::string& CurrentFolder() const { return folder; }
    const std::vector<Entry>& Entries() const { return entries; }
    /// A click on entry `index`: a folder is entered, a file's name goes into the name field.
    void ChooseEntry(size_t index);
    /// Puts `name` into the file-name field (at most `NameCapacity` - 1 bytes).
    void SetFileName(const std::string& name);
    std::string FileName() const { return fileName; }
    /// Confirms the name in the field. False, and the dialog stays, when the field is empty or
    /// names no file ("." or "..").
    bool Confirm();
    /// Closes the frame's dialog without a file.
    void Cancel();

    /// Where "OK" and "Cancel" were drawn in the last frame that showed the dialog.
    const Face& OkFace() const { return okFace; }
    const Face& CancelFace() const { return cancelFace; }

private:
    /// The side of the square resize grips in the lower corners of a window of the current
    /// user-interface style, pixels. Needs a current user-interface context.
    static float ResizeGripSize();

    std::string key;
    std::string title;
    std::string extension;
    std::string folder;
    std::vector<Entry> entries;
    char fileName[NameCapacity] = {};
    bool shown = false;
    bool confirmed = false;
    bool finishedThisFrame = false;
    bool listingCut = false;
    int32_t selectedEntry = -1;
    Face okFace;
    Face cancelFace;
};
