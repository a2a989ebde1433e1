// A build run that builds several environments at once. Each environment builds on a thread of its
// own, with a host of its own (TEnvironmentHost), its own log (TEnvironmentThread) and a private
// copy of the sources (TSourceStaging); it changes what lies outside the output tree only in its
// turn (TChangeTurn), one environment at a time in row order. The window's thread starts the
// environments in row order, shows what they hand over, and joins their logs in row order, so that
// the run leaves what a run of one environment after another leaves.
#include "EnvironmentHost.h"
#include "VersionsForm.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "librarybuild/SourceStaging.h"
#include "session/BuildLog.h"
#include "session/EnvironmentJournal.h"

#include <atomic>
#include <thread>

namespace {
thread_local TBuildHost *environmentHost = nullptr;
} // namespace

TBuildHost &TVersionsForm::Host() {
  return environmentHost ? *environmentHost : *this;
}

void TWindowThreadCalls::Call(std::function<void()> call) {
  auto pending = std::make_shared<TPending>();
  pending->Call = std::move(call);
  pending->Waited = true;
  std::unique_lock lock(mutex_);
  pending_.push_back(pending);
  signal_.Set();
  done_.wait(lock, [&pending] { return pending->Done; });
  if (pending->Error)
    std::rethrow_exception(pending->Error);
}

void TWindowThreadCalls::Post(std::function<void()> call) {
  auto pending = std::make_shared<TPending>();
  pending->Call = std::move(call);
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(pending));
  signal_.Set();
}

void TWindowThreadCalls::MakePending() {
  for (;;) {
    std::shared_ptr<TPending> next;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty())
        return;
      next = std::move(pending_.front());
      pending_.pop_front();
    }
    try {
      next->Call();
    } catch (...) {
      next->Error = std::current_exception(); // a posted call has nobody to tell: it is dropped
    }
    {
      std::lock_guard lock(mutex_);
      next->Done = true;
    }
    done_.notify_all();
  }
}

TEnvironmentHost::TEnvironmentHost(TVersionsForm &window, TWindowThreadCalls &calls)
    : window_(window), calls_(calls), installChecked_(window.InstallChecked()),
      sourceFieldText_(window.SourceFieldText()), originalFileNames_(window.OriginalFileNames()) {
  SourceFolder = window.SourceFolder;
  DestinationBase = window.DestinationBase;
}

bool TEnvironmentHost::AskYesNo(const std::string &message) {
  bool yes = false;
  calls_.Call([&] {
    window_.QuestionsFrom(Index);
    yes = window_.AskYesNo(message);
  });
  return yes;
}

std::string TEnvironmentHost::DestinationFolder(const std::string &base) {
  return window_.DestinationFolder(base);
}

void TEnvironmentHost::ReportBuildError(int index, const std::exception &error) {
  TVersionsForm::LogBuildError(error);
  calls_.Call([&] { window_.ShowBuildError(index, error); });
  throw EAbort();
}

void TEnvironmentHost::CopyInstaller(const std::string &folder) {
  window_.CopyInstaller(folder);
}

void TEnvironmentHost::BeforeCompile(int index, const std::string &baseCommandLine,
                                     const std::string &sourceFolder) {
  window_.BeforeCompile(index, baseCommandLine, sourceFolder);
}

void TEnvironmentHost::EnsureEnvironmentClosed(int index, const std::string &kindName,
                                               const std::string &suffix) {
  calls_.Call([&] {
    window_.QuestionsFrom(Index);
    window_.EnsureEnvironmentClosed(index, kindName, suffix);
  });
}

void TEnvironmentHost::BuildEnvironment(int index) {
  window_.BuildEnvironment(index);
}

bool TEnvironmentHost::StandardEditionBuild() {
  return window_.StandardEditionBuild();
}

namespace {

// One environment of the run and its thread.
struct TJob {
  int Index = 0;
  int Position = 0; // among the run's environments, in row order
  std::unique_ptr<TEnvironmentHost> Host;
  std::thread Thread;
  std::atomic<bool> Ended{false};
  bool Built = false;   // set by the thread before Ended
  TStringList Log;      // likewise
  bool Waiting = false; // for its turn: it builds nothing more, and its place goes to the next
  bool Joined = false;
};

} // namespace

