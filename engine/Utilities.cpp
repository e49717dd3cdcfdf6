#include "Utilities.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LogChannel.h"

std::string LoadFileToString(const std::string& path)
{
    std::ifstream file(path);
    if (!file.is_open())
    {
        ReportFileNotLoaded(path);
        return std::string();
    }
    std::string result;
    std::string line;
    // Reading until end-of-file, not until a failed read, takes one more (empty) line after a
    // final line feed; the effect parser and the settings reader were written against that.
    while (!file.eof())
    {
        std::getline(file, line);
        result += line;
        result += '\n';
        if (file.fail() && !file.eof())
            break; // a read error, not the end: stop rather than spin
    }
    return result;
}

void ReportFileNotLoaded(const std::string& path)
{
    std::cout << "Error loading file: " << path << std::endl;
}

FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& bytes, uint64_t* size)
{
    bytes.clear();
    maxBytes = std::min<uint64_t>(maxBytes, SIZE_MAX / 2);
    uint64_t known = 0;
    const auto answer = [&](FileRead result) {
        if (size != nullptr)
            *size = known;
        if (result != FileRead::Read)
            bytes.clear();
        return result;
    };
    // Looked at before it is opened: opening a pipe for reading waits for a writer, and opening
    // some devices does things of its own.
    struct stat status{};
    if (stat(path.c_str(), &status) != 0)
        return answer(errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable);
    if (!S_ISREG(status.st_mode))
        return answer(FileRead::NotRegular);
    known = static_cast<uint64_t>(status.st_size);
    if (known > maxBytes)
        return answer(FileRead::TooLarge);

    // Without blocking, and looked at again once open: the path may have changed meanwhile.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return answer(errno == ENOENT ? FileRead::Missing : FileRead::Unreadable);
    FileRead result = FileRead::Read;
    if (fstat(descriptor, &status) != 0)
        result = FileRead::Unreadable;
    else if (!S_ISREG(status.st_mode))
        result = FileRead::NotRegular;
    // Up to one byte past the limit, which tells a file that grew past it from one that ends there.
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(maxBytes, static_cast<uint64_t>(status.st_size)) + 1));
    size_t got = 0;
    while (result == FileRead::Read)
    {
        if (got == bytes.size())
        {
            if (got > maxBytes)
            {
                result = FileRead::TooLarge;
                break;
            }
            bytes.resize(static_cast<size_t>(std::min<uint64_t>(maxBytes + 1, got * 2)));
        }
        const ssize_t read = ::read(descriptor, bytes.data() + got, bytes.size() - got);
        if (read == 0)
            break;
        if (read > 0)
            got += static_cast<size_t>(read);
        else if (errno != EINTR)
            result = FileRead::Unreadable;
    }
    close(descriptor);
    bytes.resize(got);
    known = std::max<uint64_t>(known, got);
    return answer(result);
}

namespace
{
// Why the file at `path`, which is there with `status`, may not be replaced; 0 when it may.
int ReplaceRefusal(const std::string& path, const struct stat& status)
{
    if ((status.st_mode & S_IWUSR) == 0)
        return EACCES;
    return access(path.c_str(), W_OK) == 0 ? 0 : errno;
}
} // namespace

bool MayReplaceFile(const std::string& path, int* error)
{
    struct stat status{};
    if (stat(path.c_str(), &status) != 0)
        return true; // nothing there (or nothing to be learnt): the replacement itself will tell
    const int refusal = ReplaceRefusal(path, status);
    if (refusal != 0 && error != nullptr)
        *error = refusal;
    return refusal == 0;
}

