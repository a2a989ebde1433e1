// What the subsystems need of the main window, declared below them so that no subsystem depends on
// the application layer. TVersionsForm implements it; tests may use a small double.
#pragma once
#include "framework/TextLines.h"
#include <exception>
#include <string>

class TBuildHost {
public:
  virtual ~TBuildHost() = default;

  // Set by the build run or the automatic install.
  std::string SourceFolder;
  std::string DestinationBase;
  // Per-environment names, set by SetEnvironmentNames.
  std::string PackageSuffix;
  std::string KindName;
  std::string EnvironmentFolder;
  std::string DecisionCubeFolder;

  // The modal Yes/No question (the wait cursor is reset first).
  virtual bool AskYesNo(const std::string &message) = 0;
  // The destination folder from the destination field, below base when it is relative.
  virtual std::string DestinationFolder(const std::string &base) = 0;
  // State of the window's fields that later steps read.
  virtual bool InstallChecked() const = 0;
  virtual std::string SourceFieldText() const = 0;
  // The library's unit base names, one per entry.
  virtual TStringList OriginalFileNames() const = 0;
  // Writes an environment's error into the log, shows "ERROR" in its row, brings the log to the
  // front and raises the silent abort.
  [[noreturn]] virtual void ReportBuildError(int index, const std::exception &error) = 0;
  // Copies the log into the window's log view and releases it.
  virtual void FlushBuildLog() = 0;
  // True while a build run is in progress: steps inside it leave the flush to the run.
  virtual bool RunInProgress() const { return false; }

  // The overridable operations, in slot order.
  virtual void CopyInstaller(const std::string &folder) = 0;
  virtual void BeforeCompile(int index, const std::string &baseCommandLine, const std::string &sourceFolder) {}
  virtual void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) = 0;
  virtual void BuildEnvironment(int index) = 0;
  virtual bool StandardEditionBuild() = 0;
};
