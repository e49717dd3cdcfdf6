#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <glm/vec2.hpp>

#include "DynArray.h"

/// Reads a whole text file: every line followed by "\n", plus one more "\n" when the file ends with
/// a line break (an empty file gives "\n"). A file that cannot be opened is reported on standard
/// output (`ReportFileNotLoaded`) and gives the empty string.
std::string LoadFileToString(const std::string& path);

/// Writes "Error loading file: " + `path` and a line break to standard output, not to a log
/// channel: how the game has always said that a file it wanted to read could not be opened.
void ReportFileNotLoaded(const std::string& path);

/// What `ReadRegularFile` found at a path.
enum class FileRead
{
    Read,       ///< the whole file is in the bytes
    Missing,    ///< nothing is there
    NotRegular, ///< a folder, a pipe, a device or a socket, which is never opened
    TooLarge,   ///< a regular file of more than the bytes asked for, which is not kept
    Unreadable, ///< a regular file that could not be opened or read
};

/// Reads the whole of the regular file at `path` (a link to one counts) into `bytes`, when it
/// holds at most `maxBytes`. Nothing else is read: a pipe would block the reader until somebody
/// wrote to it, and a device may never end. A file that grows past `maxBytes` while it is read
/// is `TooLarge` too. `bytes` is emptied unless the file was read; `size`, when given, gets the
/// file's size as far as it is known. Logs nothing; safe on any thread.
FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& bytes, uint64_t* size = nullptr);

/// Why `ReplaceFileWhole` did not replace a file.
struct FileReplaceFailure
{
    /// The step that failed: "permission" (a file is there that may not be written, see
    /// `MayReplaceFile`; nothing was created), "open" (no temporary file could be made beside the
    /// target), "write", "flush", "close" or "replace" (the rename over the target).
    const char* step = nullptr;
    int error = 0; ///< the system's error number; `EACCES` for "permission"
};

/// Whether `ReplaceFileWhole` may replace what is at `path` (a link is followed): true when nothing
/// is there, false when its owner has no write permission on it, whoever runs the game, or when
/// this process may not write it. A player who takes the write permission off a file means it to
/// stay as it is, and a direct write would have failed there; the superuser's writes would not, so
/// the owner's permission bit decides for it too. `error`, when given, gets the reason for false
/// (`EACCES`, or what the system gave). Logs nothing; safe on any thread.
bool MayReplaceFile(const std::string& path, int* error = nullptr);

/// Replaces the file `path` with the bytes of `pieces`, one after the other, as one step: they go
/// to a temporary file of its own beside the target, which is flushed to disk and then renamed
/// over it. A file already there keeps its permission bits, and one that `MayReplaceFile` refuses
/// is not replaced at all. On any failure (no folder, no permission, a full disk, a target that
/// cannot be replaced) the temporary file is removed and a file already at `path` is left whole;
/// `failure`, when given, says which step failed. Nothing is logged; safe on any thread.
/// @return true when the file at `path` now holds the bytes.
bool ReplaceFileWhole(const std::string& path, std::initializer_list<std::string_view> pieces, FileReplaceFailure* failure = nullptr);

/// The names (extension included, folder not) of the entries of `folder` whose extension is
/// exactly "." + `extension`, sorted by name (byte order), so that every machine lists them alike.
/// A folder that cannot be read gives an empty list and is logged.
DynArray<std::string> ListDirectory(const std::string& folder, const std::string& extension);

/// The words of `line`, split at spaces only; runs of spaces give no empty words.
DynArray<std::string> SplitWords(const std::string& line);

/// The fields of `line` between runs of the bytes in `separators`, as views into `line` (valid
/// while it is); separators at either end or in runs give no empty fields.
std::vector<std::string_view> SplitFields(std::string_view line, std::string_view separators);

/// The signed area of the triangle a, b, p (Heron's formula, never not-a-number): positive when
/// a, b, p turn clockwise with y up, negative otherwise and for collinear points.
float SignedLineDistance(glm::vec2 a, glm::vec2 b, glm::vec2 p);

/// True when the circle strictly overlaps the rectangle (a circle that only reaches its edge does
/// not touch it; a radius of 0 never touches).
bool CircleTouchesRect(float minX, float maxX, float minY, float maxY, glm::vec2 centre, float radius);
