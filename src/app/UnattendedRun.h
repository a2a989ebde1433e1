// The program without a person: "/list" prints the detected environments, "/build" runs the
// window's own build run on the rows that the /env patterns name, with the window headless and
// every question answered by the /yes rule, and ends with an exit code and, on request, a log file
// and a JSON result file.
#pragma once
#include "VersionsForm.h"
#include "framework/TextLines.h"
#include "unattended/RunResult.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class TUnattendedDesktop;

// 3: another run builds into the same destination or installs into the same environment; the same
// command may well succeed later.
enum TExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitAnotherRun = 3 };

// The folder a switch's file lies in ("." for a bare name).
std::string ParentFolder(const std::string &path);
// A relative path taken from the current folder at the start: the run changes folders, and the
// destination's lock must name one folder however it was spelt.
std::string AbsolutePath(const std::string &path);

// The main window as an unattended run uses it: the same window and run, watched so that each
// environment's time, packages, output folder and error can be reported.
class TUnattendedForm : public TVersionsForm {
public:
  struct TRowRecord {
    bool Started = false;
    std::chrono::steady_clock::time_point Start, End;
    std::string Error;
    bool AnotherRun = false; // the error: another run installs into the environment
    std::vector<std::string> Warnings;
    std::vector<std::string> Packages;
    std::string Compiling; // the package being compiled: built once the row's status moves on
    std::string OutputFolder;
  };
  // Read once the run has ended; while it runs, through Record (environments that build at once
  // keep theirs from their own threads).
  std::map<int, TRowRecord> Records;
  TRowRecord &Record(int index);
  // Every line the run logged: the log view keeps only what came after the last flush.
  TStringList WholeLog;
  std::function<void(const std::string &line)> Output;
  TUnattendedDesktop *Desktop = nullptr;

  void BuildEnvironment(int index) override;
  void ShowBuildError(int index, const std::exception &error) override;
  void FlushBuildLog() override;
  void StatusShown(int index, const std::string &text);
  // Environments that build at once print one line when each starts and one when it ends, with
  // its status and time, instead of their steps.
  void EnvironmentStarted(int index) override;
  void QuestionsFrom(int index) override;
  void EnvironmentEnded(int index) override;
  // The .NET install found no cache tool: with /yes the environment goes on and keeps a warning,
  // without it the environment fails, since nobody said that the assemblies may stay out.
  void CacheStepSkipped(int index, const std::string &reason);

private:
  std::mutex recordsMutex_;
};

using TUnattendedFormFactory = std::function<std::unique_ptr<TUnattendedForm>()>;

// Runs the command line (without the program name) and returns the exit code; output receives the
// progress lines. makeForm stands in for the plain TUnattendedForm (tests watch the run's steps).
int RunUnattended(const std::vector<std::string> &parameters,
                  const std::function<void(const std::string &line)> &output,
                  const TUnattendedFormFactory &makeForm = {});

// The automatic install mode without a person ("ZelInstall.exe /yes /result:FILE"): the same search
// for the compiled tree, questions and install as with the window, questions answered by the /yes
// rule. Returns 0 when the tree was installed, 1 when none was found or the install failed, 2 for
// a usage error, 3 when another run installs into the same environment.
int RunUnattendedInstall(const std::vector<std::string> &parameters,
                         const std::function<void(const std::string &line)> &output);
