#pragma once

#include <string>

/// The little the game needs from the operating system beyond files and OpenGL.
namespace Platform
{
/// True when standard input is an interactive terminal that a person can answer.
bool IsInteractiveConsole();

/// Blocks until a key is pressed in the console, showing the console's usual prompt. Does nothing
/// when standard input is not an interactive terminal (started from a desktop, CI or a test), so
/// that an error line can never freeze the game with nobody there to answer.
void WaitForKeyPress();

/// Runs `command` through the system shell and returns its exit status (-1 when it could not be
/// started). Blocks until the command ends.
int RunCommand(const std::string& command);
} // namespace Platform
