#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

/// Standard input on a pseudo-terminal holding `typed` (one key and its newline unless told
/// otherwise) for as long as the object lives, as when the game runs from a console: each wait for
/// a key takes one byte, a line that does not wait leaves every byte unread. The terminal is in
/// line mode, so `Unread` sees the bytes only up to the newline that ends `typed`.
class TypedKeyOnTerminal
{
public:
    explicit TypedKeyOnTerminal(const std::string& typed = "x\n")
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        savedStdin = dup(STDIN_FILENO);
        dup2(terminal, STDIN_FILENO);
        [[maybe_unused]] const ssize_t written = write(master, typed.data(), typed.size());
    }
    ~TypedKeyOnTerminal()
    {
        dup2(savedStdin, STDIN_FILENO);
        close(savedStdin);
        close(terminal);
        close(master);
    }
    TypedKeyOnTerminal(const TypedKeyOnTerminal&) = delete;
    TypedKeyOnTerminal& operator=(const TypedKeyOnTerminal&) = delete;

    bool Ready() const { return terminal >= 0 && isatty(STDIN_FILENO); }
    /// The bytes still waiting on standard input, read without blocking.
    std::string Unread() const
    {
        const int flags = fcntl(terminal, F_GETFL);
        fcntl(terminal, F_SETFL, flags | O_NONBLOCK);
        char buffer[256];
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        fcntl(terminal, F_SETFL, flags);
        return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
    }

private:
    int master = -1;
    int terminal = -1;
    int savedStdin = -1;
};
