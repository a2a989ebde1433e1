#include "process/ExecuteCommand.h"
#include "framework/Exception.h"
#include "process/DosCommand.h"
#include "session/BuildLog.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
std::string MessageOf(const std::exception_ptr &error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception &e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}
} // namespace

void AbortCompilation(const std::string &text) {
  throw Exception(text + "Compilation aborted.");
}

void LogCommandFailure(const std::string &title, const TStringList &output) {
  EnsureBuildLog();
  BuildLog->push_back("");
  BuildLog->push_back(title);
  BuildLog->insert(BuildLog->end(), output.begin(), output.end());
}

std::string ExitCodeLine(std::uint32_t exitCode) {
  if (exitCode & 0x80000000u) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", unsigned(exitCode));
    return std::string("Exit code: ") + hex;
  }
  return "Exit code: " + std::to_string(exitCode);
}

void ExecuteCommand(const std::string &commandLine, const std::string &failureTitle) {
  EnsureBuildLog();
  TStringList output;
  std::uint32_t exitCode = 0;
  std::exception_ptr startError;
  {
    TDosCommand command;
    command.CommandLine = commandLine;
    command.Run();
    // The window is not served meanwhile: it neither repaints nor reacts while a tool runs.
    while (!command.Finished())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    exitCode = command.ExitCode();
    output = std::move(command.CapturedLines);
    startError = command.FatalError();
  }
  if (startError) {
    LogCommandFailure(failureTitle, {MessageOf(startError)});
    AbortCompilation("");
  }
  if (exitCode != 0) {
    LogCommandFailure(failureTitle, output);
    BuildLog->push_back(ExitCodeLine(exitCode));
    AbortCompilation("");
  }
  BuildLog->insert(BuildLog->end(), output.begin(), output.end());
}
