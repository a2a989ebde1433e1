#include "process/ExecuteCommand.h"
#include "changes/ChangeBatch.h"
#include "changes/Plan.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "process/DosCommand.h"
#include "session/BuildLog.h"

#include <cstdio>

namespace {
std::function<void(const std::string &, const std::string &)> commandStartedHook;

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

void LogCommandFailure(const std::string &title, const TCapturedLines &output) {
  EnsureBuildLog();
  BuildLog->push_back("");
  BuildLog->push_back(title);
  output.AppendTo(*BuildLog);
}

std::string ExitCodeLine(std::uint32_t exitCode) {
  if (exitCode & 0x80000000u) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", unsigned(exitCode));
    return std::string("Exit code: ") + hex;
  }
  return "Exit code: " + std::to_string(exitCode);
}

namespace {
// Serves the window until the runner has finished: whatever the window is sent is handled (the
// run lock refuses what would disturb the run), and the tool's last line is shown as it arrives.
// It sleeps between events; nothing polls.
void WaitServingTheWindow(TDosCommand &command) {
  std::string shown;
  while (!command.Finished()) {
    Application().WaitForEventOrMessage(command.Signal());
    Application().ProcessMessages();
    std::string line = command.DisplayLine();
    if (line != shown) {
      ShowToolOutput(line);
      shown = std::move(line);
    }
  }
  if (!shown.empty())
    ShowToolOutput("");
}
} // namespace

void SetCommandStartedHook(
    std::function<void(const std::string &folder, const std::string &commandLine)> hook) {
  commandStartedHook = std::move(hook);
}

void ExecuteCommand(const std::string &commandLine, const std::string &failureTitle) {
  EnsureBuildLog();
  const TEnvironmentThread *thread = TEnvironmentThread::Current();
  const std::string folder = thread ? thread->ToolFolder : Fs::CurrentFolder();
  if (commandStartedHook)
    commandStartedHook(folder, commandLine);
  if (TPlanScope *plan = TPlanScope::Current()) {
    // A dry run starts no tool: it notes the command and the folder the tool would start in.
    plan->PlanCommand(folder, commandLine);
    return;
  }
  if (TChangeBatch *batch = TChangeBatch::Current())
    batch->Commit(); // the tool finds the machine as the step has left it so far
  TDosCommand command;
  command.CommandLine = commandLine;
  command.CloseInput = true; // nothing is ever sent: a question gets end of file, not a hang
  if (const TEnvironmentThread *thread = TEnvironmentThread::Current())
    command.StartFolder = thread->ToolFolder; // beside other builds: the folder of this one's tools
  command.Run();
  WaitServingTheWindow(command);
  if (std::exception_ptr startError = command.FatalError()) {
    LogCommandFailure(failureTitle, TStringList{MessageOf(startError)});
    AbortCompilation("");
  }
  std::uint32_t exitCode = command.ExitCode();
  if (exitCode != 0) {
    LogCommandFailure(failureTitle, command.CapturedLines);
    BuildLog->push_back(ExitCodeLine(exitCode));
    AbortCompilation("");
  }
  command.CapturedLines.AppendTo(*BuildLog);
}
