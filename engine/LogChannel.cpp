#include "LogChannel.h"

#include <cctype>
#include <iostream>

#include "Platform.h"

LogChannel::LogChannel(std::string nameGiven, bool echoLines, bool pauseAfterLines)
    : echo(echoLines), pause(pauseAfterLines)
{
    // A file that cannot be opened leaves the stream failed; later writes to it are dropped
    // while the history and the console keep working.
    file.open(nameGiven + "_log.txt", std::ios::out | std::ios::trunc);
    name = nameGiven;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

LogChannel::~LogChannel()
{
    file.close();
}

void LogChannel::EndMessage()
{
    WriteLine();
    if (pause)
        Platform::WaitForKeyPress();
}

void LogChannel::EndMessageWithoutWaiting()
{
    WriteLine();
}

void LogChannel::WriteLine()
{
    std::string text = lineBuffer.str();
    history.PushBack(text);
    // A write that failed once (a full disk) leaves the stream failed, and every later line would
    // be dropped with it, long after the disk has room again. A file that never opened stays
    // silent.
    if (file.is_open() && !file.good())
        file.clear();
    file << text << '\n';
    file.flush();
    if (echo)
    {
        // The same for the console, when it is a file of its own (output sent to a file). What
        // did not fit of the failed line is lost there, so the next one starts a line of its own.
        if (!std::cout.good())
        {
            std::cout.clear();
            std::cout << '\n';
        }
        std::cout << '[' << name << ']' << text << '\n';
        std::cout.flush();
    }
    lineBuffer.str(std::string());
}

std::string LogLocation(const char* sourcePath, int line)
{
    std::string path = sourcePath ? sourcePath : "";
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos)
        path.erase(0, slash + 1);
    return "[" + path + ":" + std::to_string(line) + "]";
}

// Constructed in this order before main, and before any other static object of the program so
// that constructors running at static initialisation may log; destroyed at exit, which closes
// their files.
#if defined(__GNUC__)
#define LEDROW_EARLY_INIT __attribute__((init_priority(101)))
#else
#define LEDROW_EARLY_INIT
#endif
LEDROW_EARLY_INIT LogChannel VerboseLog("Verbose", false, false);
LEDROW_EARLY_INIT LogChannel InfoLog("Info", true, false);
LEDROW_EARLY_INIT LogChannel WarningLog("Warning", true, false);
LEDROW_EARLY_INIT LogChannel ErrorLog("Error", true, true);
