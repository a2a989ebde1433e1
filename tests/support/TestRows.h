// Rows of the environment table for tests that drive a subsystem without the window.
#pragma once
#include <string>

// Empties what the program keeps between its steps: the environment table, the build log and
// the Standard mode.
void ResetProgramState();

// Fills row index of Environments, with a status label that lives as long as the tests (no check
// box: ShowStatus needs none for rows the test owns).
void SetRow(int index, const std::string &rootDir, bool isDelphi, bool isCLX, bool isDotNet,
            const std::string &edition, int version);
