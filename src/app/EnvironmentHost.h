// What an environment that builds beside others has of the window. The window and its controls
// belong to the window's thread, and its shared fields (SourceFolder, EnvironmentFolder, ...) to
// one environment at a time: each environment that builds at once runs on a thread of its own with
// a host of its own, whose fields are the environment's, and hands whatever touches the window to
// the window's thread.
#pragma once
#include "framework/Event.h"
#include "session/BuildHost.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class TVersionsForm;

// Calls that environments' threads hand to the window's thread, which makes them one at a time,
// in the order they came, between its own messages.
class TWindowThreadCalls {
public:
  // On an environment's thread: makes call on the window's thread and waits for it to end; what
  // it raises is raised here.
  void Call(std::function<void()> call);
  // On an environment's thread: hands call over without waiting (a status to show).
  void Post(std::function<void()> call);
  // On the window's thread: makes the calls handed over so far.
  void MakePending();
  // Set whenever a call is handed over; the run also sets it when an environment has ended.
  TEvent &Signal() { return signal_; }

private:
  struct TPending {
    std::function<void()> Call;
    bool Waited = false, Done = false;
    std::exception_ptr Error;
  };
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<std::shared_ptr<TPending>> pending_;
  TEvent signal_;
};

class TEnvironmentHost : public TBuildHost {
public:
  // Made on the window's thread: it takes the window's fields and the state of its options.
  TEnvironmentHost(TVersionsForm &window, TWindowThreadCalls &calls);

  bool AskYesNo(const std::string &message) override;
  std::string DestinationFolder(const std::string &base) override;
  bool InstallChecked() const override { return installChecked_; }
  std::string SourceFieldText() const override { return sourceFieldText_; }
  TStringList OriginalFileNames() const override { return originalFileNames_; }
  // The report goes into the environment's own log; the row and the log page are the window's.
  [[noreturn]] void ReportBuildError(int index, const std::exception &error) override;
  // The run joins the environment's log into its own when the environment has ended.
  void FlushBuildLog() override {}
  bool RunInProgress() const override { return true; }

  void CopyInstaller(const std::string &folder) override;
  void BeforeCompile(int index, const std::string &baseCommandLine, const std::string &sourceFolder) override;
  // The processes are listed and the question asked on the window's thread.
  void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) override;
  void BuildEnvironment(int index) override;
  bool StandardEditionBuild() override;

  // The row whose environment this host builds; set before its thread starts.
  int Index = -1;

private:
  TVersionsForm &window_;
  TWindowThreadCalls &calls_;
  bool installChecked_;
  std::string sourceFieldText_;
  TStringList originalFileNames_;
};