void TVersionsForm::BuildEnvironmentsAtOnce(const std::vector<int> &rows, int atOnce) {
  const TSourceFiles sources(SourceFolder, DestinationBase);
  TWindowThreadCalls calls;
  TChangeTurns turns(int(rows.size()));
  std::vector<std::unique_ptr<TJob>> jobs;
  bool failed = false;
  int running = 0, building = 0;
  std::size_t logged = 0; // the jobs whose logs are in the run's log

  auto start = [&](int index) {
    auto job = std::make_unique<TJob>();
    job->Index = index;
    job->Position = int(jobs.size());
    job->Host = std::make_unique<TEnvironmentHost>(*this, calls);
    job->Host->Index = index;
    EnvironmentStarted(index);
    TJob &started = *job;
    started.Thread = std::thread([this, &started, &sources, &calls, &turns, &building] {
      environmentHost = started.Host.get();
      {
        TEnvironmentThread thread([&calls](int row, const std::string &text) {
          calls.Post([row, text] { ShowStatus(row, text); });
        });
        std::unique_ptr<TSourceStaging> staging;
        {
          TChangeTurn turn(turns, started.Position, [&started, &calls, &building] {
            calls.Post([&started, &building] {
              started.Waiting = true;
              --building;
            });
          });
          try {
            BuildOneEnvironmentBesideOthers(started.Index, sources, staging, calls);
            started.Built = true;
          } catch (const EAbort &) {
            // reported where it happened
          } catch (const std::exception &error) {
            try {
              started.Host->ReportBuildError(started.Index, error);
            } catch (...) {
            }
          } catch (...) {
          }
        } // the turn passes on: the environment makes no more changes
        // The copy of the sources goes once the environment is done; a failed one keeps it.
        if (started.Built && !staging->Remove())
          AppendToBuildLog("The copy of the sources in " + staging->Folder() + " could not be removed.");
        started.Log = thread.TakeLog();
      }
      environmentHost = nullptr;
      started.Ended = true;
      calls.Signal().Set();
    });
    // Counted once its thread runs: the run waits for every environment it counts.
    jobs.push_back(std::move(job));
    ++running;
    ++building;
  };

  // Serves the window and the environments until one or more have ended; true while any runs.
  auto serve = [&] {
    Application().WaitForEventOrMessage(calls.Signal());
    Application().ProcessMessages();
    // What an environment handed over came before its end: the calls are made first.
    std::vector<TJob *> ended;
    for (auto &job : jobs)
      if (!job->Joined && job->Ended)
        ended.push_back(job.get());
    calls.MakePending();
    for (TJob *job : ended) {
      job->Thread.join();
      job->Joined = true;
      --running;
      building -= job->Waiting ? 0 : 1;
      failed = failed || !job->Built;
      EnvironmentEnded(job->Index);
    }
    // Each environment's block joins the run's log whole, in row order.
    for (; logged < jobs.size() && jobs[logged]->Joined; ++logged) {
      EnsureBuildLog();
      BuildLog->insert(BuildLog->end(), jobs[logged]->Log.begin(), jobs[logged]->Log.end());
    }
  };

  buildsAtOnce_ = true;
  try {
    for (;;) {
      // After a failure the environments already building finish, and no other starts.
      while (!failed && jobs.size() < rows.size() && building < atOnce)
        start(rows[jobs.size()]);
      if (running == 0)
        break;
      serve();
    }
  } catch (...) {
    failed = true;
    while (running > 0) // no thread may outlive the run
      serve();
    buildsAtOnce_ = false;
    throw;
  }
  buildsAtOnce_ = false;
  if (failed)
    throw EAbort(); // as the first failure of a run one environment after another: reported in its row
}

void TVersionsForm::BuildOneEnvironmentBesideOthers(int index, const TSourceFiles &sources,
                                                    std::unique_ptr<TSourceStaging> &staging,
                                                    TWindowThreadCalls &calls) {
  const TEnviron &row = Environments[std::size_t(index)];
  TBuildHost &host = Host();
  AppendToBuildLog(row.CheckBox->Caption());
  auto start = std::chrono::steady_clock::now();
  std::string folder;
  try {
    RunWithJournal(host, index, [&] {
      SetEnvironmentNames(host, index); // the copy of the sources is named after the environment
      folder = StagingFolder(host);
      staging = std::make_unique<TSourceStaging>(sources, folder);
      const std::string sourceFolder = host.SourceFolder;
      host.SourceFolder = staging->Folder();
      BuildEnvironment(index);
      host.SourceFolder = sourceFolder;
      ChangeFolder(sourceFolder); // where the build leaves the tools that follow, had it built there
      // What follows changes the environment and reads what the environments before it changed.
      Changes::AwaitTurn();
      staging->ReturnChanges(index);
      CopyInstaller(host.EnvironmentFolder);
      if (!row.IsCLX) {
        ShowStatus(index, "Installing...");
        if (host.InstallChecked())
          InstallEnvironment(index, true);
        if (CBDCube.Checked())
          RebuildDecisionCube(index);
      }
    });
  } catch (const EAbort &) {
    if (!folder.empty() && Fs::DirectoryExists(folder))
      AppendToBuildLog("The sources as this environment compiled them are kept in " + folder + ".");
    throw;
  }
  ShowStatus(index, "OK " + ElapsedText(start));
  calls.Post([&row] { row.CheckBox->SetChecked(false); });
  AppendToBuildLog(std::string(80, '='));
}
