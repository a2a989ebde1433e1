// Where an unattended run writes its progress lines: the standard output it was given (a file or
// pipe the caller redirected to), or else the console of the process that started it. A GUI
// program has neither by default, and nothing else is shown on the screen.
#pragma once
#include <string>

// Finds the output once: the standard output handle when there is one, else the parent's console
// (attached, not created). False when there is nowhere to write; lines are then dropped.
bool AttachParentConsole();
// Writes the line and a line end (CR LF on Win32) to that output.
void WriteConsoleLine(const std::string &line);
