#include "Platform.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace Platform
{
bool IsInteractiveConsole()
{
#if defined(_WIN32)
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

void WaitForKeyPress()
{
    if (!IsInteractiveConsole())
        return;
#if defined(_WIN32)
    std::system("pause");
#else
    // The same prompt as the Windows console's "pause", answered by any single key.
    std::cout << "Press any key to continue . . ." << std::flush;
    termios saved{};
    const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal)
    {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key = 0;
    [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (haveTerminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cout << std::endl;
#endif
}

int RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
#if defined(_WIN32)
    return status;
#else
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
} // namespace Platform
