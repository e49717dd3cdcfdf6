#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "DynArray.h"

/// A named log with its own file ("<name>_log.txt" in the working directory, truncated when the
/// channel is made), an in-memory history of every ended line and two behaviours: echo ended lines
/// to standard output tagged with the capitalised name, and wait for a key after every line.
/// Main thread only; the four global channels live from static initialisation to process exit.
class LogChannel
{
public:
    /// `name` is used as given for the file name and in capitals for the console tag.
    LogChannel(std::string name, bool echo, bool pause);
    ~LogChannel();

    LogChannel(const LogChannel&) = delete;
    LogChannel& operator=(const LogChannel&) = delete;

    /// Inserts one piece of the current line; pieces accumulate until `EndMessage`.
    template <typename T>
    LogChannel& operator<<(const T& piece)
    {
        lineBuffer << piece;
        return *this;
    }

    /// Ends the current line: keeps it in the history, writes it to the file (flushed), echoes it
    /// when the channel echoes, empties the buffer and, on a pausing channel, waits for a key.
    /// A write to the file or the console that fails (a full disk) costs only that line there:
    /// the next line is written again.
    void EndMessage();

    /// Ends the current line as `EndMessage` does but never waits for a key, whatever the channel:
    /// for the lines a remote peer can cause, which must never hold up the frame loop.
    void EndMessageWithoutWaiting();

    /// The capitalised name, as it tags console lines.
    const std::string& GetName() const { return name; }
    /// Every line ended on this channel, oldest first. Never shrinks.
    const DynArray<std::string>& GetHistory() const { return history; }
    /// Forgets the history. The game keeps every line for its whole life and never calls this;
    /// tools that log millions of lines in one process (fuzzers) do, to stay within memory.
    void ClearHistory() { history.Clear(); }

private:
    void WriteLine();

    std::string name;
    std::ofstream file;
    bool echo;
    bool pause;
    std::ostringstream lineBuffer;
    DynArray<std::string> history;
};

/// The location prefix of a message about a fault in the program: "[" + the last component of
/// `sourcePath` + ":" + `line` + "]". Callers pass __FILE__ and the line the message is known by,
/// which stays the same when the code around it moves.
std::string LogLocation(const char* sourcePath, int line);

extern LogChannel VerboseLog;
extern LogChannel InfoLog;
extern LogChannel WarningLog;
extern LogChannel ErrorLog;
