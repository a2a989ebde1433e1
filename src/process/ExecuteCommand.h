// Running one console tool to its end with its output in the build log, and the common error that
// aborts an environment's build.
#pragma once
#include "framework/TextLines.h"
#include "process/CapturedLines.h"

#include <cstdint>
#include <functional>
#include <string>

// Runs the command line through a TDosCommand with its input closed and waits for it, serving the
// window meanwhile (on an environment's own thread, TEnvironmentThread, the tool starts in that
// thread's ToolFolder): its messages are handled and ShowToolOutput shows the tool's last line as it
// arrives (and nothing once the tool has ended). On success the tool's output lines are appended
// to BuildLog in one block. A tool that could not be
// started, or that ended with any exit code other than 0, is a failure: LogCommandFailure with the
// failure title and the output (or the start error), then the exit code line, then the error
// "Compilation aborted.". Under a plan (changes/Plan.h) the command is noted with its folder and
// nothing is started.
void ExecuteCommand(const std::string &commandLine, const std::string &failureTitle);
// Tests only: called with the folder and the command line of each tool ExecuteCommand starts (and
// of each a dry run notes), so that a test can hold a plan's commands against a real run's.
void SetCommandStartedHook(std::function<void(const std::string &folder, const std::string &commandLine)> hook);

// Raises an Exception whose message is text immediately followed by "Compilation aborted.".
[[noreturn]] void AbortCompilation(const std::string &text);

// Appends to BuildLog an empty line, the title and every output line in order.
void LogCommandFailure(const std::string &title, const TStringList &output);
void LogCommandFailure(const std::string &title, const TCapturedLines &output);

// The line logged after a failed tool's output: "Exit code: 1", or in hexadecimal when the highest
// bit is set ("Exit code: 0xC0000005", a crash on Windows).
std::string ExitCodeLine(std::uint32_t exitCode);
