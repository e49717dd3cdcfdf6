#include "FileDialog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace
{
bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}
} // namespace

void FileDialog::OpenDialog(const std::string& dialogKey, const std::string& dialogTitle,
                            const std::string& fileExtension, const std::string& startFolder)
{
    if (shown)
        return;
    key = dialogKey;
    title = dialogTitle;
    extension = fileExtension;
    shown = true;
    confirmed = false;
    finishedThisFrame = false;
    fileName[0] = '\0';
    EnterFolder(startFolder);
}

bool FileDialog::Display(const std::string& dialogKey, ImGuiWindowFlags flags, ImVec2 minSize, ImVec2 maxSize)
{
    if (!shown || dialogKey != key)
        return false;
    if (finishedThisFrame)
        return true;

    ImGui::SetNextWindowSizeConstraints(minSize, maxSize);
    ImGui::SetNextWindowPos(ImVec2(480.0f, 90.0f), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(900.0f, 640.0f), ImGuiCond_FirstUseEver);
    // The key keeps the two dialogs' windows (and their places) apart whatever their titles.
    const std::string windowName = title + "##" + key;
    if (ImGui::Begin(windowName.c_str(), nullptr, flags))
    {
        ImGui::TextUnformatted(folder.c_str());
        // The buttons sit above the window's resize grips, which take a press before anything
        // under them: a button in a corner would resize the dialog rather than be pressed.
        const ImGuiStyle& style = ImGui::GetStyle();
        const float footer = ImGui::GetFrameHeightWithSpacing() * 2.0f + style.ItemSpacing.y +
                             std::max(0.0f, ResizeGripSize() - style.WindowPadding.y - style.ItemSpacing.y);
        int32_t clicked = -1;
        bool doubleClicked = false;
        if (ImGui::BeginChild("entries", ImVec2(0.0f, -footer), true))
        {
            ImGuiListClipper clipper;
            clipper.Begin(static_cast<int>(entries.size()));
            while (clipper.Step())
                for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i)
                {
                    const Entry& entry = entries[static_cast<size_t>(i)];
                    const std::string label = (entry.isFolder ? "[folder] " : "") + entry.name + "##" + std::to_string(i);
                    if (ImGui::Selectable(label.c_str(), i == selectedEntry, ImGuiSelectableFlags_AllowDoubleClick))
                    {
                        clicked = i;
                        doubleClicked = ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
                    }
                }
            if (listingCut)
                ImGui::TextDisabled("(only the first %u entries are listed)", MostEntries);
        }
        ImGui::EndChild();
        // Acted on after the listing is drawn: entering a folder replaces the entries.
        if (clicked >= 0)
        {
            const bool isFile = !entries[static_cast<size_t>(clicked)].isFolder;
            ChooseEntry(static_cast<size_t>(clicked));
            if (isFile && doubleClicked)
                Confirm();
        }

        ImGui::TextUnformatted("File name:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1.0f);
        if (ImGui::InputText("##fileName", fileName, NameCapacity, ImGuiInputTextFlags_EnterReturnsTrue))
            Confirm();
        const bool nameless = fileName[0] == '\0';
        ImGui::BeginDisabled(nameless);
        if (ImGui::Button("OK"))
            Confirm();
        okFace = {ImGui::GetItemRectMin(), ImGui::GetItemRectMax()};
        ImGui::EndDisabled();
        ImGui::SameLine();
        if (ImGui::Button("Cancel"))
            Cancel();
        cancelFace = {ImGui::GetItemRectMin(), ImGui::GetItemRectMax()};
    }
    // Escape cancels, unless it is ending an edit in a field of another window.
    const bool escape = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false);
    if (escape && !finishedThisFrame &&
        (ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) || !ImGui::IsAnyItemActive()))
        Cancel();
    ImGui::End();
    return finishedThisFrame;
}

float FileDialog::ResizeGripSize()
{
    // As large as the library draws its grips (it takes presses in a little less).
    const float fontSize = ImGui::GetFontSize();
    return std::floor(std::max(fontSize * 1.35f, ImGui::GetStyle().WindowRounding + 1.0f + fontSize * 0.2f));
}

std::string FileDialog::GetFilePathName() const
{
    std::string name = fileName;
    if (!extension.empty() && !EndsWith(name, extension))
        name += extension;
    return (std::filesystem::path(folder) / name).lexically_normal().string();
}

void FileDialog::Close()
{
    shown = false;
    finishedThisFrame = false;
    entries.clear();
    entries.shrink_to_fit();
}

bool FileDialog::IsOpen(const std::string& dialogKey) const
{
    return shown && (dialogKey.empty() || dialogKey == key);
}

void FileDialog::EnterFolder(const std::string& newFolder)
{
    folder = std::filesystem::path(newFolder.empty() ? "." : newFolder).lexically_normal().string();
    entries.clear();
    listingCut = false;
    selectedEntry = -1;
    entries.push_back({"..", true});

    std::vector<Entry> folders;
    std::vector<Entry> files;
    std::error_code error;
    std::filesystem::directory_iterator listing(folder, std::filesystem::directory_options::skip_permission_denied,
                                                error);
    const std::filesystem::directory_iterator end;
    for (; !error && listing != end; listing.increment(error))
    {
        if (folders.size() + files.size() >= MostEntries)
        {
            listingCut = true;
            break;
        }
        const std::string name = listing->path().filename().string();
        // Hidden entries include the temporary files of a save in progress.
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code kindError;
        if (listing->is_directory(kindError))
            folders.push_back({name, true});
        else if (EndsWith(name, extension) && name.size() > extension.size())
            files.push_back({name, false});
    }
    auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    entries.insert(entries.end(), folders.begin(), folders.end());
    entries.insert(entries.end(), files.begin(), files.end());
}

void FileDialog::ChooseEntry(size_t index)
{
    if (index >= entries.size())
        return;
    const Entry entry = entries[index];
    if (entry.isFolder)
    {
        EnterFolder((std::filesystem::path(folder) / entry.name).string());
        return;
    }
    selectedEntry = static_cast<int32_t>(index);
    SetFileName(entry.name);
}

void FileDialog::SetFileName(const std::string& name)
{
    const size_t length = std::min<size_t>(name.size(), NameCapacity - 1);
    std::memcpy(fileName, name.data(), length);
    fileName[length] = '\0';
}

bool FileDialog::Confirm()
{
    const std::string name = fileName;
    if (!shown || name.empty() || name == "." || name == ".." || name.back() == '/')
        return false;
    confirmed = true;
    finishedThisFrame = true;
    return true;
}

void FileDialog::Cancel()
{
    if (!shown)
        return;
    confirmed = false;
    finishedThisFrame = true;
}