bool ReplaceFileWhole(const std::string& path, std::initializer_list<std::string_view> pieces, FileReplaceFailure* failure)
{
    // The target is only ever replaced by a complete file: a save that fails part way (a full
    // disk, a folder that cannot be written) must not cost the player the file that was there.
    const std::filesystem::path target(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    // A rename needs only the folder's permission, so it would replace a file that the player made
    // read-only, and the new file would come back writable.
    struct stat targetStatus{};
    const bool targetThere = stat(path.c_str(), &targetStatus) == 0;
    if (targetThere)
    {
        if (const int refusal = ReplaceRefusal(path, targetStatus); refusal != 0)
        {
            if (failure != nullptr)
                *failure = {"permission", refusal};
            return false;
        }
    }
    // Atomic: the public-address fetch replaces its file from a thread of its own.
    static std::atomic<uint32_t> temporaryCounter = 0;
    const std::string temporary =
        (folder / ("." + target.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(temporaryCounter++)))
            .string();

    FileReplaceFailure failed;
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
    {
        if (failure != nullptr)
            *failure = {"open", errno};
        return false;
    }
    // Before any byte is written, so that a file kept private is never readable by others, not
    // even while it is written. A file system without such bits (FAT) may refuse; the file is
    // still worth saving there.
    if (targetThere)
        (void)fchmod(descriptor, targetStatus.st_mode & 07777);
    for (const std::string_view piece : pieces)
    {
        size_t written = 0;
        while (written < piece.size() && failed.step == nullptr)
        {
            const ssize_t result = write(descriptor, piece.data() + written, piece.size() - written);
            if (result < 0 && errno == EINTR)
                continue;
            if (result <= 0)
                failed = {"write", result < 0 ? errno : ENOSPC};
            else
                written += static_cast<size_t>(result);
        }
    }
    // The bytes must be on the disk before the new name points at them.
    if (failed.step == nullptr && fsync(descriptor) != 0)
        failed = {"flush", errno};
    if (close(descriptor) != 0 && failed.step == nullptr)
        failed = {"close", errno};
    if (failed.step == nullptr && rename(temporary.c_str(), path.c_str()) != 0)
        failed = {"replace", errno};
    if (failed.step != nullptr)
    {
        unlink(temporary.c_str());
        if (failure != nullptr)
            *failure = failed;
        return false;
    }

    // So that the rename itself survives a power cut; a folder that cannot be synced changes nothing.
    const int folderDescriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0)
    {
        fsync(folderDescriptor);
        close(folderDescriptor);
    }
    return true;
}

DynArray<std::string> ListDirectory(const std::string& folder, const std::string& extension)
{
    DynArray<std::string> names;
    const std::string wanted = "." + extension;
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    if (error)
    {
        WarningLog << LogLocation(__FILE__, 40) << "Could not list the folder \"" << folder << "\": " << error.message();
        WarningLog.EndMessage();
        return names;
    }
    std::vector<std::string> found;
    for (const std::filesystem::directory_iterator end; entry != end; entry.increment(error))
    {
        if (error)
            break;
        const std::filesystem::path& path = entry->path();
        if (path.extension().string() == wanted)
            found.push_back(path.filename().string());
    }
    // The file system's own order differs between machines and file systems; lists that players
    // read (levels, effects) should come out the same everywhere, so they are sorted by name.
    std::sort(found.begin(), found.end());
    for (std::string& name : found)
        names.PushBack(std::move(name));
    return names;
}

DynArray<std::string> SplitWords(const std::string& line)
{
    DynArray<std::string> words;
    std::string word;
    for (char c : line)
    {
        if (c != ' ')
        {
            word += c;
            continue;
        }
        if (!word.empty())
        {
            words.PushBack(word);
            word.clear();
        }
    }
    if (!word.empty())
        words.PushBack(word);
    return words;
}

std::vector<std::string_view> SplitFields(std::string_view line, std::string_view separators)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (true)
    {
        at = line.find_first_not_of(separators, at);
        if (at == std::string_view::npos)
            return fields;
        const size_t end = std::min(line.find_first_of(separators, at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
}

float SignedLineDistance(glm::vec2 a, glm::vec2 b, glm::vec2 p)
{
    const float ab = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    const float bp = std::sqrt((p.x - b.x) * (p.x - b.x) + (p.y - b.y) * (p.y - b.y));
    const float ap = std::sqrt((a.x - p.x) * (a.x - p.x) + (a.y - p.y) * (a.y - p.y));
    const float s = (bp + ab + ap) * 0.5f;
    const float q = (s - ab) * s * (s - bp) * (s - ap);
    const float area = q > 0.0f ? std::sqrt(q) : 0.0f;
    const float side = (p.x - b.x) * (b.y - a.y) - (b.x - a.x) * (p.y - b.y);
    return side > 0.0f ? area : -area;
}

bool CircleTouchesRect(float minX, float maxX, float minY, float maxY, glm::vec2 centre, float radius)
{
    const float nearestX = minX > centre.x ? minX : std::min(maxX, centre.x);
    const float nearestY = minY > centre.y ? minY : std::min(maxY, centre.y);
    const float distance = std::sqrt((centre.x - nearestX) * (centre.x - nearestX) + (centre.y - nearestY) * (centre.y - nearestY));
    return radius > distance;
}
